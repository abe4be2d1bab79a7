// The carrier of every ping: one GET of a URL with the SDK's User-Agent, sent in the
// background; completions of the loader come on the main operation queue. Plain-HTTP
// URLs go through a hidden web view in the hub's placeholder window while the switch
// "/vantor/ads/enable_http_web_view_pings" is on (absent: on).
//
// Pings that must not be lost (crash reports, the foreground ping, purchase conversions)
// are also kept in a retry store in the user defaults (ZUMPingerRetryStore), re-sent
// every "ping_interval" seconds (60 by default) once the retry schedule has started,
// dropped after "url_time_to_live" and removed when a ping of them succeeds.
//
// A ping succeeds when the server answers with a status from 200 to 399 (the web view:
// when the page finishes loading). Every operation may be called from any thread; the
// retry store lives on the pinger's serial queue "com.vantor.morvane.pinger".
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/base/Clock.h"
#include "platform/base/URL.h"

namespace platform {
class DispatchQueue;
}

class ZUMPingerRetryStore;
class ZUMScheduler;

class ZUMPinger : public std::enable_shared_from_this<ZUMPinger> {
 public:
  using CompletionBlock = std::function<void(bool success)>;

  // How long a ping may take before it counts as failed.
  static constexpr platform::TimeInterval kPingTimeout = 60;
  // A ping's answer is read for its status alone; a body past this fails the ping.
  static constexpr std::size_t kMaximumResponseBytes = 1u << 20;

  static std::shared_ptr<ZUMPinger> sharedInstance();
  // A pinger of its own over the standard user defaults (the process uses the shared
  // one; a test makes one per launch).
  static std::shared_ptr<ZUMPinger> create();
  ~ZUMPinger();
  ZUMPinger(const ZUMPinger&) = delete;
  ZUMPinger& operator=(const ZUMPinger&) = delete;

  // Sends one ping. The completion, when given, runs once with the outcome on `queue`
  // (nullptr: the main operation queue); a missing, empty or invalid string, or one
  // that is not an http(s) URL, sends nothing and completes with false.
  void pingURLString(const std::optional<std::string>& urlString, std::shared_ptr<platform::DispatchQueue> queue,
                     CompletionBlock completion);

  // On the pinger's queue: stores `retryURLString` under the group, pings `url`, and
  // removes the stored string when that ping succeeds.
  void pingWithRetryGroupKey(const std::string& groupKey, const platform::URL& url, const std::string& retryURLString);

  // Stores the string under the group (listing the group) unless it is already there or
  // the group is full. Synchronous: when it returns the entry is on disk, so it survives
  // a process that ends right after.
  void storeRetryURLString(const std::string& string, const std::string& groupKey);

  // Starts re-sending stored entries at every tick of the ping interval; later calls do
  // nothing.
  void startRetrySchedule();

  // Pings sent whose completion has not run yet.
  std::size_t pingsInFlight() const;

  // The pinger's serial queue.
  const std::shared_ptr<platform::DispatchQueue>& queue() const { return queue_; }

 private:
  ZUMPinger();

  // On queue_: expires what is stale and pings every stored entry not already on its way.
  void resendStoredPings();
  void sendThroughLoader(const platform::URL& url, CompletionBlock done);
  void sendThroughWebView(const platform::URL& url, CompletionBlock done);

  std::shared_ptr<platform::DispatchQueue> queue_;
  std::shared_ptr<std::atomic<std::size_t>> pingsInFlight_ = std::make_shared<std::atomic<std::size_t>>(0);
  std::unique_ptr<ZUMPingerRetryStore> store_;  // on queue_
  std::set<std::string> inFlight_;              // group key + '\n' + string; on queue_

  std::mutex mutex_;
  std::shared_ptr<ZUMScheduler> scheduler_;  // guarded by mutex_
};
