// One open exposure of an ad unit in the analytics bridge: begun when made, ended once
// when destroyed, through the bridge and with the id that began it. Owners hold one
// while their ad can be seen and drop it when it cannot, so every begin has its end,
// also when the switch turns off meanwhile or the owner goes away while on screen.
//
// Any thread (the framework's reporter is thread-safe); owners keep it on one.
#pragma once

#include <memory>
#include <string>

class ZUMAnalytics;

class ZUMAdUnitExposure {
 public:
  // Begins the exposure of `adUnitID`; nullptr without the bridge.
  static std::unique_ptr<ZUMAdUnitExposure> begin(const std::string& adUnitID);
  ~ZUMAdUnitExposure();
  ZUMAdUnitExposure(const ZUMAdUnitExposure&) = delete;
  ZUMAdUnitExposure& operator=(const ZUMAdUnitExposure&) = delete;

 private:
  ZUMAdUnitExposure(std::shared_ptr<const ZUMAnalytics> analytics, std::string adUnitID);

  const std::shared_ptr<const ZUMAnalytics> analytics_;
  const std::string adUnitID_;
};
