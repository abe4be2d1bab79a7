#include "sdk/rendering/ZUMAdViewDelegate.h"

#include <array>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Application.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr std::size_t kPlaceCount = static_cast<std::size_t>(ZUMTOLMHandlerPlace::Count);

using HandlerMakers = ZUMRegistrationPoint<std::array<ZUMTOLMHandlerMaker, kPlaceCount>>;

bool deeplinkPlusEnabled() { return ZUMUserDefaults::boolForKey("/vantor/ads/deeplinkplus_enabled").value_or(true); }

}  // namespace

void ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace place, ZUMTOLMHandlerMaker maker) {
  const auto index = static_cast<std::size_t>(place);
  if (index >= kPlaceCount) return;
  HandlerMakers::fill([&](auto& makers) { makers[index] = std::move(maker); });
}

bool ZUMIsReservedNotificationName(std::string_view name) {
  for (std::string_view prefix : {"UI", "NS", "ZUM", "kZUM", "kAd", "zum", "delay_page_close"}) {
    if (platform::startsWithIgnoringASCIICase(name, prefix)) return true;
  }
  return platform::endsWithIgnoringASCIICase(name, "Notification");
}

std::shared_ptr<ZUMAdViewDelegate> ZUMAdViewDelegate::create() {
  std::shared_ptr<ZUMAdViewDelegate> delegate(new ZUMAdViewDelegate());
  delegate->registerHandlers();
  return delegate;
}

ZUMAdViewDelegate::ZUMAdViewDelegate()
    : opener_(ZUMOpener::create()), parseQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.tolm-messages")) {}

ZUMAdViewDelegate::~ZUMAdViewDelegate() {
  opener_->setViewController(nullptr);
  opener_->setSlot(nullptr);
  opener_->setAdView(nullptr);
}

void ZUMAdViewDelegate::registerHandlers() {
  for (const auto& maker : HandlerMakers::current()) {
    if (!maker) continue;
    if (auto handler = maker(*this)) addTOLMHandler(handler);
  }
}

void ZUMAdViewDelegate::addTOLMHandler(const std::shared_ptr<ZUMTOLMHandler>& handler) {
  platform::assertMainThread();
  if (handler) TOLMHandlers_.push_back(handler);
}

bool ZUMAdViewDelegate::shouldTreatNavigationTypeAsClick(platform::WebViewNavigationType navigationType) const {
  auto slot = opener_->slot();
  if (!slot) return false;
  switch (slot->state()) {
    case ZUMSlot::State::kSDKCoreFailed:
    case ZUMSlot::State::kRendering:
    case ZUMSlot::State::kInvalidated:
      return false;
    default:
      break;
  }
  if (navigationType == platform::WebViewNavigationType::BackForward ||
      navigationType == platform::WebViewNavigationType::Reload) {
    return false;
  }
  const auto elapsed =
      static_cast<double>(static_cast<std::int64_t>(ZUMMonotonicTimeInMilliseconds()) - slot->timeLastLoaded()) / 1000;
  if (elapsed < 0.15) return false;
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
  return adView && adView->touched();
}

void ZUMAdViewDelegate::handleDeeplinkPlusURL(const platform::URL& url) {
  if (url.host() != "navigate") return;
  const auto primaryString = ZUMQueryValueForKey(url, "primaryUrl");
  const auto primary = primaryString ? platform::URL::fromString(*primaryString) : std::nullopt;
  if (!primary) return;
  const auto fallbackString = ZUMQueryValueForKey(url, "fallbackUrl");
  const auto canOpen = ZUMDevice::sharedInstance()->canOpenURLs({primary->absoluteString()});
  const auto answer = canOpen.find(primary->absoluteString());
  const bool primaryOpens = answer != canOpen.end() && answer->is_boolean() && answer->get<bool>();

  std::optional<platform::URL> chosen;
  std::vector<std::string> tracking;
  if (primaryOpens) {
    chosen = primary;
    tracking = ZUMQueryValuesForKey(url, "primaryTrackingUrl").value_or(std::vector<std::string>{});
  } else {
    if (fallbackString) chosen = platform::URL::fromString(*fallbackString);
    tracking = ZUMQueryValuesForKey(url, "fallbackTrackingUrl").value_or(std::vector<std::string>{});
  }
  if (!tracking.empty()) ZUMClickTrackerCollection::sharedInstance()->trackURLs(tracking);
  if (chosen) opener_->openApp(*chosen);
}

void ZUMAdViewDelegate::handleTOLMURL(const platform::URL& url, const std::shared_ptr<ZUMAdView>& adView) {
  platform::assertMainThread();
  // The snapshot is taken here, on the main thread, where the chain grows.
  auto handlers = TOLMHandlers_;
  parseQueue_->async([self = shared_from_this(), url, adView, handlers = std::move(handlers)]() mutable {
    auto notification = ZUMNotification::createWithNotificationURL(url);
    // Back on the main queue either way, so the ad view and the delegate are let go there.
    platform::DispatchQueue::main()->async([self = std::move(self), notification = std::move(notification),
                                            adView = std::move(adView), handlers = std::move(handlers)] {
      if (notification) self->walkChain(handlers, notification, adView);
    });
  });
}

void ZUMAdViewDelegate::walkChain(const std::vector<std::shared_ptr<ZUMTOLMHandler>>& handlers,
                                  const std::shared_ptr<const ZUMNotification>& notification,
                                  const std::shared_ptr<ZUMAdView>& adView) {
  for (const auto& handler : handlers) {
    if (handler->handleNotification(notification, adView)) return;
  }
  if (ZUMIsReservedNotificationName(notification->name())) {
    ZUMLog(kZUMLogLevelDefault, "Dropped an in-page message under a reserved name: " + notification->name());
    return;
  }
  platform::OperationQueue::main()->addOperation([notification, adView] {
    platform::NotificationCenter::defaultCenter().post(notification->name(), adView, notification->parameters());
  });
}

bool ZUMAdViewDelegate::adViewDelegateAdViewShouldStartLoadWithRequest(ZUMAdView& adView,
                                                                       const platform::URLRequest& request,
                                                                       platform::WebViewNavigationType navigationType) {
  platform::assertMainThread();
  const auto& url = request.url();
  if (!url) return false;
  auto shared = std::static_pointer_cast<ZUMAdView>(adView.shared_from_this());
  opener_->setNavigationRequest(request);
  opener_->setViewController(adView.viewController());
  opener_->setAdView(shared);

  const std::string scheme = ZUMLowercasedScheme(*url);
  if (scheme == "file") return false;
  if (navigationType == platform::WebViewNavigationType::LinkClicked && url->fragment()) {
    const auto current = adView.URL();
    if (current && ZUMURLStringWithoutFragment(*current) == ZUMURLStringWithoutFragment(*url)) return false;
  }
  if (ZUMNotification::isNotificationURL(url)) {
    handleTOLMURL(*url, shared);
    return false;
  }
  if (scheme == "mailto") {
    opener_->openEmailComposer(*url);
    return false;
  }
  if (scheme == "sms") {
    opener_->openSmsComposer(*url);
    return false;
  }
  if (scheme == "deeplink+" && deeplinkPlusEnabled()) {
    handleDeeplinkPlusURL(*url);
    return false;
  }
  if (scheme == "about") return true;
  if (scheme != "http" && scheme != "https") {
    opener_->openApp(*url);
    return false;
  }
  if (handlesClicks() && adView.hasLoadedAtLeastOnce() && shouldTreatNavigationTypeAsClick(navigationType)) {
    const auto& mainDocument = request.mainDocumentURL();
    if (ZUMUserDefaults::boolForKey("/vantor/ads/handle_iframe_navigation").value_or(false) && mainDocument &&
        !mainDocument->absoluteString().empty() && mainDocument->absoluteString() != url->absoluteString()) {
      return true;
    }
    opener_->setReferringURL(adView.URL());
    // The opener counts the click once it has taken the user somewhere; counting it here
    // as well would count every click twice.
    auto slot = opener_->slot();
    opener_->openApp(slot ? ZUMSlotEventHandler::forSlot(*slot)->gestureClickURLWithURL(*url) : *url);
    return false;
  }
  return true;
}

std::optional<bool> ZUMAdViewDelegate::adViewShouldStartLoadWithRequest(
    ZUMAdView& adView, const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  const bool allowed = adViewDelegateAdViewShouldStartLoadWithRequest(adView, request, navigationType);
  if (allowed) ZUMAdURLStash::sharedInstance()->adViewWillLoadURLRequest(adView.stashKey(), request);
  return allowed;
}

void ZUMAdViewDelegate::adViewDidFinishLoad(ZUMAdView& adView) {
  adView.forceRotateHTMLToOrientation(platform::Application::shared().statusBarOrientation());
  hasLoadedAtLeastOnce_ = true;
}

void ZUMAdViewDelegate::adViewDidMoveToPlacement(ZUMAdView&, const std::shared_ptr<ZUMSlotPlacement>&) {
  ZUMRunOnMainThread([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    for (const auto& handler : self->TOLMHandlers_) handler->flushBuffer();
  });
}
