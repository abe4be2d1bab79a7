#include "sdk/telemetry/ZUMAnalytics.h"

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

using Stubs = ZUMStubsForQENAnalytics;

// The one outcome of making the bridge, kept for the process (tests drop it).
struct MadeOnce {
  std::shared_ptr<ZUMAnalytics> instance;
};

// The shared instance of the framework class `name`, when there is one that answers
// sharedInstance and the instance conforms to `Group`.
template <class Group>
std::shared_ptr<Group> sharedInstanceOf(const char* name) {
  auto frameworkClass = platform::ClassRegistry::shared().create<Stubs::Class>(name);
  if (!frameworkClass) return nullptr;
  return std::dynamic_pointer_cast<Group>(frameworkClass->sharedInstance());
}

}  // namespace

std::shared_ptr<ZUMAnalytics> ZUMAnalytics::sharedInstance() {
  if (!ZUMUserDefaults::boolForKey("/vantor/ads/zums:sai:enabled").value_or(false)) return nullptr;
  static auto* made =
      new platform::ResettableShared<MadeOnce>([] { return std::make_shared<MadeOnce>(MadeOnce{create()}); });
  return made->get()->instance;
}

std::shared_ptr<ZUMAnalytics> ZUMAnalytics::create() {
  std::shared_ptr<ZUMAnalytics> analytics(new ZUMAnalytics());
  analytics->analyticsIdentifiers_ = sharedInstanceOf<Stubs::Identifiers>(kIdentifiersClassName);
  if (!analytics->analyticsIdentifiers_) return nullptr;
  analytics->analytics_ = sharedInstanceOf<Stubs::InternalEventLogger>(kAnalyticsClassName);
  if (!analytics->analytics_) return nullptr;
  analytics->adExposureReporter_ = sharedInstanceOf<Stubs::AdExposureReporter>(kAdExposureReporterClassName);
  analytics->screenViewReporter_ = sharedInstanceOf<Stubs::ScreenViewReporter>(kScreenViewReporterClassName);
  return analytics;
}

std::optional<std::string> ZUMAnalytics::vantorAppID() const { return analyticsIdentifiers_->vantorAppID(); }

std::optional<std::string> ZUMAnalytics::appInstanceID() const { return analyticsIdentifiers_->appInstanceID(); }

std::optional<std::string> ZUMAnalytics::adEventID() const { return analyticsIdentifiers_->adEventID(); }

void ZUMAnalytics::logEventWithName(const std::string& name, const std::optional<std::string>& adEventID) const {
  if (!adEventID) return;
  nlohmann::ordered_json parameters{{"_aeid", *adEventID}};
  if (name == "_ac") parameters["_r"] = 1;
  analytics_->logInternalEventWithOrigin("am", name, parameters);
}

void ZUMAnalytics::getScreenName(std::optional<std::string>& name, std::optional<std::string>& screenClass) const {
  if (screenViewReporter_) screenViewReporter_->getScreenName(name, screenClass);
}

void ZUMAnalytics::setScreenName(const std::optional<std::string>& name,
                                 const std::optional<std::string>& screenClass) const {
  if (screenViewReporter_) screenViewReporter_->setScreenName(name, screenClass);
}

void ZUMAnalytics::beginAdUnitExposure(const std::optional<std::string>& adUnitID) const {
  if (adUnitID && adExposureReporter_) adExposureReporter_->beginAdUnitExposure(*adUnitID);
}

void ZUMAnalytics::endAdUnitExposure(const std::optional<std::string>& adUnitID) const {
  if (adUnitID && adExposureReporter_) adExposureReporter_->endAdUnitExposure(*adUnitID);
}

void ZUMAddAnalyticsIdentifiers(nlohmann::ordered_json& parameters) {
  auto analytics = ZUMAnalytics::sharedInstance();
  if (!analytics) return;
  if (auto id = analytics->vantorAppID()) parameters["kqp_app_id"] = std::move(*id);
  if (auto id = analytics->appInstanceID()) parameters["lvn_aiid"] = std::move(*id);
  if (auto id = analytics->adEventID()) parameters["lvn_aeid"] = std::move(*id);
}
