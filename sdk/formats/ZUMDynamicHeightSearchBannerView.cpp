#include "sdk/formats/ZUMDynamicHeightSearchBannerView.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "ZUMDynamicHeightSearchRequest.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Coder.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMWebView.h"
#include "sdk/rendering/ZUMWebViewConfiguration.h"

namespace {

constexpr const char* kResizedPrefix = "tolm://adResized";
constexpr const char* kNoAdPrefix = "tolm://noAdLoaded";
constexpr const char* kScriptFailedPrefix = "tolm://scriptLoadFailed";

void logPublicMessage(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

// --- Creation and teardown ---------------------------------------------------------------------

ZUMDynamicHeightSearchBannerView::ZUMDynamicHeightSearchBannerView(const platform::Rect& frame)
    : platform::View(frame) {}

std::shared_ptr<ZUMDynamicHeightSearchBannerView> ZUMDynamicHeightSearchBannerView::create(
    const platform::Rect& frame) {
  std::shared_ptr<ZUMDynamicHeightSearchBannerView> view(new ZUMDynamicHeightSearchBannerView(frame));
  view->configureBannerView();
  return view;
}

std::shared_ptr<ZUMDynamicHeightSearchBannerView> ZUMDynamicHeightSearchBannerView::create(
    const platform::Coder& coder) {
  std::shared_ptr<ZUMDynamicHeightSearchBannerView> view(new ZUMDynamicHeightSearchBannerView(platform::Rect::zero()));
  if (!view->initWithCoder(coder)) return nullptr;
  view->configureBannerView();
  return view;
}

std::shared_ptr<ZUMDynamicHeightSearchBannerView> ZUMDynamicHeightSearchBannerView::self() {
  return std::static_pointer_cast<ZUMDynamicHeightSearchBannerView>(shared_from_this());
}

void ZUMDynamicHeightSearchBannerView::configureBannerView() {
  platform::assertMainThread();
  ZUMWebViewConfiguration configuration;
  if (auto key = ZUMUserDefaults::stringForKey("/vantor/ads/vqs_wv_class")) configuration.setWebViewClassKey(*key);
  adWebView_ = ZUMWebViewClassForConfiguration(configuration)(platform::Rect::zero(), configuration);
  if (adWebView_) {
    adWebView_->setFrame({0, 0, bounds().width(), 0});
    if (auto scroll = adWebView_->scrollView()) scroll->setScrollEnabled(false);
    adWebView_->setDelegate(self());
    addSubview(adWebView_);
  }
  touchGestureRecognizer_ = ZUMGestureRecognizer::create();
  touchGestureRecognizer_->setDelegate(self());
  addGestureRecognizer(touchGestureRecognizer_);
  setClipsToBounds(true);
}

ZUMDynamicHeightSearchBannerView::~ZUMDynamicHeightSearchBannerView() {
  if (!adWebView_) return;
  adWebView_->setDelegate(nullptr);
  adWebView_->stopLoading();
}

// --- Loading -------------------------------------------------------------------------------------

void ZUMDynamicHeightSearchBannerView::loadRequest(const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  const std::string className = request ? request->className() : "(null)";
  auto search = std::dynamic_pointer_cast<ZUMDynamicHeightSearchRequest>(request);
  if (!search) {
    failLater("Unexpected request type while expecting a request of type: " + className);
    return;
  }
  if (search->childDirectedTreatment()) {
    failLater("Child directed treatment is not supported for request type: " + className);
    return;
  }
  adState_ = ZUMDynamicHeightSearchAdState::Loading;
  const auto url = search->TRVDynamicHeightSearchRequestURLWithAdUnitID(adUnitID_);
  if (adWebView_ && url) adWebView_->loadRequest(platform::URLRequest(*url));
}

void ZUMDynamicHeightSearchBannerView::failLater(const std::string& message) {
  logPublicMessage(message);
  auto error = ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument, message);
  platform::DispatchQueue::main()->async(ZUMBindWeak(self(), &ZUMDynamicHeightSearchBannerView::tellFailure, error));
}

void ZUMDynamicHeightSearchBannerView::tellFailure(const platform::ErrorPtr& error) {
  if (auto delegate = this->delegate()) delegate->bannerViewDidFailToReceiveAdWithError(*this, error);
}

// --- Geometry ------------------------------------------------------------------------------------

void ZUMDynamicHeightSearchBannerView::setFrame(const platform::Rect& frame) {
  platform::View::setFrame(frame);
  if (adWebView_) adWebView_->setFrame({0, 0, bounds().width(), adWebView_->frame().height()});
}

platform::Size ZUMDynamicHeightSearchBannerView::currentAdSize() const {
  return adWebView_ ? adWebView_->bounds().size : platform::Size{0, 0};
}

double ZUMDynamicHeightSearchBannerView::saneHeight(double height) {
  if (!std::isfinite(height) || height < 0) return 0;
  // The page may be taller than the screen (the host scrolls it), not without bound.
  return std::min(height, kMaximumHeight);
}

void ZUMDynamicHeightSearchBannerView::updateInternalAdViewHeightAndNotifyDelegateWithHeight(double height) {
  if (adWebView_) adWebView_->setFrame({0, 0, adWebView_->frame().width(), height});
  if (auto delegate = this->delegate()) delegate->bannerViewDidUpdateDesiredContentSize(*this, currentAdSize());
}

// --- The page's messages -------------------------------------------------------------------------

bool ZUMDynamicHeightSearchBannerView::webViewShouldStartLoadWithRequest(
    ZUMWebView& webView, const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  platform::assertMainThread();
  const auto& url = request.url();
  if (!url) return true;
  const std::string text = url->absoluteString();
  if (startsWith(text, kResizedPrefix)) {
    handleResize(*url);
  } else if (startsWith(text, kNoAdPrefix)) {
    webViewDidFailLoadWithError(webView, ZUMMakeErrorWithDescription(kZUMErrorNoFill, "No ads are available"));
  } else if (startsWith(text, kScriptFailedPrefix)) {
    webViewDidFailLoadWithError(
        webView, ZUMMakeErrorWithDescription(kZUMErrorNetworkError, "Failed to load resources over the network"));
  } else if (ZUMNotification::isNotificationURL(*url)) {
    ZUMLog(kZUMLogLevelDefault, "Search banner ignored a page message it does not know: " + text);
  } else if (navigationType == platform::WebViewNavigationType::LinkClicked) {
    handleUserDidTapAdDestinationURL(*url);
  } else {
    return true;
  }
  return false;
}

void ZUMDynamicHeightSearchBannerView::handleResize(const platform::URL& url) {
  const auto text = ZUMQueryValueForKey(url, "height");
  // The page's text as a number ("12px" reads 12; no number reads 0), then made sane.
  const auto asked = text ? ZUMJSONDouble(nlohmann::ordered_json(*text), ZUMJSONStrings::Read) : 0.0;
  const double height = saneHeight(asked.value_or(0));
  if (text && (!asked || height != *asked)) {
    ZUMLog(kZUMLogLevelDefault, "Search banner took height " + std::to_string(height) + " for the page's " + *text);
  }
  if (height > 0 && adState_ != ZUMDynamicHeightSearchAdState::AdShown) {
    if (auto delegate = this->delegate()) delegate->bannerViewDidReceiveAd(*this);
  }
  adState_ = ZUMDynamicHeightSearchAdState::AdShown;
  updateInternalAdViewHeightAndNotifyDelegateWithHeight(height);
}

void ZUMDynamicHeightSearchBannerView::webViewDidFailLoadWithError(ZUMWebView&, const platform::ErrorPtr& error) {
  platform::assertMainThread();
  if (!error) return;
  if (error->code() == platform::kURLErrorCancelled &&
      !ZUMUserDefaults::boolForKey("/vantor/ads/use_cancelled_url_error").value_or(false)) {
    return;
  }
  adState_ = ZUMDynamicHeightSearchAdState::Failed;
  updateInternalAdViewHeightAndNotifyDelegateWithHeight(0);
  if (auto delegate = this->delegate()) delegate->bannerViewDidFailToReceiveAdWithError(*this, error);
}

std::optional<std::pair<std::string, std::string>> ZUMDynamicHeightSearchBannerView::clickSignalQueryItem(
    const std::string& signal) {
  const auto equals = signal.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == signal.size()) return std::nullopt;
  if (signal.find('=', equals + 1) != std::string::npos) return std::nullopt;
  return std::make_pair(signal.substr(0, equals), signal.substr(equals + 1));
}

void ZUMDynamicHeightSearchBannerView::handleUserDidTapAdDestinationURL(const platform::URL& url) {
  auto delegate = this->delegate();
  if (!delegate) return;
  const std::string adIdentifier = ZUMQueryValueForKey(url, "ai").value_or("");
  std::string signal;
  platform::URL landing = url;
  if (ZUMSignalsClickSignal(adIdentifier, signal)) {
    if (const auto item = clickSignalQueryItem(signal)) {
      landing =
          ZUMURLByAppendingQueryParameters(url, nlohmann::ordered_json{{item->first, item->second}}).value_or(url);
    }
  }
  delegate->bannerViewDidReceiveLandingPageURL(*this, landing);
}

void ZUMDynamicHeightSearchBannerView::webViewRunJavaScriptAlertPanelWithTitle(
    ZUMWebView&, const std::string&, const std::string&, std::function<void()> completionHandler) {
  platform::DispatchQueue::main()->async([completionHandler = std::move(completionHandler)] {
    if (completionHandler) completionHandler();
  });
}

bool ZUMDynamicHeightSearchBannerView::gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
    platform::GestureRecognizer& recognizer, platform::GestureRecognizer&) {
  return dynamic_cast<ZUMGestureRecognizer*>(&recognizer) != nullptr;
}
