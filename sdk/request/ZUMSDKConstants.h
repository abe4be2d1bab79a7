// The SDK constants that the SDK-core page delivers ("loadSdkConstants"), turned into
// what the rest of the SDK reads: switches in the standard user defaults under
// "/vantor/ads/" (most only written when the new value is a non-empty string, lists
// and a few others following each delivery), live settings of the MRAID interceptor,
// the location service, greedy resource collection and the hub's adapter names, the
// boolean-cache flag "init_delay", the controller's own settings and the refreshes of
// the areas above it (telemetry's character sets), which go through
// ZUMSDKConstantsTargets. Last, "ZUMSDKCoreDidUpdateConstants" is posted (object: the
// controller).
//
// Values are strings as the page sends them; a value of any other JSON type counts as
// absent. Numbers that are not numbers, not finite, or out of range keep the earlier
// setting (the completion time-out goes back to its default).
//
// Main thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

class ZUMSDKCoreController;

inline constexpr const char* kZUMSDKCoreDidUpdateConstantsNotification = "ZUMSDKCoreDidUpdateConstants";

// The SDK-core controller's side of a delivery, and what the areas above it do at each
// one. Every member may be empty.
struct ZUMSDKConstantsTargets {
  // The parts owned by areas above the controller, which the SDK's load entry has them
  // fill once at start-up (`fill` sets only its own members; what others filled stays).
  // The controller starts every delivery's targets from registered().
  static void registerTargets(const std::function<void(ZUMSDKConstantsTargets&)>& fill);
  static ZUMSDKConstantsTargets registered();

  std::function<void(std::int64_t)> setActiveViewUnloadCacheMaxSize;
  std::function<void(bool)> setUseNewWebViewsForActiveViewProcessing;
  std::function<void(double)> setActiveViewSamplingInterval;
  std::function<void(double)> setJavaScriptCompletionTimeout;  // seconds
  // The controller's web-view experiment id, when it has one.
  std::optional<std::string> webViewExperimentID;
  // Telemetry's refreshes after the switches are written (logging channel, character sets).
  std::function<void()> updateFennick;
  std::function<void()> updateCharacterSets;
  // The controller stops asking for constants until the page's next refresh.
  std::function<void()> didHandleUpdate;
  // The object of the notification.
  std::shared_ptr<ZUMSDKCoreController> controller;
};

// The completion time-out when the constant is absent or unusable, and its cap.
inline constexpr double kZUMDefaultJavaScriptCompletionTimeout = 10.0;
inline constexpr double kZUMMaxJavaScriptCompletionTimeout = 600.0;

void ZUMApplySDKConstants(const nlohmann::ordered_json& constants, const ZUMSDKConstantsTargets& targets);
