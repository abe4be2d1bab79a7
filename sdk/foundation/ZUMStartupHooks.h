// Where the subsystems that stand on the foundation plug into the hub's start-up and
// its few outward calls. Each slot is empty until its subsystem fills it, once, when it
// registers at start-up; the hub skips an empty slot. Thread-safe.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ZUMAudioVideoManager;

struct ZUMStartupHooks {
  // First start-up batch.
  std::function<void()> registerURLInterception;       // network delivery
  std::function<void()> enableInAppPurchaseReporting;  // telemetry: enables when it should
  std::function<void()> installCrashReporter;          // telemetry
  // Additional start-up batch.
  std::function<void()> startPingerRetrySchedule;  // network delivery
  std::function<void()> startContentHashing;       // telemetry; the hub checks its switch
  std::function<void()> warmInterstitialPool;      // formats; the hub checks its switch
  std::function<void()> createRewardedAd;          // formats
  // The SDK-core page: asks it for the application settings (creating the controller
  // and loading the page when needed), and runs a script built when the page is ready.
  std::function<void()> requestApplicationSettings;
  std::function<void(std::function<std::string()> scriptBlock)> executeSDKCoreScript;
  // Sends the foreground ping through the pinger, kept for retries.
  std::function<void(const std::string& url)> sendForegroundPing;
  // Mediation: the subset of `names` that name adapter classes present in the process.
  // Unregistered, no class counts as an adapter.
  std::function<std::vector<std::string>(const std::vector<std::string>& names)> availableAdapterNamesInSet;
  // Video playback: makes the process-wide audio/video manager (nullptr where there is
  // none), once, when ZUMMobileAds is first asked for it.
  std::function<std::shared_ptr<ZUMAudioVideoManager>()> makeAudioVideoManager;
  // The host's opt-outs (telemetry). The hub never calls these two directly: see
  // ZUMOptOutOfCrashReporting below.
  std::function<void()> disableCrashReporting;
  std::function<void()> disableInAppPurchaseReporting;
};

// Fills the slots that `fill` sets; earlier fillings of other slots stay.
void ZUMRegisterStartupHooks(const std::function<void(ZUMStartupHooks&)>& fill);
// A copy of the hooks as registered so far.
ZUMStartupHooks ZUMCurrentStartupHooks();

// The host's opt-outs of crash reporting and of in-app-purchase reporting. Carried out
// at once through the telemetry hook when it is registered; an opt-out that comes
// before telemetry registers is remembered and carried out when it does. Each hook is
// called once per process, however often the host opts out.
void ZUMOptOutOfCrashReporting();
void ZUMOptOutOfInAppPurchaseReporting();
