#include "sdk/network/ZUMClickTrackerCollection.h"

#include <string>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/network/ZUMClickTrackerMediation.h"
#include "sdk/network/ZUMPinger.h"

std::size_t ZUMClickTrackerCollection::sentURLCount(std::size_t count) {
  if (count <= kZUMMaximumPingURLsPerEvent) return count;
  ZUMLog(kZUMLogLevelDefault, "A ping event names " + std::to_string(count) + " URLs; the " +
                                  std::to_string(count - kZUMMaximumPingURLsPerEvent) + " past the first " +
                                  std::to_string(kZUMMaximumPingURLsPerEvent) + " are dropped.");
  return kZUMMaximumPingURLsPerEvent;
}

// One URL on its way; lives in the collection's set until the ping ends.
class ZUMClickTrackerCollection::Tracker {
 public:
  explicit Tracker(std::optional<platform::URL> url) : url_(std::move(url)) {}
  const std::optional<platform::URL>& url() const { return url_; }

 private:
  const std::optional<platform::URL> url_;
};

std::shared_ptr<ZUMClickTrackerCollection> ZUMClickTrackerCollection::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMClickTrackerCollection>(
      [] { return std::shared_ptr<ZUMClickTrackerCollection>(new ZUMClickTrackerCollection()); });
  return shared->get();
}

ZUMClickTrackerCollection::ZUMClickTrackerCollection() = default;
ZUMClickTrackerCollection::~ZUMClickTrackerCollection() = default;

void ZUMClickTrackerCollection::trackURL(const std::optional<platform::URL>& url) { start(url); }

void ZUMClickTrackerCollection::trackURLs(const std::vector<platform::URL>& urls) {
  const auto count = sentURLCount(urls.size());
  for (std::size_t index = 0; index < count; ++index) start(urls[index]);
}

void ZUMClickTrackerCollection::trackURLs(const std::vector<std::string>& urlStrings) {
  const auto count = sentURLCount(urlStrings.size());
  for (std::size_t index = 0; index < count; ++index) {
    auto url = platform::URL::fromString(urlStrings[index]);
    if (!url) ZUMLog(kZUMLogLevelDefault, "Invalid ping URL: " + urlStrings[index].substr(0, 256));
    start(std::move(url));
  }
}

void ZUMClickTrackerCollection::trackMediationURLsFromTemplates(const ZUMMediationPing& ping) {
  std::vector<std::string> templates;
  if (ping.templates) {
    templates = *ping.templates;
  } else if (ping.defaultTemplate) {
    templates.push_back(*ping.defaultTemplate);
  }
  if (templates.empty()) return;
  auto mediation = ZUMClickTrackerMediation::shared();
  if (!mediation) {
    ZUMLog(kZUMLogLevelDefault, "Mediation pings not sent: no mediation to fill their templates.");
    return;
  }
  // Capped before filling: each filled template takes a sequence number of the hub.
  templates.resize(sentURLCount(templates.size()));
  const bool stamped = ping.eventType == "_ac" || ping.eventType == "_ai";
  auto hub = ZUMApplication::sharedInstance();
  std::vector<platform::URL> urls;
  for (const auto& urlTemplate : templates) {
    const ZUMMediationURLValues values{ping.appKey,
                                       ping.refresh,
                                       ping.allocationID,
                                       ping.networkID,
                                       ping.qData.value_or(""),
                                       hub->sessionIdentifier(),
                                       hub->nextSequenceNumberAsString(),
                                       ping.exitCodes,
                                       ping.durations,
                                       ping.fillStatus};
    auto url = mediation->mediationURL(urlTemplate, values);
    if (!url) {
      ZUMLog(kZUMLogLevelDefault, "Mediation ping template gives no URL: " + urlTemplate);
      continue;
    }
    if (!stamped) {
      urls.push_back(std::move(*url));
      continue;
    }
    for (auto& stampedURL : mediation->trackingURLsWithAdEventID({*url}, *ping.eventType)) {
      urls.push_back(std::move(stampedURL));
    }
  }
  trackURLs(urls);
}

std::size_t ZUMClickTrackerCollection::activeTrackerCount() const {
  std::lock_guard lock(mutex_);
  return trackers_.size();
}

void ZUMClickTrackerCollection::start(std::optional<platform::URL> url) {
  auto tracker = std::make_shared<Tracker>(std::move(url));
  {
    std::lock_guard lock(mutex_);
    trackers_.insert(tracker);
  }
  std::weak_ptr<ZUMClickTrackerCollection> weak = weak_from_this();
  platform::DispatchQueue::main()->async([weak, tracker] {
    auto self = weak.lock();
    if (!self) return;
    if (!tracker->url()) {
      self->finished(tracker);
      return;
    }
    ZUMPinger::sharedInstance()->pingURLString(tracker->url()->absoluteString(), platform::DispatchQueue::main(),
                                               ZUMBindWeak(weak, &ZUMClickTrackerCollection::finished, tracker));
  });
}

void ZUMClickTrackerCollection::finished(const std::shared_ptr<Tracker>& tracker) {
  std::lock_guard lock(mutex_);
  trackers_.erase(tracker);
}
