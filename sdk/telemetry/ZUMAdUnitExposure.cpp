#include "sdk/telemetry/ZUMAdUnitExposure.h"

#include "sdk/telemetry/ZUMAnalytics.h"

std::unique_ptr<ZUMAdUnitExposure> ZUMAdUnitExposure::begin(const std::string& adUnitID) {
  auto analytics = ZUMAnalytics::sharedInstance();
  if (!analytics) return nullptr;
  analytics->beginAdUnitExposure(adUnitID);
  return std::unique_ptr<ZUMAdUnitExposure>(new ZUMAdUnitExposure(std::move(analytics), adUnitID));
}

ZUMAdUnitExposure::ZUMAdUnitExposure(std::shared_ptr<const ZUMAnalytics> analytics, std::string adUnitID)
    : analytics_(std::move(analytics)), adUnitID_(std::move(adUnitID)) {}

ZUMAdUnitExposure::~ZUMAdUnitExposure() { analytics_->endAdUnitExposure(adUnitID_); }
