// The SDK's hold on the application's audio session while ad video plays: it saves the
// application's category, options and mode before the first change, switches between a
// category that mixes with other audio (ad video without sound) and one that does not
// (ad sound), and puts the application's settings back when ad video stops. When the
// application manages the session itself the SDK is disabled and changes nothing.
//
// One per process (sharedInstance, dropped between tests). Any thread: the flags and
// saved values live on the lock queue ("com.vantor.morvane.audio-session"); enable()
// and disable() are asynchronous there, the rest reads it synchronously. Calls to the
// platform's session run on the caller's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class DispatchQueue;
}

class ZUMAudioSession : public std::enable_shared_from_this<ZUMAudioSession> {
 public:
  static constexpr const char* kLockQueueLabel = "com.vantor.morvane.audio-session";

  static std::shared_ptr<ZUMAudioSession> sharedInstance();
  ZUMAudioSession();

  void enable();
  // Also forgets the saved settings and the interruption.
  void disable();
  // Mixable: ambient (others keep playing); else solo ambient (others are interrupted,
  // which is remembered). Saves the application's settings first when none are saved.
  void setMixable(bool mixable);
  // The saved category with its options, then the saved mode; once per save.
  void restoreState();
  // Lets another application's audio that the SDK interrupted play again: ambient, then
  // a deactivation that notifies the others.
  void resumeBackgroundAppAudioIfInterrupted();

  bool isEnabled() const;
  bool wasOtherAppAudioInterrupted() const;

 private:
  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  // Lock queue only.
  bool audioSessionStateSaved_ = false;
  std::string savedAudioSessionCategory_;
  std::string savedAudioSessionMode_;
  std::uint64_t savedAudioSessionCategoryOption_ = 0;
  bool enabled_ = true;
  bool wasOtherAppAudioInterrupted_ = false;
};
