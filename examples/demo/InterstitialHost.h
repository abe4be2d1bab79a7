// What the read-aloud application does with the SDK, as a host: one screen, one request
// object reused, and an interstitial schedule. It loads an interstitial, shows it as soon
// as it arrives, the user taps it and closes it, and a one-second timer started at the
// dismissal loads the next one after 60 ticks. Every delegate callback is printed as it
// comes, with the virtual time and the thread it came on.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ZUMInterstitial.h"

namespace platform {
class Timer;
class ViewController;
class Window;
}  // namespace platform

class ZUMRequest;

class InterstitialHost final : public ZUMInterstitialDelegate, public std::enable_shared_from_this<InterstitialHost> {
 public:
  static constexpr int kTicksBetweenAds = 60;

  using Say = std::function<void(const std::string& who, const std::string& what)>;
  InterstitialHost(Say say, std::string adUnitID);

  // The screen: a key window whose root controller presents the ads.
  void launch();
  // Loads the next interstitial (the application replaces its object for every load).
  void loadInterstitial();
  // The user taps the ad on screen; its page follows the link it was showing.
  void tapAd();
  // The user closes the ad with its close button.
  void closeAd();
  // Writes the screen as it shows the ad now to `path` as a PNG, and says so.
  void savePicture(const std::string& path);

  // Prints the current interstitial's slot state when it changed since the last look
  // (states that last only inside one call are never seen).
  void noteSlotState();

  bool onScreen() const { return onScreen_; }
  bool waitingForTicks() const { return static_cast<bool>(timer_); }
  std::size_t received() const { return received_; }
  std::size_t dismissed() const { return dismissed_; }
  std::size_t failed() const { return failed_; }
  // Interstitials received with a slot that the interstitial pool had loaded ahead, and
  // those loaded for themselves.
  std::size_t poolHits() const { return poolHits_; }
  std::size_t poolMisses() const { return poolMisses_; }

  // ZUMInterstitialDelegate
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial& ad, const ZUMRequestErrorPtr& error) override;
  ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillLeaveApplication(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidReceiveAdClick(ZUMInterstitial& ad) override;

 private:
  void say(const std::string& who, const std::string& what) { say_(who, what); }
  void tick();

  Say say_;
  std::string adUnitID_;
  std::shared_ptr<platform::Window> window_;
  std::shared_ptr<platform::ViewController> root_;
  std::shared_ptr<ZUMRequest> request_;
  std::shared_ptr<ZUMInterstitial> interstitial_;
  std::shared_ptr<platform::Timer> timer_;
  int ticks_ = 0;
  std::int64_t lastSlotState_ = -1;
  bool onScreen_ = false;
  std::size_t received_ = 0;
  std::size_t dismissed_ = 0;
  std::size_t failed_ = 0;
  std::size_t poolHits_ = 0;
  std::size_t poolMisses_ = 0;
};
