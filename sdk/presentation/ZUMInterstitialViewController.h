// The screen on which an interstitial or a rewarded video ad is shown: an ad-app
// controller hosting the slot's own ad view, presented modally inside the slot's
// full-screen session. The interstitial format makes one for its slot and presents it
// with the host's root controller when the host shows the ad.
//
// On top of its bases it tells the page "onshow" once the presentation has completed and
// "onhide" before it starts to leave, names the analytics screen after the host's (once
// per controller, when "/vantor/ads/zums:sai:interstitial_screen_enabled" is on), keeps
// a rewarded ad up across a trip to the background shorter than
// "/vantor/ads/zum:rbv_max_app_background_time_without_dismissing_ad_ms", and closes
// itself when a split-screen resize would crop the ad by more than its threshold. After
// its dismissal it no longer holds the ad view.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/NotificationCenter.h"
#include "sdk/presentation/ZUMAdAppViewController.h"

class ZUMInterstitialViewController : public ZUMAdAppViewController {
 public:
  // Hosts the slot's ad view (nullptr when the slot has none that is an ad view).
  static std::shared_ptr<ZUMInterstitialViewController> create(const std::shared_ptr<ZUMSlot>& slot);
  // Stops watching the application's activity.
  ~ZUMInterstitialViewController() override;

  // Nothing is shown (and the completion never runs) while the slot has no placement.
  void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                 std::function<void()> completion) override;
  // A rewarded ad back within the limit: no. Otherwise the ad-app answer.
  bool shouldDismissOnApplicationEnteringForeground() override;
  // The slot holds a valid ad (state 6).
  bool isLoaded() const override;

  void finishAppearing() override;
  void relinquishScreenWithCompletion(std::function<void()> completion) override;
  void finishDismissal() override;
  void viewWillTransitionToSize(platform::Size size) override;

  // Seconds since boot when the application last resigned active (rewarded ads only);
  // 0 until then.
  double applicationBackgroundTimeIntervalSinceBoot() const { return applicationBackgroundTimeIntervalSinceBoot_; }

 private:
  using ZUMAdAppViewController::ZUMAdAppViewController;
  void observeResignActive();

  double applicationBackgroundTimeIntervalSinceBoot_ = 0.0;
  std::optional<std::string> previousScreenName_;
  std::optional<std::string> previousScreenClass_;
  bool hasSetScreenName_ = false;
  platform::NotificationCenter::Token resignActiveObserver_;
};
