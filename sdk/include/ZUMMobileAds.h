// The SDK's app-facing entry: configuring it with the application identifier, the
// host's audio settings for ads, and the host's opt-outs.
//
// Call ZUMMobileAds::load() before the platform's application main, so that the SDK
// starts when the application finishes launching. Everything else may be called from
// any thread; the configure call continues on the main thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>

class ZUMAudioVideoManager;

// Posted (object: the shared ZUMMobileAds) when the application volume or mute changes.
inline constexpr const char* kZUMMobileAdsApplicationVolumeDidChangeNotification =
    "ZUMMobileAdsApplicationVolumeDidChangeNotification";

class ZUMMobileAds : public std::enable_shared_from_this<ZUMMobileAds> {
 public:
  static std::shared_ptr<ZUMMobileAds> sharedInstance();
  // Loads the SDK: watches for the end of the application's launch. Idempotent.
  static void load();
  // Starts the SDK with the ad network's application identifier: runs the hub's
  // additional start-up batch, stores the identifier and asks for the application's
  // settings. An empty identifier is refused with a logged message.
  static void configureWithApplicationID(const std::string& applicationID);

  // The volume of the SDK's ad audio relative to the application's, as the host set it
  // (1 by default); clampedApplicationVolume() keeps it within 0 to 1.
  float applicationVolume() const;
  void setApplicationVolume(float volume);
  float clampedApplicationVolume() const;
  bool applicationMuted() const;
  void setApplicationMuted(bool muted);

  // The process-wide audio/video manager; nullptr where the SDK plays no ad video.
  std::shared_ptr<ZUMAudioVideoManager> audioVideoManager();

  // Opt-outs of crash reporting and of in-app-purchase reporting, for the rest of the
  // process; an opt-out made before the SDK has fully started is kept until it has.
  void disableAutomatedCrashReporting();
  void disableAutomatedInAppPurchaseReporting();

  ZUMMobileAds();

 private:
  void postVolumeChange();

  mutable std::mutex mutex_;
  float volume_ = 1;
  bool muted_ = false;
  std::shared_ptr<ZUMAudioVideoManager> audioVideoManager_;
  bool audioVideoManagerMade_ = false;
};
