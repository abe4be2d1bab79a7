#include "platform/web/WebView.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/Touch.h"
#include "platform/web/WebPage.h"

namespace platform {

bool WebViewDelegate::webViewShouldStartLoadWithRequest(WebView&, const URLRequest&, WebViewNavigationType) {
  return true;
}
void WebViewDelegate::webViewDidStartLoad(WebView&) {}
void WebViewDelegate::webViewDidFinishLoad(WebView&) {}
void WebViewDelegate::webViewDidFailLoadWithError(WebView&, const ErrorPtr&) {}

namespace {

WebViewNavigationType navigationType(WebPage::NavigationKind kind) {
  switch (kind) {
    case WebPage::NavigationKind::LinkClicked:
      return WebViewNavigationType::LinkClicked;
    case WebPage::NavigationKind::FormSubmitted:
      return WebViewNavigationType::FormSubmitted;
    case WebPage::NavigationKind::BackForward:
      return WebViewNavigationType::BackForward;
    case WebPage::NavigationKind::Reload:
      return WebViewNavigationType::Reload;
    case WebPage::NavigationKind::FormResubmitted:
      return WebViewNavigationType::FormResubmitted;
    case WebPage::NavigationKind::Other:
      break;
  }
  return WebViewNavigationType::Other;
}

// Neither evaluation tells its caller of a failure, so a page that is gone says so in the log.
void noteIfNotEvaluated(const WebPage::EvaluationResult& result) {
  if (isWebContentProcessTerminatedError(result.error)) {
    SystemLog::write("web", "script not evaluated: the page's content process has ended");
  }
}

}  // namespace

// Turns the page's reports into the delegate's calls. Each call keeps the web view alive
// while the delegate runs, since a delegate may let go of it.
class WebView::PageClient : public WebPage::Client {
 public:
  explicit PageClient(WebView& view) : view_(view) {}

  void pageDecidePolicy(const WebPage::Navigation& navigation, std::function<void(bool)> decide) override {
    auto self = view_.shared_from_this();
    auto delegate = view_.delegate();
    decide(!delegate ||
           delegate->webViewShouldStartLoadWithRequest(view_, navigation.request, navigationType(navigation.kind)));
  }
  void pageDidStartProvisionalLoad(const URLRequest& request) override {
    auto self = view_.shared_from_this();
    view_.request_ = request;
    if (auto delegate = view_.delegate()) delegate->webViewDidStartLoad(view_);
  }
  void pageDidFinishLoad() override {
    auto self = view_.shared_from_this();
    view_.reportContentSize();
    if (auto delegate = view_.delegate()) delegate->webViewDidFinishLoad(view_);
  }
  void pageDidFailLoad(const ErrorPtr& error, bool) override {
    auto self = view_.shared_from_this();
    terminationReported_ = isWebContentProcessTerminatedError(error);
    if (auto delegate = view_.delegate()) delegate->webViewDidFailLoadWithError(view_, error);
  }
  // This engine has no termination notice: a process that dies after its load is
  // reported as a failed load, once (a load it ends has just been failed with it).
  void pageWebContentProcessDidTerminate() override {
    auto self = view_.shared_from_this();
    if (std::exchange(terminationReported_, false)) return;
    if (auto delegate = view_.delegate()) {
      delegate->webViewDidFailLoadWithError(view_,
                                            makeWebContentProcessTerminatedError(view_.page_->terminationReason()));
    }
  }
  void pageDidLoadSubframe(const WebPage::Navigation&, const ErrorPtr& error) override {
    std::weak_ptr<View> weak = view_.weak_from_this();
    DispatchQueue::main()->async([weak, error] {
      auto self = std::static_pointer_cast<WebView>(weak.lock());
      if (!self) return;
      if (auto delegate = self->delegate()) delegate->webViewDidStartLoad(*self);
      if (auto delegate = self->delegate()) {
        if (error) {
          delegate->webViewDidFailLoadWithError(*self, error);
        } else {
          delegate->webViewDidFinishLoad(*self);
        }
      }
    });
  }
  // This engine has no windows: the page goes where the new window would have.
  void pageRequestsNewWindow(const WebPage::Navigation& navigation) override { view_.page_->followInPlace(navigation); }
  void pageContentSizeDidChange() override {
    auto self = view_.shared_from_this();
    view_.reportContentSize();
  }
  std::vector<WebPage::UserScript> pageUserScripts() override {
    std::vector<WebPage::UserScript> scripts;
    for (const auto& source : view_.documentStartScripts_) scripts.push_back({source, true});
    return scripts;
  }

 private:
  WebView& view_;
  bool terminationReported_ = false;
};

std::shared_ptr<WebView> WebView::create(const Rect& frame) {
  auto view = std::shared_ptr<WebView>(new WebView(frame));
  view->addSubview(view->scrollView_);
  return view;
}

WebView::WebView(const Rect& frame)
    : View(frame),
      client_(std::make_unique<PageClient>(*this)),
      page_(WebPage::create(client_.get())),
      scrollView_(ScrollView::create({0, 0, frame.width(), frame.height()})) {
  scrollView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
  scrollView_->setContentSize(contentSize());
  page_->setViewportSize(frame.size);
}

WebView::~WebView() { page_->detach(); }

void WebView::loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL) {
  page_->loadHTMLString(html, baseURL);
}
void WebView::loadRequest(const URLRequest& request) { page_->loadRequest(request); }
void WebView::stopLoading() { page_->stopLoading(); }
void WebView::reload() { page_->reload(); }
void WebView::goBack() { page_->goBack(); }
void WebView::goForward() { page_->goForward(); }
bool WebView::canGoBack() const { return page_->canGoBack(); }
bool WebView::canGoForward() const { return page_->canGoForward(); }
bool WebView::isLoading() const { return page_->isLoading(); }

const std::string& WebView::pageIdentifier() const { return page_->identifier(); }
bool WebView::pageLoadsUseURLLoading() const { return page_->engine() == WebEngine::Deterministic; }

std::optional<platform::URL> WebView::URL() const {
  if (request_) return request_->url();
  return std::nullopt;
}

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
  WebPage::recordEvaluatedScript(evaluatedScripts_, script);
  auto keep = page_;
  auto result = keep->evaluate(script);
  noteIfNotEvaluated(result);
  return result.error ? std::string() : std::move(result.text);
}

void WebView::evaluateJavaScriptWithoutWaiting(const std::string& script) {
  WebPage::recordEvaluatedScript(evaluatedScripts_, script);
  page_->evaluate(script, [](WebPage::EvaluationResult result) { noteIfNotEvaluated(result); });
}

Size WebView::contentSize() const { return page_->contentSize(bounds().size); }

void WebView::reportContentSize() {
  const Size size = contentSize();
  if (lastContentSize_ == size) return;
  lastContentSize_ = size;
  scrollView_->setContentSize(size);
  if (contentSizeObserver_) contentSizeObserver_(size);
}

const std::deque<WebConsoleMessage>& WebView::consoleMessages() const { return page_->consoleMessages(); }
const std::deque<std::string>& WebView::alertMessages() const { return page_->alerts(); }

void WebView::draw(DrawContext& context) const { page_->draw(context, bounds()); }

void WebView::touchesEnded(const TouchList& touches, const Event& event) {
  View::touchesEnded(touches, event);
  if (touches.size() == 1 && touches.front()) page_->tap(touches.front()->locationInView(this));
}

void WebView::layoutSubviews() {
  View::layoutSubviews();
  page_->setViewportSize(bounds().size);
  reportContentSize();
}

}  // namespace platform
