#include "sdk/mediation/ZUMMAdapterHTML.h"

#include <nlohmann/json.hpp>

#include "ZUMMAdNetworkConnector.h"
#include "ZUMMAdapterClass.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/Timer.h"
#include "platform/ui/Color.h"
#include "platform/web/WebView.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"

namespace {

constexpr double kRenderCheckInterval = 0.2;
// Blank snapshots after which the adapter stops looking (about 20 s).
constexpr std::uint64_t kRenderCheckLimit = 101;

struct HTMLAdapterClass final : ZUMMAdapterClass {
  std::optional<std::string> adapterVersion() const override { return "1.1"; }
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    return ZUMMAdapterHTML::create(connector);
  }
};

// Removes one trailing "/" from a non-empty path.
std::string stripTrailingSlashFromPath(std::string path) {
  if (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::shared_ptr<ZUMMAdapterHTML> ZUMMAdapterHTML::create(const std::shared_ptr<ZUMMAdNetworkConnector>& connector) {
  return std::shared_ptr<ZUMMAdapterHTML>(new ZUMMAdapterHTML(connector));
}

ZUMMAdapterHTML::~ZUMMAdapterHTML() {
  connector_.reset();
  clearWebView();
}

void ZUMMAdapterHTML::registerClass() {
  // The class answers networkExtrasClass with none.
  ZUMMRegisterAdapterClass(kZUMMAdapterHTMLClassName, std::make_shared<HTMLAdapterClass>(),
                           {.protocols = {kZUMMAdNetworkAdapterProtocol},
                            .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation},
                            .classOperations = {kZUMMAdapterVersionOperation, kZUMMNetworkExtrasClassOperation},
                            .initialisers = {kZUMMInitWithAdNetworkConnector}});
}

void ZUMMAdapterHTML::fail(std::int64_t code, const std::string& text) {
  if (auto connector = connector_.lock()) connector->adapterDidFailAd(*this, ZUMMakeErrorWithDescription(code, text));
}

void ZUMMAdapterHTML::getBannerWithSize(const ZUMAdSize& size) {
  platform::assertMainThread();
  clearWebView();
  auto connector = connector_.lock();
  if (!connector) return;
  const nlohmann::ordered_json credentials = connector->credentials();
  const auto html = ZUMJSONStringForKey(credentials, "pvotym_html");
  if (const auto* passback = ZUMJSONValueForKey(credentials, "pvotym_passback_url"); passback && !passback->is_null()) {
    // Server text: anything but a URL string is an invalid pass-back.
    const auto text = ZUMJSONString(*passback);
    if (text && text->empty()) return fail(2, "Empty passback URL in TYM response.");
    passbackURL_ = text ? platform::URL::fromString(*text) : std::nullopt;
    if (!passbackURL_) return fail(2, "Invalid passback URL in TYM response.");
  }
  if (!html || html->empty()) return fail(2, "Missing HTML in TYM response.");
  createWebViewWithSize(size);
  webView_->loadHTMLString(*html, platform::URL::fromString(kZUMMAdapterHTMLBaseURL));
  startRenderingTimer();
}

void ZUMMAdapterHTML::getInterstitial() { fail(0, "Interstitials not supported."); }

void ZUMMAdapterHTML::presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>&) {
  fail(0, "Interstitials not supported.");
}

void ZUMMAdapterHTML::stopBeingDelegate() {
  if (webView_) webView_->setDelegate(nullptr);
  stopRenderingTimer();
}

void ZUMMAdapterHTML::clearWebView() {
  stopBeingDelegate();
  webView_.reset();
  passbackURL_.reset();
}

void ZUMMAdapterHTML::createWebViewWithSize(const ZUMAdSize& size) {
  const platform::Size concrete = ZUMCGSizeFromAdSize(size);
  webView_ = platform::WebView::create({0, 0, concrete.width, concrete.height});
  webView_->setScalesPageToFit(false);
  webView_->setClipsToBounds(true);
  webView_->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  webView_->setOpaque(false);
  webView_->setBackgroundColor(platform::Color::clear());
  webView_->setAllowsInlineMediaPlayback(true);
  webView_->setMediaPlaybackRequiresUserAction(true);
  webView_->setDataDetectorTypes(0);
  webView_->setDelegate(shared_from_this());
}

void ZUMMAdapterHTML::startRenderingTimer() {
  platform::assertMainThread();
  webViewRenderedChecker_ = std::make_shared<ZUMMWebViewRenderedChecker>(webView_, shared_from_this());
  // The timer holds the checker; the checker holds the web view and the adapter weakly.
  checkRenderingTimer_ = platform::Timer::startRepeating(
      kRenderCheckInterval,
      [checker = webViewRenderedChecker_](platform::Timer&) { checker->checkIsContentRenderedInWebView(); });
}

void ZUMMAdapterHTML::stopRenderingTimer() {
  platform::assertMainThread();
  if (webViewRenderedChecker_) {
    webViewRenderedChecker_->setWebView(nullptr);
    webViewRenderedChecker_->setDelegate(nullptr);
    webViewRenderedChecker_.reset();
  }
  if (auto timer = checkRenderingTimer_.lock()) timer->invalidate();
  checkRenderingTimer_.reset();
}

bool ZUMMAdapterHTML::isCheckingRendering() const {
  auto timer = checkRenderingTimer_.lock();
  return timer && timer->isValid();
}

void ZUMMAdapterHTML::webViewIsRendered(platform::View& webView, bool rendered) {
  if (&webView != webView_.get()) return;
  ++checkRenderingCount_;
  if (rendered) {
    stopRenderingTimer();
    if (auto connector = connector_.lock()) connector->adapterDidReceiveAdView(*this, webView_);
  } else if (checkRenderingCount_ >= kRenderCheckLimit) {
    stopRenderingTimer();
  }
}

bool ZUMMAdapterHTML::webViewShouldStartLoadWithRequest(platform::WebView& webView, const platform::URLRequest& request,
                                                        platform::WebViewNavigationType) {
  if (&webView != webView_.get() || !request.url()) return false;
  if (!isPassbackRequest(request)) return true;
  stopRenderingTimer();
  fail(1, "Ad network returned no ad.");
  return false;
}

bool ZUMMAdapterHTML::isPassbackRequest(const platform::URLRequest& request) const {
  const platform::URL& url = *request.url();
  if (url.scheme() && platform::equalsIgnoringASCIICase(*url.scheme(), "passback")) return true;
  if (!passbackURL_) return false;
  const auto host = url.host();
  const auto passbackHost = passbackURL_->host();
  if (!host || !passbackHost || !platform::equalsIgnoringASCIICase(*host, *passbackHost)) return false;
  // The paths as written: the decoded path has already lost its trailing "/", so two
  // trailing slashes would pass for one.
  return stripTrailingSlashFromPath(url.percentEncodedPath()) ==
         stripTrailingSlashFromPath(passbackURL_->percentEncodedPath());
}
