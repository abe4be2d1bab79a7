#include "sdk/rendering/ZUMAdNetworkJavaScriptAdViewDelegate.h"

#include <string>

#include "platform/base/ASCIIString.h"
#include "platform/base/Timer.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMViewContentRendered.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr double kRenderCheckInterval = 0.2;
constexpr std::uint64_t kRenderCheckLimit = 101;

std::string withoutTrailingSlash(std::string path) {
  if (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::shared_ptr<ZUMAdNetworkJavaScriptAdViewDelegate> ZUMAdNetworkJavaScriptAdViewDelegate::create(
    const std::shared_ptr<ZUMSlot>& slot, std::optional<platform::URL> passbackURL) {
  std::shared_ptr<ZUMAdNetworkJavaScriptAdViewDelegate> delegate(
      new ZUMAdNetworkJavaScriptAdViewDelegate(slot, std::move(passbackURL)));
  delegate->setUpForSlot(slot);
  return delegate;
}

ZUMAdNetworkJavaScriptAdViewDelegate::ZUMAdNetworkJavaScriptAdViewDelegate(const std::shared_ptr<ZUMSlot>& slot,
                                                                           std::optional<platform::URL> passbackURL)
    : ZUMBannerAdViewDelegate(slot), passbackURL_(std::move(passbackURL)) {}

ZUMAdNetworkJavaScriptAdViewDelegate::~ZUMAdNetworkJavaScriptAdViewDelegate() { stopRenderingTimer(); }

bool ZUMAdNetworkJavaScriptAdViewDelegate::isPassbackRequest(const platform::URLRequest& request) const {
  const auto& url = request.url();
  if (!url) return false;
  if (url->scheme() && platform::equalsIgnoringASCIICase(*url->scheme(), "passback")) return true;
  if (!passbackURL_) return false;
  const auto passbackHost = passbackURL_->host();
  const auto host = url->host();
  if (!passbackHost || !host || !platform::equalsIgnoringASCIICase(*passbackHost, *host)) return false;
  return withoutTrailingSlash(passbackURL_->path().value_or("")) == withoutTrailingSlash(url->path().value_or(""));
}

std::optional<bool> ZUMAdNetworkJavaScriptAdViewDelegate::adViewShouldStartLoadWithRequest(
    ZUMAdView& adView, const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  if (!request.url()) return false;
  if (isPassbackRequest(request)) {
    wasPassbackReceived_ = true;
    stopRenderingTimer();
    auto slot = this->slot();
    // An ad already shown, or a load already over, is not failed again.
    if (slot && slot->isMakingRequest()) {
      auto keepAlive = slot;
      slot->didFailToReceiveAdWithError(ZUMMakeErrorWithDescription(kZUMErrorNoFill, "Passback URL received."), true);
      slot->scheduleAdReloadTimer();
    }
    return false;
  }
  return ZUMBannerAdViewDelegate::adViewShouldStartLoadWithRequest(adView, request, navigationType);
}

void ZUMAdNetworkJavaScriptAdViewDelegate::adViewDidFinishLoad(ZUMAdView& adView) {
  if (renderingCheckHasStarted_ || wasPassbackReceived_) return;
  renderingCheckHasStarted_ = true;
  if (auto slot = this->slot()) slot->willLoadAdHTMLInWebView();
  startRenderingTimerForAdView(std::static_pointer_cast<ZUMAdView>(adView.shared_from_this()));
}

void ZUMAdNetworkJavaScriptAdViewDelegate::startRenderingTimerForAdView(const std::shared_ptr<ZUMAdView>& adView) {
  stopRenderingTimer();
  adView_ = adView;
  std::weak_ptr<ZUMAdNetworkJavaScriptAdViewDelegate> weak =
      std::static_pointer_cast<ZUMAdNetworkJavaScriptAdViewDelegate>(shared_from_this());
  checkRenderingTimer_ = platform::Timer::startRepeating(kRenderCheckInterval, [weak](platform::Timer& timer) {
    auto self = weak.lock();
    if (!self) {
      timer.invalidate();
      return;
    }
    self->checkIsContentRenderedInAdView();
  });
}

void ZUMAdNetworkJavaScriptAdViewDelegate::stopRenderingTimer() {
  if (auto timer = checkRenderingTimer_.lock()) timer->invalidate();
  checkRenderingTimer_.reset();
}

void ZUMAdNetworkJavaScriptAdViewDelegate::checkIsContentRenderedInAdView() {
  if (ZUMIsViewContentRendered(adView_.lock())) {
    adViewDidRenderContent();
  } else {
    adViewDidNotRenderContent();
  }
}

void ZUMAdNetworkJavaScriptAdViewDelegate::adViewDidRenderContent() {
  stopRenderingTimer();
  if (auto adView = adView_.lock()) ZUMBannerAdViewDelegate::adViewDidFinishLoad(*adView);
}

void ZUMAdNetworkJavaScriptAdViewDelegate::adViewDidNotRenderContent() {
  ++checkRenderingCount_;
  if (checkRenderingCount_ < kRenderCheckLimit) return;
  stopRenderingTimer();
  if (auto adView = adView_.lock()) adViewDidFailLoadWithError(*adView, nullptr);
}
