// The interstitial's Fennick events: "interstitial" events through the logger of its
// slot's tree, and the events of a load that began before that logger existed.
#include "ZUMInterstitial.h"

#include <typeinfo>

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/Symbols.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMBufferedFennickLogger.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"

namespace {
constexpr const char* kEventName = "interstitial";
}

void ZUMInterstitial::interstitialCreatedSlot(const std::shared_ptr<ZUMSlot>& slot) {
  platform::assertMainThread();
  std::weak_ptr<ZUMInterstitial> weak = weak_from_this();
  rootLoggerObserver_ = ZUMLoggingHierarchy::sharedInstance()->linkObjectObservingRootLogger(
      slot, shared_from_this(), ZUMBindWeak(weak, &ZUMInterstitial::rootObjectLoggerChanged));
  // A slot taken ready from a pool already has its logger.
  rootObjectLoggerChanged();
}

void ZUMInterstitial::rootObjectLoggerChanged() {
  platform::assertMainThread();
  auto logger = ZUMLoggingHierarchy::sharedInstance()->loggerForObject(shared_from_this());
  if (logger == logger_.lock()) return;
  logger_ = logger;
  if (!logger) return;
  // The object's own class: a publisher interstitial names itself so.
  const std::string className = platform::demangledSymbol(typeid(*this).name());
  logger->reportEvent(nlohmann::ordered_json{{kEventName, {{"ad_unit_id", adUnitID_}, {"class", className}}}});
  if (bufferedLogger_) bufferedLogger_->reportBufferedEventsToLogger(*logger);
}

void ZUMInterstitial::reportCountEvent(const std::string& key) { reportValueEvent(key, nlohmann::ordered_json(1)); }

void ZUMInterstitial::reportValueEvent(const std::string& name, const std::optional<nlohmann::ordered_json>& value) {
  auto logger = logger_.lock();
  if (!logger || !value) return;
  if (auto event = ZUMFennickEvent(kEventName, nlohmann::ordered_json{{name, *value}})) logger->reportEvent(*event);
}

void ZUMInterstitial::stopLogging() {
  if (rootLoggerObserver_) platform::NotificationCenter::defaultCenter().removeObserver(rootLoggerObserver_);
  // Known by its ownership, which the hierarchy can still name while this object ends.
  ZUMLoggingHierarchy::sharedInstance()->removeObject(weak_from_this());
}
