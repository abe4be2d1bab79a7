#include "sdk/native/ZUMOverlayView.h"

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"

namespace {

constexpr const char* kLoadHtml = "loadHtml";
constexpr const char* kShowOverlay = "showOverlay";
constexpr const char* kHideOverlay = "hideOverlay";
constexpr const char* kSendMessageToNativeJs = "sendMessageToNativeJs";
constexpr const char* kSendMessageToSdk = "sendMessageToSdk";
constexpr const char* kAboutBlank = "about:blank";

// A page's message parameters are a dictionary; anything else counts as an empty one.
nlohmann::ordered_json dictionaryOf(const platform::Notification& notification) {
  const auto& info = notification.userInfo();
  return info.is_object() ? info : nlohmann::ordered_json::object();
}

// Only web pages and the empty page may be the overlay's origin: a file or custom-scheme
// base would give the overlay page another origin's rights.
std::optional<platform::URL> overlayBaseURL(const std::string& text) {
  auto url = platform::URL::fromString(text);
  if (!url) return std::nullopt;
  if (ZUMURLHasScheme(url, "http") || ZUMURLHasScheme(url, "https")) return url;
  if (platform::equalsIgnoringASCIICase(url->absoluteString(), kAboutBlank)) return url;
  return std::nullopt;
}

}  // namespace

ZUMOverlayView::ZUMOverlayView(const platform::Rect& frame) : platform::View(frame) {}

std::shared_ptr<ZUMOverlayView> ZUMOverlayView::create(const platform::Rect& frame) {
  platform::assertMainThread();
  return std::shared_ptr<ZUMOverlayView>(new ZUMOverlayView(frame));
}

ZUMOverlayView::~ZUMOverlayView() {
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  if (overlayView_) overlayView_->setDelegate(nullptr);
}

std::shared_ptr<ZUMOverlayView> ZUMOverlayView::self() {
  return std::static_pointer_cast<ZUMOverlayView>(shared_from_this());
}

void ZUMOverlayView::observe(const char* name, Page page, Handler handler) {
  const auto& sender = page == Page::Ad ? adView_ : overlayView_;
  // A sender is required: an observer of no object would hear every page's message.
  if (!sender) return;
  auto me = self();
  platform::NotificationCenter::defaultCenter().addObserver(me, ZUMBindWeak(me, &ZUMOverlayView::relay, page, handler),
                                                            name, sender);
}

void ZUMOverlayView::relay(Page page, Handler handler, const platform::Notification& notification) {
  if (page == Page::Ad && addressed_ && !addressed_(notification)) return;
  (this->*handler)(notification);
}

void ZUMOverlayView::stopObservingAdView() {
  if (!adView_) return;
  auto& center = platform::NotificationCenter::defaultCenter();
  for (const char* name : {kLoadHtml, kShowOverlay, kHideOverlay, kSendMessageToNativeJs}) {
    center.removeObserver(this, name, adView_.get());
  }
}

void ZUMOverlayView::setAdView(const std::shared_ptr<ZUMAdView>& adView, AddressedTest addressed) {
  platform::assertMainThread();
  addressed_ = std::move(addressed);
  if (adView == adView_) return;
  removeOverlaySubview();
  setHidden(true);
  stopObservingAdView();
  adView_ = adView;
  observe(kLoadHtml, Page::Ad, &ZUMOverlayView::handleLoadOverlayView);
  observe(kShowOverlay, Page::Ad, &ZUMOverlayView::handleShowOverlayView);
  observe(kHideOverlay, Page::Ad, &ZUMOverlayView::handleHideOverlayView);
  observe(kSendMessageToNativeJs, Page::Ad, &ZUMOverlayView::handleSendMessageToOverlayView);
}

void ZUMOverlayView::addOverlaySubview() {
  platform::assertMainThread();
  removeOverlaySubview();
  adViewDelegate_ = ZUMAdViewDelegate::create();
  overlayView_ = ZUMAdView::create(platform::Rect::zero());
  overlayView_->setDelegate(self());
  overlayView_->configureAsBannerAdView();
  overlayView_->setHidden(false);
  addSubview(overlayView_);
  ZUMCenterInSuperview(overlayView_);
  observe(kHideOverlay, Page::Overlay, &ZUMOverlayView::handleHideOverlayNotification);
  observe(kSendMessageToSdk, Page::Overlay, &ZUMOverlayView::handleSendMessageToAdViewNotification);
}

void ZUMOverlayView::removeOverlaySubview() {
  platform::assertMainThread();
  if (!overlayView_) return;
  auto& center = platform::NotificationCenter::defaultCenter();
  center.removeObserver(this, kHideOverlay, overlayView_.get());
  center.removeObserver(this, kSendMessageToSdk, overlayView_.get());
  overlayView_->removeFromSuperview();
  overlayView_->setDelegate(nullptr);
  overlayView_.reset();
}

void ZUMOverlayView::loadOverlayWithUserInfo(const nlohmann::ordered_json& userInfo) {
  platform::assertMainThread();
  const auto html = ZUMJSONStringForKey(userInfo, "overlayHtml");
  if (!html) {
    ZUMLog(kZUMLogLevelDefault, "Overlay not loaded: the message has no \"overlayHtml\".");
    return;
  }
  const auto baseURL = overlayBaseURL(ZUMJSONStringForKey(userInfo, "baseUrl", kAboutBlank));
  if (!baseURL) {
    ZUMLog(kZUMLogLevelDefault, "Overlay not loaded: its base URL is not http(s) or about:blank.");
    return;
  }
  if (!overlayView_) addOverlaySubview();
  overlayView_->loadHTMLString(*html, *baseURL);
  loadOverlayUserInfo_ = std::make_unique<nlohmann::ordered_json>(userInfo);
}

void ZUMOverlayView::sendMessageToOverlayWithUserInfo(const nlohmann::ordered_json& userInfo) {
  platform::assertMainThread();
  if (!overlayView_) addOverlaySubview();
  overlayView_->postJSNotification(kSendMessageToSdk, userInfo);
}

// --- Messages -------------------------------------------------------------------------------

void ZUMOverlayView::handleLoadOverlayView(const platform::Notification& notification) {
  loadOverlayWithUserInfo(dictionaryOf(notification));
}

void ZUMOverlayView::handleShowOverlayView(const platform::Notification&) {
  platform::assertMainThread();
  setHidden(false);
}

void ZUMOverlayView::handleHideOverlayView(const platform::Notification&) {
  platform::assertMainThread();
  setHidden(true);
}

void ZUMOverlayView::handleSendMessageToOverlayView(const platform::Notification& notification) {
  sendMessageToOverlayWithUserInfo(dictionaryOf(notification));
}

void ZUMOverlayView::handleHideOverlayNotification(const platform::Notification&) {
  platform::assertMainThread();
  setHidden(true);
}

void ZUMOverlayView::handleSendMessageToAdViewNotification(const platform::Notification& notification) {
  platform::assertMainThread();
  auto message = dictionaryOf(notification);
  if (!message.contains("id") && overlayIdentifier_) message["id"] = *overlayIdentifier_;
  if (adView_) adView_->postJSNotification(kSendMessageToNativeJs, message);
}

// --- The overlay page's delegate ----------------------------------------------------------

std::optional<bool> ZUMOverlayView::adViewShouldStartLoadWithRequest(ZUMAdView& adView,
                                                                     const platform::URLRequest& request,
                                                                     platform::WebViewNavigationType navigationType) {
  if (!adViewDelegate_) return std::nullopt;
  return adViewDelegate_->adViewShouldStartLoadWithRequest(adView, request, navigationType);
}

void ZUMOverlayView::adViewDidStartLoad(ZUMAdView& adView) {
  if (adViewDelegate_) adViewDelegate_->adViewDidStartLoad(adView);
}

void ZUMOverlayView::adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) {
  if (adViewDelegate_) adViewDelegate_->adViewDidFailLoadWithError(adView, error);
  if (&adView != overlayView_.get()) return;
  overlayIdentifier_.reset();
  loadOverlayUserInfo_.reset();
}

void ZUMOverlayView::adViewDidFinishLoad(ZUMAdView& adView) {
  if (adViewDelegate_) adViewDelegate_->adViewDidFinishLoad(adView);
  if (&adView != overlayView_.get() || !loadOverlayUserInfo_) return;
  overlayIdentifier_ = ZUMJSONStringForKey(*loadOverlayUserInfo_, "id");
  loadOverlayUserInfo_.reset();
  nlohmann::ordered_json loaded{{"messageType", "htmlLoaded"}};
  if (overlayIdentifier_) loaded["id"] = *overlayIdentifier_;
  if (adView_) adView_->postJSNotification(kSendMessageToNativeJs, loaded);
}
