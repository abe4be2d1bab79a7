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

// A page that answers nothing leaves no more than these calls waiting.
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
  if (calls_.size() > kMaxPendingCalls) calls_.pop_front();
}

bool ZUMNativeAdEventRouter::addresses(const ZUMNativeAd& ad, const platform::Notification& message) const {
  // An ad hears only its own page (the observers see to that): alone there, it hears all.
  if (auto sole = soleAd()) return sole.get() == &ad;
  const auto page = page_.lock();
  return page && message.object().get() == page.get() && message.name() == messageName_ &&
         messageAd_.lock().get() == &ad;
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
  auto ad = bookAnswer(answer);
  if (auto sole = soleAd()) ad = std::move(sole);
  if (!ad) ZUMLog(kZUMLogLevelDefault, "Dropped an answer of the native-ads page that no ad awaits: " + what + ".");
  return ad;
}

std::shared_ptr<ZUMNativeAd> ZUMNativeAdEventRouter::bookAnswer(Answer answer) {
  const auto bit = static_cast<std::size_t>(answer);
  const auto sort = answer == Answer::Impression ? ZUMNativePageCall::Impression : ZUMNativePageCall::Click;
  auto awaiting = std::find_if(calls_.begin(), calls_.end(), [&](const PendingCall& pending) {
    return pending.call == sort && !pending.passed && !pending.answered[bit];
  });
  if (awaiting != calls_.end()) {
    awaiting->answered.set(bit);
    for (auto earlier = calls_.begin(); earlier != awaiting; ++earlier) {
      if (earlier->call == sort) earlier->passed = true;
    }
    return awaiting->ad.lock();
  }
  auto latest =
      std::find_if(calls_.rbegin(), calls_.rend(), [&](const PendingCall& pending) { return pending.answered[bit]; });
  return latest == calls_.rend() ? nullptr : latest->ad.lock();
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
