// A connector for adapter tests that answers fixed values and writes every report it gets
// into a log ("fail <domain> <code> <text>", "view", "click", ...). LoggingConnectorOf<
// ZUMMInternalAdNetworkConnector> is the SDK-internal kind, with a network entry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMMAdNetworkConnector.h"
#include "platform/base/Error.h"
#include "sdk/mediation/ZUMMInternalAdNetworkConnector.h"

namespace connectortest {

template <class Base>
struct LoggingConnectorOf : Base {
  using Json = nlohmann::ordered_json;
  std::optional<std::string> publisherId() const override { return std::nullopt; }
  Json credentials() const override { return credentialsValue; }
  bool testMode() const override { return true; }
  std::shared_ptr<ZUMAdNetworkExtras> networkExtras() const override { return extras; }
  std::optional<bool> childDirectedTreatment() const override { return std::nullopt; }
  ZUMGender userGender() const override { return kZUMGenderMale; }
  std::optional<platform::TimeInterval> userBirthday() const override { return std::nullopt; }
  bool userHasLocation() const override { return false; }
  double userLatitude() const override { return 0; }
  double userLongitude() const override { return 0; }
  double userLocationAccuracyInMeters() const override { return 0; }
  std::optional<std::string> userLocationDescription() const override { return std::nullopt; }
  std::optional<std::vector<std::string>> userKeywords() const override { return std::nullopt; }
  std::shared_ptr<platform::ViewController> viewControllerForPresentingModalView() const override { return controller; }
  float adVolume() const override { return 1; }
  bool adMuted() const override { return false; }
  void adapterDidFailAd(ZUMMAdNetworkAdapter&, const platform::ErrorPtr& e) override {
    log.push_back("fail " + e->domain() + " " + std::to_string(e->code()) + " " + e->localizedDescription());
    errors.push_back(e);
  }
  void adapterDidReceiveAdView(ZUMMAdNetworkAdapter&, const std::shared_ptr<platform::View>& v) override {
    log.push_back(v ? "view" : "no view");
    views.push_back(v);
  }
  void adapterDidReceiveInterstitial(ZUMMAdNetworkAdapter&) override { log.push_back("interstitial"); }
  void adapterDidReceiveMediatedNativeAd(ZUMMAdNetworkAdapter&, const std::shared_ptr<ZUMMediatedNativeAd>&) override {
    log.push_back("native");
  }
  void adapterDidGetAdClick(ZUMMAdNetworkAdapter&) override { log.push_back("click"); }
  void adapterWillLeaveApplication(ZUMMAdNetworkAdapter&) override { log.push_back("leave"); }
  void adapterWillPresentFullScreenModal(ZUMMAdNetworkAdapter&) override { log.push_back("will present modal"); }
  void adapterWillDismissFullScreenModal(ZUMMAdNetworkAdapter&) override { log.push_back("will dismiss modal"); }
  void adapterDidDismissFullScreenModal(ZUMMAdNetworkAdapter&) override { log.push_back("did dismiss modal"); }
  void adapterWillPresentInterstitial(ZUMMAdNetworkAdapter&) override { log.push_back("will present"); }
  void adapterWillDismissInterstitial(ZUMMAdNetworkAdapter&) override { log.push_back("will dismiss"); }
  void adapterDidDismissInterstitial(ZUMMAdNetworkAdapter&) override { log.push_back("did dismiss"); }
  void adapterDidReceiveInterstitialObject(ZUMMAdNetworkAdapter&, const std::shared_ptr<void>&) override {
    log.push_back("old interstitial");
  }
  void adapterClickDidOccurInBanner(ZUMMAdNetworkAdapter&, const std::shared_ptr<platform::View>&) override {
    log.push_back("old click");
  }
  void adapterDidFailInterstitial(ZUMMAdNetworkAdapter&, const platform::ErrorPtr&) override {
    log.push_back("old fail");
  }

  Json credentialsValue = Json::object();
  std::shared_ptr<ZUMAdNetworkExtras> extras;
  std::shared_ptr<platform::ViewController> controller;
  std::vector<std::string> log;
  std::vector<platform::ErrorPtr> errors;
  std::vector<std::shared_ptr<platform::View>> views;
};

using LoggingConnector = LoggingConnectorOf<ZUMMAdNetworkConnector>;

struct InternalLoggingConnector : LoggingConnectorOf<ZUMMInternalAdNetworkConnector> {
  std::shared_ptr<ZUMMAdNetworkConfig> networkConfig() const override { return entry; }
  void setNetworkConfig(std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) override {
    entry = std::move(networkConfig);
  }
  std::shared_ptr<ZUMMAdNetworkConfig> entry;
};

}  // namespace connectortest
