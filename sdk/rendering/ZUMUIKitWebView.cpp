#include "sdk/rendering/ZUMUIKitWebView.h"

#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/rendering/ZUMWebKitWebView.h"

std::shared_ptr<ZUMWebView> ZUMUIKitWebView::create(const platform::Rect& frame,
                                                    const ZUMWebViewConfiguration& configuration) {
  auto view = std::shared_ptr<ZUMUIKitWebView>(new ZUMUIKitWebView(frame, configuration));
  auto engine = platform::WebView::create({0, 0, frame.width(), frame.height()});
  engine->setDelegate(view);
  engine->setAllowsInlineMediaPlayback(true);
  engine->setMediaPlaybackAllowsAirPlay(true);
  engine->setDataDetectorTypes(configuration.dataDetectorType());
  engine->setMediaPlaybackRequiresUserAction(configuration.mediaPlaybackRequiresUserAction());
  engine->setScalesPageToFit(configuration.scalesPageToFit());
  std::weak_ptr<ZUMUIKitWebView> weakView = view;
  engine->setContentSizeObserver(ZUMBindWeak(weakView, &ZUMUIKitWebView::engineContentSizeDidChange));
  view->engine_ = engine;
  view->finishCreation(engine);
  return view;
}

std::shared_ptr<ZUMWebView> ZUMUIKitWebView::create(const platform::Rect& frame) {
  return create(frame, ZUMWebViewConfiguration());
}

ZUMUIKitWebView::ZUMUIKitWebView(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration)
    : ZUMWebView(frame, configuration) {}

ZUMUIKitWebView::~ZUMUIKitWebView() {
  if (!engine_) return;
  engine_->setContentSizeObserver(nullptr);
  engine_->setDelegate(nullptr);
}

void ZUMUIKitWebView::willLoad() {
  if (engine_->pageLoadsUseURLLoading()) return;
  std::vector<std::string> scripts;
  if (auto url = ZUMMRAIDInterceptor::sharedInstance()->MRAIDURLStringForPage(pageIdentifier())) {
    scripts.push_back(ZUMWebKitWebView::MRAIDReplacementScript(*url));
  }
  engine_->setDocumentStartScripts(std::move(scripts));
}

void ZUMUIKitWebView::engineLoadHTMLString(const std::string& string, const std::optional<platform::URL>& baseURL) {
  engine_->loadHTMLString(string, baseURL);
}
void ZUMUIKitWebView::engineLoadRequest(const platform::URLRequest& request) { engine_->loadRequest(request); }
void ZUMUIKitWebView::engineStopLoading() { engine_->stopLoading(); }

void ZUMUIKitWebView::evaluateJavaScriptFromString(const std::string& script) {
  engine_->evaluateJavaScriptWithoutWaiting(script);
}

void ZUMUIKitWebView::goBack() { engine_->goBack(); }
void ZUMUIKitWebView::goForward() { engine_->goForward(); }
void ZUMUIKitWebView::reload() { engine_->reload(); }
bool ZUMUIKitWebView::canGoBack() const { return engine_->canGoBack(); }
bool ZUMUIKitWebView::canGoForward() const { return engine_->canGoForward(); }
bool ZUMUIKitWebView::isLoading() const { return engine_->isLoading(); }
std::shared_ptr<platform::ScrollView> ZUMUIKitWebView::scrollView() const { return engine_->scrollView(); }

std::optional<platform::URL> ZUMUIKitWebView::URL() const {
  const auto& request = engine_->request();
  return request ? request->url() : std::nullopt;
}

bool ZUMUIKitWebView::webViewShouldStartLoadWithRequest(platform::WebView&, const platform::URLRequest& request,
                                                        platform::WebViewNavigationType navigationType) {
  const bool allowed = shouldStartLoad(request, navigationType);
  didMakeLoadDecision(allowed, request);
  return allowed;
}

void ZUMUIKitWebView::webViewDidStartLoad(platform::WebView&) { didStartLoad(); }

void ZUMUIKitWebView::webViewDidFinishLoad(platform::WebView&) {
  auto keepAlive = shared_from_this();
  didFinishLoad();
  invalidateIntrinsicContentSize();
}

void ZUMUIKitWebView::webViewDidFailLoadWithError(platform::WebView&, const platform::ErrorPtr& error) {
  didFailLoadWithError(error);
}
