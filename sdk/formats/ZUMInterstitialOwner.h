// The companion of one ZUMInterstitial: it keeps the interstitial alive while it is on
// screen (the host may drop its reference once it presented it), and carries out the
// page's delayed close: when the ad page asked to delay its close, the dismissed ad view
// is parked in the placeholder window, where its page keeps running, until the page says
// stop or the time-out ("/vantor/ads/zum:delay_page_close_timeout", 2 s by default, at
// most kZUMMaximumDelayPageCloseTimeout) passes; then the interstitial's slot is
// invalidated and the interstitial let go.
//
// Made by the interstitial, which holds it strongly; it holds the interstitial weakly,
// and strongly only from presentation to dismissal, or to the end of a delayed close.
//
// Main thread only; the page's notifications may arrive on the posting thread and are
// carried out on the main thread.
#pragma once

#include <memory>

#include "platform/base/NotificationCenter.h"

namespace platform {
class View;
}

class ZUMInterstitial;

inline constexpr const char* kZUMDelayPageCloseStartNotification = "delay_page_close_start";
inline constexpr const char* kZUMDelayPageCloseStopNotification = "delay_page_close_stop";
// The longest a closed interstitial's page is kept running, in seconds, whatever the
// stored time-out says: a page that never says stop must not keep it for ever.
inline constexpr double kZUMMaximumDelayPageCloseTimeout = 300;

class ZUMInterstitialOwner final : public std::enable_shared_from_this<ZUMInterstitialOwner> {
 public:
  // nullptr for no interstitial.
  static std::shared_ptr<ZUMInterstitialOwner> create(const std::shared_ptr<ZUMInterstitial>& interstitial);
  ~ZUMInterstitialOwner();
  ZUMInterstitialOwner(const ZUMInterstitialOwner&) = delete;
  ZUMInterstitialOwner& operator=(const ZUMInterstitialOwner&) = delete;

  // The interstitial made its slot: the first call starts listening to its ad view.
  void interstitialDidCreateSlot();
  void interstitialWillBePresented();
  // The interstitial left the screen: its slot is invalidated now, or its ad view parked
  // when the page asked to delay the close.
  void interstitialIsDismissed();

  double delayPageCloseTimeoutInterval() const { return delayPageCloseTimeoutInterval_; }
  bool isInterstitialCloseDelayed() const { return isInterstitialCloseDelayed_; }
  // Whether the owner holds the interstitial (on screen, or its close delayed).
  bool holdsInterstitial() const { return presentedInterstitial_ || pageCloseDelayedInterstitial_; }

 private:
  explicit ZUMInterstitialOwner(const std::shared_ptr<ZUMInterstitial>& interstitial);
  void observeInterstitial(ZUMInterstitial& interstitial);
  void stopObserving();
  static void moveAdViewToPlaceholderWindow(const std::shared_ptr<platform::View>& adView);
  void interstitialDelayPageCloseStarted();
  void interstitialDelayPageCloseStopped();

  std::weak_ptr<ZUMInterstitial> weakInterstitial_;
  double delayPageCloseTimeoutInterval_ = 2.0;
  bool isSlotCreated_ = false;
  std::shared_ptr<ZUMInterstitial> presentedInterstitial_;
  bool isInterstitialCloseDelayed_ = false;
  std::shared_ptr<ZUMInterstitial> pageCloseDelayedInterstitial_;
  // Its ad view sits in the placeholder window, waiting for the stop or the time-out.
  bool adViewParked_ = false;
  std::vector<platform::NotificationCenter::Token> observers_;
};
