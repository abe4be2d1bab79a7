#include "sdk/native/ZUMNativeAdEventRouter.h"

#include <algorithm>
#include <utility>

#include "ZUMNativeAd.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSlot.h"

namespace {

// A page that answers nothing leaves no more than these calls of a sort waiting.
constexpr std::size_t kMaxPendingCalls = 32;

}  // namespace

std::shared_ptr<ZUMNativeAdEventRouter> ZUMNativeAdEventRouter::forSlot(ZUMSlot& slot) {
  platform::assertMainThread();
  if (auto router = std::dynamic_pointer_cast<ZUMNativeAdEventRouter>(slot.adEventDelegate())) return router;
  auto router = std::shared_ptr<ZUMNativeAdEventRouter>(new ZUMNativeAdEventRouter());
  slot.setAdEventDelegate(router);
  auto page = std::dynamic_pointer_cast<ZUMAdView>(slot.adView());
  if (!page) return router;
  router->page_ = page;
  // The messages the custom template ads and the overlay views of the ads hear.
  static constexpr std::pair<const char*, Answer> kPageMessages[] = {{"nativeAdCustomClick", Answer::CustomClick},
                                                                     {"loadHtml", Answer::Overlay},
                                                                     {"showOverlay", Answer::Overlay},
                                                                     {"hideOverlay", Answer::Overlay},
                                                                     {"sendMessageToNativeJs", Answer::Overlay}};
  for (const auto& [name, answer] : kPageMessages) {
    platform::NotificationCenter::defaultCenter().addObserver(
        router, ZUMBindWeak(std::weak_ptr(router), &ZUMNativeAdEventRouter::handlePageMessage, answer), name, page);
  }
  return router;
}

void ZUMNativeAdEventRouter::addAd(const std::shared_ptr<ZUMNativeAd>& ad) { ads_.push_back(ad); }

void ZUMNativeAdEventRouter::removeAd(const ZUMNativeAd& ad) {
  // Its calls stay: the page will still answer them, and the answers are still its own.
  std::erase_if(ads_, [&ad](const std::weak_ptr<ZUMNativeAd>& weak) { return weak.lock().get() == &ad; });
}

void ZUMNativeAdEventRouter::pageWillAnswer(const std::shared_ptr<ZUMNativeAd>& ad, ZUMNativePageCall call) {
  platform::assertMainThread();
  calls_.push_back({.ad = ad, .call = call, .answered = {}});
  const auto sameSort = [call](const PendingCall& pending) { return pending.call == call; };
  if (static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(), sameSort)) > kMaxPendingCalls) {
    forgetOldestCall(call);
  }
}

void ZUMNativeAdEventRouter::forgetOldestCall(ZUMNativePageCall call) {
  // A call whose screen is up is kept for its dismissal, unless every call of the sort has one.
  const auto showsScreen = [](const PendingCall& pending) { return isDue(pending, Answer::DidDismissScreen); };
  auto oldest = std::find_if(calls_.begin(), calls_.end(),
                             [&](const PendingCall& pending) { return pending.call == call && !showsScreen(pending); });
  if (oldest == calls_.end()) {
    oldest =
        std::find_if(calls_.begin(), calls_.end(), [call](const PendingCall& pending) { return pending.call == call; });
  }
  const PendingCall forgotten = *oldest;
  calls_.erase(oldest);
  bool owed = false;
  for (std::size_t answer = 0; answer < kAnswerCount; ++answer) {
    if (!isDue(forgotten, static_cast<Answer>(answer))) continue;
    ++forgottenDue_[answer];
    owed = true;
  }
  if (owed) ZUMLog(kZUMLogLevelDefault, "Forgot a call of a native ad that its page has not answered yet.");
  auto ad = forgotten.ad.lock();
  if (!ad || call != ZUMNativePageCall::Click) return;
  const bool clicksLeft = std::any_of(calls_.begin(), calls_.end(), [&ad](const PendingCall& pending) {
    return pending.call == ZUMNativePageCall::Click && pending.ad.lock() == ad;
  });
  if (!clicksLeft) ad->pageWillNotAnswerClicks();
}

bool ZUMNativeAdEventRouter::isDismissal(Answer answer) {
  return answer == Answer::WillDismissScreen || answer == Answer::DidDismissScreen;
}

ZUMNativePageCall ZUMNativeAdEventRouter::sortOf(Answer answer) {
  return answer == Answer::Impression ? ZUMNativePageCall::Impression : ZUMNativePageCall::Click;
}

bool ZUMNativeAdEventRouter::isDue(const PendingCall& pending, Answer answer) {
  if (pending.answered[static_cast<std::size_t>(answer)]) return false;
  // A screen's dismissal is due to the call that presented it, passed or not.
  if (isDismissal(answer)) return pending.answered[static_cast<std::size_t>(Answer::WillPresentScreen)];
  return pending.call == sortOf(answer) && !pending.passed;
}

bool ZUMNativeAdEventRouter::addresses(const ZUMNativeAd& ad, const platform::Notification& message) const {
  // The router hears the page's messages first and has chosen their addressee; an ad
  // hears only its own page (the observers see to that), so alone there, it hears the rest.
  const auto page = page_.lock();
  if (page && message.object().get() == page.get() && message.name() == messageName_) {
    return messageAd_.lock().get() == &ad;
  }
  return soleAd().get() == &ad;
}

void ZUMNativeAdEventRouter::handlePageMessage(Answer answer, const platform::Notification& message) {
  messageName_ = message.name();
  messageAd_ = route(answer, message.name());
}

std::shared_ptr<ZUMNativeAd> ZUMNativeAdEventRouter::soleAd() const {
  std::shared_ptr<ZUMNativeAd> sole;
  for (const auto& weak : ads_) {
    auto ad = weak.lock();
    if (!ad) continue;
    if (sole) return nullptr;
    sole = std::move(ad);
  }
  return sole;
}

std::shared_ptr<ZUMNativeAd> ZUMNativeAdEventRouter::route(Answer answer, const std::string& what) {
  platform::assertMainThread();
  auto [awaited, ad] = bookAnswer(answer);
  // An ad alone on the page hears what no call awaits; the answer of a call whose ad has
  // gone, or that was forgotten, is no one's.
  if (!awaited) {
    if (auto sole = soleAd()) ad = std::move(sole);
  }
  if (!ad) ZUMLog(kZUMLogLevelDefault, "Dropped an answer of the native-ads page that no ad awaits: " + what + ".");
  return ad;
}

ZUMNativeAdEventRouter::Addressee ZUMNativeAdEventRouter::bookAnswer(Answer answer) {
  const auto bit = static_cast<std::size_t>(answer);
  // Forgotten calls are older than every call kept: what they are due comes first.
  if (forgottenDue_[bit] > 0) {
    --forgottenDue_[bit];
    // The screen a forgotten call presents is dismissed as no one's too.
    if (answer == Answer::WillPresentScreen) {
      ++forgottenDue_[static_cast<std::size_t>(Answer::WillDismissScreen)];
      ++forgottenDue_[static_cast<std::size_t>(Answer::DidDismissScreen)];
    }
    return {.awaited = true, .ad = nullptr};
  }
  if (isDismissal(answer)) {
    if (auto presenter = bookDismissal(answer); presenter.awaited) return presenter;
  }
  const auto sort = sortOf(answer);
  auto awaiting = std::find_if(calls_.begin(), calls_.end(), [&](const PendingCall& pending) {
    return pending.call == sort && !pending.passed && !pending.answered[bit];
  });
  if (awaiting != calls_.end()) {
    awaiting->answered.set(bit);
    for (auto earlier = calls_.begin(); earlier != awaiting; ++earlier) {
      if (earlier->call == sort) earlier->passed = true;
    }
    // Forgotten calls of the sort are earlier still: the page is past them too, but for
    // the screens they presented.
    for (std::size_t other = 0; other < kAnswerCount; ++other) {
      const auto kind = static_cast<Answer>(other);
      if (sortOf(kind) == sort && !isDismissal(kind)) forgottenDue_[other] = 0;
    }
    return {.awaited = true, .ad = awaiting->ad.lock()};
  }
  auto latest =
      std::find_if(calls_.rbegin(), calls_.rend(), [&](const PendingCall& pending) { return pending.answered[bit]; });
  if (latest == calls_.rend()) return {};
  // Overlay messages come in series for one click: the later ones are that call's too.
  return {.awaited = answer == Answer::Overlay, .ad = latest->ad.lock()};
}

ZUMNativeAdEventRouter::Addressee ZUMNativeAdEventRouter::bookDismissal(Answer answer) {
  const auto bit = static_cast<std::size_t>(answer);
  auto presenter =
      std::find_if(calls_.begin(), calls_.end(), [&](const PendingCall& pending) { return isDue(pending, answer); });
  if (presenter == calls_.end()) return {};
  presenter->answered.set(bit);
  return {.awaited = true, .ad = presenter->ad.lock()};
}

#define ZUM_ROUTE(method, answer)                                \
  ZUMImplemented ZUMNativeAdEventRouter::method(ZUMSlot& slot) { \
    auto ad = route(Answer::answer, #method);                    \
    return ad ? ad->method(slot) : std::nullopt;                 \
  }

ZUM_ROUTE(slotWillPresentScreen, WillPresentScreen)
ZUM_ROUTE(slotWillDismissScreen, WillDismissScreen)
ZUM_ROUTE(slotDidDismissScreen, DidDismissScreen)
ZUM_ROUTE(slotWillLeaveApplication, WillLeaveApplication)
ZUM_ROUTE(slotDidRecordImpression, Impression)
ZUM_ROUTE(slotDidRecordClick, Click)

#undef ZUM_ROUTE
