// The set of running click and impression trackers. Each tracker sends one URL as a
// ping through the shared pinger, started on the main queue, and is kept in the set
// until its ping ends; a tracker without a URL sends nothing and ends at once. The
// track calls return at once.
//
// Every list of URLs the SDK pings for one event (an ad's click or impression URLs, a
// mediation entry's templates, a page's tracking URLs, auto-click reports) passes
// through here, so one cap bounds them all: past kZUMMaximumPingURLsPerEvent the rest
// of the list is dropped with one log line.
//
// Mediation pings fill their templates through ZUMClickTrackerMediation.
//
// Every operation may be called from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/base/URL.h"

// The most URLs one ping event sends. Real responses name a handful per event (the ad
// network's own tracker and a few partners'); 100 leaves ample room while a hostile or
// broken response cannot make one event send thousands of requests.
inline constexpr std::size_t kZUMMaximumPingURLsPerEvent = 100;

// One mediation ping (no fill, fill, click or impression) of one network entry.
struct ZUMMediationPing {
  // The templates; std::nullopt: the default alone (an empty list sends nothing).
  std::optional<std::vector<std::string>> templates{};
  std::optional<std::string> defaultTemplate{};
  std::optional<std::string> networkID{};
  std::optional<std::string> allocationID{};
  std::optional<std::string> qData{};   // std::nullopt fills the empty string
  std::optional<std::string> appKey{};  // the ad location id
  bool refresh = false;
  std::optional<std::string> durations{};
  std::optional<std::string> exitCodes{};
  std::optional<std::string> fillStatus{};
  // "_ac" (click) and "_ai" (impression) pass the analytics step; others do not.
  std::optional<std::string> eventType{};
};

class ZUMClickTrackerCollection : public std::enable_shared_from_this<ZUMClickTrackerCollection> {
 public:
  static std::shared_ptr<ZUMClickTrackerCollection> sharedInstance();

  // How many of an event's `count` URLs are sent (at most kZUMMaximumPingURLsPerEvent);
  // logs the dropped rest in one line. For callers that build each URL from a template
  // and should build only those sent.
  static std::size_t sentURLCount(std::size_t count);

  // One tracker for the URL (none: a tracker that sends nothing).
  void trackURL(const std::optional<platform::URL>& url);
  // One tracker per URL, in order, up to kZUMMaximumPingURLsPerEvent. A string that
  // makes no URL gives a tracker that sends nothing.
  void trackURLs(const std::vector<platform::URL>& urls);
  void trackURLs(const std::vector<std::string>& urlStrings);

  // One tracker per filled template, each with the session id and a fresh sequence
  // number of the hub. A template that gives no URL is skipped with a log line; the
  // templates past kZUMMaximumPingURLsPerEvent are dropped before they are filled.
  void trackMediationURLsFromTemplates(const ZUMMediationPing& ping);

  // Trackers started and not finished.
  std::size_t activeTrackerCount() const;

  ~ZUMClickTrackerCollection();
  ZUMClickTrackerCollection(const ZUMClickTrackerCollection&) = delete;
  ZUMClickTrackerCollection& operator=(const ZUMClickTrackerCollection&) = delete;

 private:
  class Tracker;

  ZUMClickTrackerCollection();
  void start(std::optional<platform::URL> url);
  void finished(const std::shared_ptr<Tracker>& tracker);

  mutable std::mutex mutex_;
  std::set<std::shared_ptr<Tracker>> trackers_;  // guarded by mutex_
};
