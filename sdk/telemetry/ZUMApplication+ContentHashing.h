// Content hashing, the hub's part: while the ad network allows it, the host's topmost
// view controller's view is walked every few seconds (10 by default); the text of web
// pages and text views is fingerprinted (ZUMContent) on the content-hashing queue
// ("com.vantor.morvane.content-hashing") and the last few fingerprints are kept in the
// hub's content queue. Each ad request takes the best-scoring fingerprint and lowers its
// score, so the next request prefers fresher content.
//
// A hidden main window, or one without a root view, is not walked; a screen without text
// adds nothing.
//
// Start, stop and the fingerprint may be called from any thread; walks run on the main
// thread; contents and the content queue are touched only on the content-hashing queue.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class DispatchQueue;
class View;
}  // namespace platform

class ZUMApplication;
class ZUMContentQueue;
class ZUMViewHierarchyTraverser;

inline constexpr const char* kZUMContentQueueMaximumCapacityKey = "/vantor/ads/content_queue_maximum_capacity";
inline constexpr const char* kZUMTraversalIntervalKey = "/vantor/ads/traversal_interval";

// Does nothing while hashing runs. Otherwise makes the content-hashing queue, a new empty
// content queue (capacity from the defaults, 10) and a scheduler (interval from the
// defaults, 10 s) whose task walks the screen on the main thread, and starts it.
void startContentHashing(ZUMApplication& application);
// Ends the walks. The content queue stays, so requests keep their fingerprints until
// hashing starts again with a new, empty queue.
void stopContentHashing(ZUMApplication& application);
// The best-scoring queued fingerprint, its content's score lowered by 100; nullopt when
// no content scores above 0.
[[nodiscard]] std::optional<std::string> fingerprintWithServedPenaltyDeduction(ZUMApplication& application);

// The text a walk takes from a view: a web page's body text, a text view's text, else "".
// Main thread.
std::string ZUMContentHashingTextOfView(platform::View& view);
// One walk (the scheduler's task), main thread: fingerprints the text under `root` into
// one content and, when it has a fingerprint, queues it in place of an older equal one.
void ZUMContentHashingWalk(ZUMViewHierarchyTraverser& traverser, const std::shared_ptr<platform::View>& root,
                           const std::shared_ptr<platform::DispatchQueue>& hashingQueue,
                           const std::weak_ptr<ZUMContentQueue>& contentQueue);
