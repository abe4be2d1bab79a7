// What every connector answers an adapter about the publisher's request, the network
// entry and the mediation response: the part the banner, interstitial, native and
// rewarded connectors share. A connector says which request, entry and response it
// speaks for; the entry's credentials are kept without "pentwick_share_location", which
// decides whether the user's location is shared.
//
// Owned by its connector; main thread (answers are copies).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sdk/mediation/ZUMMediationAdRequestInternal.h"

class ZUMMAdNetworkConfig;
class ZUMMConfig;
class ZUMRequest;

// The credential that shares the user's location with a network.
inline constexpr const char* kZUMMShareLocationCredential = "pentwick_share_location";

class ZUMMRequestAnswers : public ZUMMediationAdRequestInternal {
 public:
  using Json = nlohmann::ordered_json;

  // --- ZUMMediationAdRequest --------------------------------------------------------------
  std::optional<std::string> publisherId() const override;
  Json credentials() const override { return strippedCredentials_; }
  bool testMode() const override;
  // Logs for the app's developer when the adapter class names no extras class.
  std::shared_ptr<ZUMAdNetworkExtras> networkExtras() const override;
  std::optional<bool> childDirectedTreatment() const override;
  ZUMGender userGender() const override;
  std::optional<platform::TimeInterval> userBirthday() const override;
  // Shared and the request has a location.
  bool userHasLocation() const override;
  // 0 unless userHasLocation().
  double userLatitude() const override;
  double userLongitude() const override;
  double userLocationAccuracyInMeters() const override;
  // Whenever the location is shared.
  std::optional<std::string> userLocationDescription() const override;
  std::optional<std::vector<std::string>> userKeywords() const override;

  // --- ZUMMediationAdRequestInternal ----------------------------------------------------
  // The entry's "ad" as it stands.
  std::optional<Json> inlineAd() const override;
  std::optional<Json> extras() const override;
  std::vector<std::vector<std::string>> adapterNames() const override;
  // The entry's adapter class; "" for none.
  std::string currentAdapterName() const override;
  std::optional<std::string> userRequestAgent() const override;

  bool isLocationShared() const { return isLocationShared_; }

 protected:
  // The request, entry and response the answers speak for (each may be missing).
  virtual std::shared_ptr<ZUMRequest> answeredRequest() const = 0;
  virtual const ZUMMAdNetworkConfig* answeredNetworkConfig() const = 0;
  virtual const ZUMMConfig* answeredMediationConfig() const = 0;
  // Keeps the entry's credentials less the location switch, and the switch ("1": shared).
  void takeCredentialsOf(const ZUMMAdNetworkConfig* networkConfig);

 private:
  Json strippedCredentials_ = Json::object();
  bool isLocationShared_ = false;
};
