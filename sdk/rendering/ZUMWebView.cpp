#include "sdk/rendering/ZUMWebView.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/StringConversions.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMScheduler.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMWebKitWebView.h"

namespace {

constexpr const char* kRequestPollIntervalKey = "/vantor/ads/wv_request_poll_interval";

bool isMessageURL(const std::optional<platform::URL>& url) {
  if (!url || !url->scheme()) return false;
  const std::string& scheme = *url->scheme();
  static constexpr std::string_view kScheme = "tolm";
  if (scheme.size() != kScheme.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    char c = scheme[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return false;
  }
  return true;
}

// A URL's key in the pending set: its string with one trailing "/" removed.
std::optional<std::string> keyForURL(const std::optional<platform::URL>& url) {
  if (!url || url->absoluteString().empty()) return std::nullopt;
  std::string key = url->absoluteString();
  if (key.back() == '/') key.pop_back();
  return key;
}

}  // namespace

bool ZUMWebViewDelegate::webViewShouldStartLoadWithRequest(ZUMWebView&, const platform::URLRequest&,
                                                           platform::WebViewNavigationType) {
  return true;
}
void ZUMWebViewDelegate::webViewDidStartLoad(ZUMWebView&) {}
void ZUMWebViewDelegate::webViewDidFinishLoad(ZUMWebView&) {}
void ZUMWebViewDelegate::webViewDidFailLoadWithError(ZUMWebView&, const platform::ErrorPtr&) {}
void ZUMWebViewDelegate::webViewRunJavaScriptAlertPanelWithTitle(ZUMWebView&, const std::string&, const std::string&,
                                                                 std::function<void()> completionHandler) {
  if (completionHandler) completionHandler();
}

ZUMWebViewClass ZUMWebViewClassForConfiguration(const ZUMWebViewConfiguration& configuration) {
  ZUMWebViewClass webKit = &ZUMWebKitWebView::create;
  ZUMWebViewClass uiKit = &ZUMUIKitWebView::create;
  if (configuration.webViewClassKey() == "wk" && ZUMWebKitWebView::isAvailable()) return webKit;
  return uiKit;
}

ZUMWebView::ZUMWebView(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration)
    : View(frame), configuration_(configuration) {}

ZUMWebView::~ZUMWebView() {
  if (scheduler_) scheduler_->stop();
}

void ZUMWebView::finishCreation(std::shared_ptr<platform::View> engine) {
  startRequestPolling();
  setWebView(std::move(engine));
}

void ZUMWebView::startRequestPolling() {
  // The constants handler stores the interval as a string; a value of any other type is
  // not a setting of ours.
  auto value = platform::UserDefaults::standard().objectForKey(kRequestPollIntervalKey);
  if (!value || !value->is_string() || value->get_ref<const std::string&>().empty()) return;
  const double interval = platform::stringDoubleValue(value->get_ref<const std::string&>());
  if (!(interval > 0)) return;
  scheduler_ = ZUMScheduler::create(interval);
  std::weak_ptr<ZUMWebView> weakSelf = std::static_pointer_cast<ZUMWebView>(shared_from_this());
  ZUMRunOnMainThread([scheduler = scheduler_, weakSelf] {
    scheduler->taskIDScheduledOnQueue(platform::DispatchQueue::main(),
                                      ZUMBindWeak(weakSelf, &ZUMWebView::notifyDelegateIfRequestFailed));
    scheduler->start();
  });
}

void ZUMWebView::setWebView(std::shared_ptr<platform::View> engine) {
  if (webView_) webView_->removeFromSuperview();
  webView_ = std::move(engine);
  if (!webView_) return;
  webView_->setFrame(bounds());
  webView_->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  addSubview(webView_);
}

// --- Loading --------------------------------------------------------------------------

void ZUMWebView::loadHTMLString(const std::optional<std::string>& string, const std::optional<platform::URL>& baseURL) {
  willLoad();
  terminationReported_ = false;
  if (!string) return;
  if (auto key = keyForURL(baseURL)) pendingRequestURLStrings_.insert(*key);
  engineLoadHTMLString(*string, baseURL);
}

void ZUMWebView::loadRequest(const platform::URLRequest& request) {
  willLoad();
  terminationReported_ = false;
  if (auto key = keyForURL(request.url())) pendingRequestURLStrings_.insert(*key);
  engineLoadRequest(request);
}

void ZUMWebView::stopLoading() {
  currentRequestURLString_.reset();
  engineStopLoading();
}

bool ZUMWebView::shouldStartLoad(const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  auto keepAlive = shared_from_this();
  bool allowed = true;
  if (auto delegate = this->delegate()) {
    allowed = delegate->webViewShouldStartLoadWithRequest(*this, request, navigationType);
  }
  // A message is for the delegate; loading it would only replace the page with an error.
  return allowed && !isMessageURL(request.url());
}

void ZUMWebView::didMakeLoadDecision(bool allowed, const platform::URLRequest& request) {
  auto key = keyForURL(request.url());
  if (!key) return;
  // Both checks use the key: a trailing "/" must not make the facade's own load look
  // like somebody else's.
  const bool pending = pendingRequestURLStrings_.count(*key) > 0;
  if (allowed) {
    if (pending) currentRequestURLString_ = request.url()->absoluteString();
  } else if (!pending) {
    currentRequestURLString_.reset();
  }
  pendingRequestURLStrings_.erase(*key);
}

void ZUMWebView::didStartLoad() {
  auto keepAlive = shared_from_this();
  sizeReportedSinceStart_ = false;
  if (auto delegate = this->delegate()) delegate->webViewDidStartLoad(*this);
}

void ZUMWebView::didFinishLoad() {
  auto keepAlive = shared_from_this();
  lastContentSize_ = {};
  currentRequestURLString_.reset();
  if (auto delegate = this->delegate()) delegate->webViewDidFinishLoad(*this);
  // The engines report a size only when it changes: when this load brought none, look
  // once as the page settles, so every finished load reports its page's size.
  if (sizeReportedSinceStart_) return;
  std::weak_ptr<ZUMWebView> weakSelf = std::static_pointer_cast<ZUMWebView>(keepAlive);
  platform::DispatchQueue::main()->async(ZUMBindWeak(weakSelf, &ZUMWebView::engineContentSizeDidChange));
}

void ZUMWebView::didFailLoadWithError(const platform::ErrorPtr& error) {
  auto keepAlive = shared_from_this();
  currentRequestURLString_.reset();
  if (platform::isWebContentProcessTerminatedError(error)) terminationReported_ = true;
  if (auto delegate = this->delegate()) delegate->webViewDidFailLoadWithError(*this, error);
}

void ZUMWebView::didTerminateWebContentProcess(const std::string& reason) {
  if (std::exchange(terminationReported_, false)) return;
  didFailLoadWithError(platform::makeWebContentProcessTerminatedError(reason));
  terminationReported_ = false;
}

void ZUMWebView::notifyDelegateIfRequestFailed() {
  if (!webView_ || isLoading() || !currentRequestURLString_) return;
  // Forgotten before the delegate hears of it, so the failure is reported once.
  const std::string url = *std::exchange(currentRequestURLString_, std::nullopt);
  auto keepAlive = shared_from_this();
  if (auto delegate = this->delegate()) {
    delegate->webViewDidFailLoadWithError(*this,
                                          platform::makeURLError(platform::kURLErrorNotConnectedToInternet, url));
  }
}

// --- Content size ---------------------------------------------------------------------

void ZUMWebView::engineContentSizeDidChange() {
  auto scroll = scrollView();
  if (!scroll) return;
  const platform::Size size = scroll->contentSize();
  if (size == lastContentSize_) return;
  lastContentSize_ = size;
  sizeReportedSinceStart_ = true;
  auto keepAlive = shared_from_this();
  if (auto delegate = contentSizeDelegate()) delegate->webViewDidChangeScrollViewContentSize(*this, size);
  invalidateIntrinsicContentSize();
}

// --- Appearance and layout ------------------------------------------------------------

void ZUMWebView::setOpaque(bool opaque) {
  View::setOpaque(opaque);
  if (webView_) webView_->setOpaque(opaque);
}

bool ZUMWebView::isOpaque() const { return webView_ ? webView_->isOpaque() : View::isOpaque(); }

void ZUMWebView::setBackgroundColor(std::optional<platform::Color> color) {
  if (webView_) webView_->setBackgroundColor(color);
}

std::optional<platform::Color> ZUMWebView::backgroundColor() const {
  return webView_ ? webView_->backgroundColor() : std::nullopt;
}

platform::Size ZUMWebView::intrinsicContentSize() const {
  return webView_ ? webView_->intrinsicContentSize() : View::intrinsicContentSize();
}

platform::Size ZUMWebView::sizeThatFits(platform::Size size) const {
  return webView_ ? webView_->sizeThatFits(size) : View::sizeThatFits(size);
}

void ZUMWebView::layoutSubviews() {
  View::layoutSubviews();
  if (webView_) webView_->setFrame(bounds());
}
