// Routes the answers of a native-ads page that several native ads share (the ads of one
// response share one slot and its page) to the ad whose call each answers.
//
// The page answers its calls in the order they reach it: a click with its click record,
// a custom click or overlay messages, the screens it opens and the application it leaves
// for; an impression ping with its impression record only, so an impression never takes
// a click's answers. An answer goes to the oldest call of its sort (click or impression)
// that has not yet had an answer of its kind, even when that call's ad has gone (the
// answer is then dropped); once a later call of that sort has had any answer, the page
// is past the earlier ones, which await nothing more (a click the page answered without
// a custom click never takes the next click's). The dismissal of a screen goes to the
// call that presented it, whatever was answered meanwhile. Overlay messages come in
// series: one that no call awaits continues the latest call that had one (an overlay
// shown after a click, then hidden). Any other answer that no call awaits is the ad's that
// is alone on the page, else the latest call's that had one of its kind. An answer that
// reaches no ad is logged.
//
// A page that answers nothing leaves at most 32 calls of each sort waiting: the oldest
// (but one whose screen is up) is then forgotten, but what it was still due is counted,
// so its answers, and the screen it may present, are dropped rather than given to a later
// call; an ad none of whose clicks is still waiting hears that its clicks will go
// unanswered.
//
// The slot's events come to the router as its ad-event delegate. The page's own messages
// (custom clicks, overlay messages) are notifications of the shared ad view that each ad
// observes: the router observes them too, from the moment it is made, before any ad on
// the slot does, so it has chosen the addressee when the ads ask (addresses()).
//
// Held strongly by each ad on the slot, weakly by the slot, the ads' activations and the
// notification center. Main thread only.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "ZUMSlotAdEventDelegate.h"

namespace platform {
class Notification;
}

class ZUMAdView;
class ZUMNativeAd;
class ZUMSlot;

// What an ad asks its page to do.
enum class ZUMNativePageCall : std::uint8_t { Click, Impression };

class ZUMNativeAdEventRouter final : public ZUMSlotAdEventDelegate {
 public:
  // The slot's router: the one it has, else a new one made its ad-event delegate.
  static std::shared_ptr<ZUMNativeAdEventRouter> forSlot(ZUMSlot& slot);

  // `ad` shares the page from now on, or no longer.
  void addAd(const std::shared_ptr<ZUMNativeAd>& ad);
  void removeAd(const ZUMNativeAd& ad);
  // `ad` has just asked the page to act; its answers are to come.
  void pageWillAnswer(const std::shared_ptr<ZUMNativeAd>& ad, ZUMNativePageCall call);
  // Whether `message`, a notification of the page's ad view being posted now, is `ad`'s.
  bool addresses(const ZUMNativeAd& ad, const platform::Notification& message) const;

  ZUMImplemented slotWillPresentScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotDidDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillLeaveApplication(ZUMSlot& slot) override;
  ZUMImplemented slotDidRecordImpression(ZUMSlot& slot) override;
  ZUMImplemented slotDidRecordClick(ZUMSlot& slot) override;

 private:
  // The page's answers, each expected at most once per call.
  enum class Answer : std::uint8_t {
    Impression,
    Click,
    CustomClick,
    Overlay,
    WillPresentScreen,
    WillDismissScreen,
    DidDismissScreen,
    WillLeaveApplication,
    Count
  };
  static constexpr std::size_t kAnswerCount = static_cast<std::size_t>(Answer::Count);
  struct PendingCall {
    std::weak_ptr<ZUMNativeAd> ad;
    ZUMNativePageCall call;
    std::bitset<kAnswerCount> answered;
    bool passed = false;  // a later call of its sort was answered
  };
  // Whom an answer is for: `awaited` when a call (perhaps forgotten, or of an ad that has
  // gone) awaited it.
  struct Addressee {
    bool awaited = false;
    std::shared_ptr<ZUMNativeAd> ad;
  };

  ZUMNativeAdEventRouter() = default;
  void handlePageMessage(Answer answer, const platform::Notification& message);
  std::shared_ptr<ZUMNativeAd> soleAd() const;
  // The addressee of `answer`, which is now booked as given.
  std::shared_ptr<ZUMNativeAd> route(Answer answer, const std::string& what);
  Addressee bookAnswer(Answer answer);
  Addressee bookDismissal(Answer answer);
  void forgetOldestCall(ZUMNativePageCall call);
  static bool isDismissal(Answer answer);
  static ZUMNativePageCall sortOf(Answer answer);
  // Whether `pending` may still get `answer`.
  static bool isDue(const PendingCall& pending, Answer answer);

  std::vector<std::weak_ptr<ZUMNativeAd>> ads_;  // the ads of one response: a few
  std::deque<PendingCall> calls_;
  // Per answer, how many forgotten calls are still due it: the next such answers are theirs.
  std::array<std::uint32_t, kAnswerCount> forgottenDue_{};
  std::weak_ptr<ZUMAdView> page_;
  // The page message being posted and the ad it was given to.
  std::string messageName_;
  std::weak_ptr<ZUMNativeAd> messageAd_;
};
