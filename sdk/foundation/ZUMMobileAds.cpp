#include "ZUMMobileAds.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMAudioVideoManager.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/foundation/ZUMThreading.h"

namespace {

bool isBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

}  // namespace

ZUMMobileAds::ZUMMobileAds() = default;

std::shared_ptr<ZUMMobileAds> ZUMMobileAds::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMMobileAds>([] { return std::make_shared<ZUMMobileAds>(); });
  return shared->get();
}

void ZUMMobileAds::configureWithApplicationID(const std::string& applicationID) {
  if (isBlank(applicationID)) {
    ZUMLogger::sharedInstance()->logPublicMessage(
        "Refusing to configure the SDK with an empty application identifier.");
    return;
  }
  ZUMRunOnMainThread([applicationID] {
    auto hub = ZUMApplication::sharedInstance();
    hub->runAdditionalEarlyActivities();
    hub->configuration()->setObject(applicationID, "app_id", ZUMConfiguration::kHostPriority);
    // Always asked, even when the additional batch has just asked for the settings of a
    // stored identifier: the configure call is the host's word that settings are wanted.
    hub->refreshServerSideConfiguration();
  });
}

float ZUMMobileAds::applicationVolume() const {
  std::lock_guard lock(mutex_);
  return volume_;
}

void ZUMMobileAds::setApplicationVolume(float volume) {
  if (std::isnan(volume)) {
    ZUMLogger::sharedInstance()->logPublicMessage("Refusing an application volume that is not a number.");
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (volume_ == volume) return;
    volume_ = volume;
  }
  postVolumeChange();
}

float ZUMMobileAds::clampedApplicationVolume() const { return std::clamp(applicationVolume(), 0.0f, 1.0f); }

bool ZUMMobileAds::applicationMuted() const {
  std::lock_guard lock(mutex_);
  return muted_;
}

void ZUMMobileAds::setApplicationMuted(bool muted) {
  {
    std::lock_guard lock(mutex_);
    if (muted_ == muted) return;
    muted_ = muted;
  }
  postVolumeChange();
}

void ZUMMobileAds::postVolumeChange() {
  platform::NotificationCenter::defaultCenter().post(kZUMMobileAdsApplicationVolumeDidChangeNotification,
                                                     shared_from_this());
}

std::shared_ptr<ZUMAudioVideoManager> ZUMMobileAds::audioVideoManager() {
  {
    std::lock_guard lock(mutex_);
    if (audioVideoManagerMade_) return audioVideoManager_;
  }
  // Made once, by video playback (outside the lock: the manager may ask for the volume);
  // asked again until video has registered.
  const auto make = ZUMCurrentStartupHooks().makeAudioVideoManager;
  if (!make) return nullptr;
  auto made = make();
  std::lock_guard lock(mutex_);
  if (!std::exchange(audioVideoManagerMade_, true)) audioVideoManager_ = std::move(made);
  return audioVideoManager_;
}

void ZUMMobileAds::disableAutomatedCrashReporting() { ZUMOptOutOfCrashReporting(); }

void ZUMMobileAds::disableAutomatedInAppPurchaseReporting() { ZUMOptOutOfInAppPurchaseReporting(); }
