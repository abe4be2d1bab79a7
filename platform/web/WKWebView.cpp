#include "platform/web/WKWebView.h"

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "platform/ui/Touch.h"
#include "platform/web/WebPage.h"

namespace platform {

void WKNavigationDelegate::webViewDecidePolicyForNavigationAction(
    WKWebView&, const WKNavigationAction&, std::function<void(WKNavigationActionPolicy)> decisionHandler) {
  decisionHandler(WKNavigationActionPolicy::Allow);
}
void WKNavigationDelegate::webViewDidCommitNavigation(WKWebView&) {}
void WKNavigationDelegate::webViewDidFinishNavigation(WKWebView&) {}
void WKNavigationDelegate::webViewDidFailNavigation(WKWebView&, const ErrorPtr&) {}
void WKNavigationDelegate::webViewDidFailProvisionalNavigation(WKWebView&, const ErrorPtr&) {}
void WKNavigationDelegate::webViewWebContentProcessDidTerminate(WKWebView&) {}

std::shared_ptr<WKWebView> WKUIDelegate::webViewCreateWebViewWithConfiguration(WKWebView&,
                                                                               const WKWebViewConfiguration&,
                                                                               const WKNavigationAction&) {
  return nullptr;
}
void WKUIDelegate::webViewRunJavaScriptAlertPanelWithMessage(WKWebView&, const std::string&, const WKFrameInfo&,
                                                             std::function<void()> completionHandler) {
  if (completionHandler) completionHandler();
}

namespace {

WKNavigationType navigationType(WebPage::NavigationKind kind) {
  switch (kind) {
    case WebPage::NavigationKind::LinkClicked:
      return WKNavigationType::LinkActivated;
    case WebPage::NavigationKind::FormSubmitted:
      return WKNavigationType::FormSubmitted;
    case WebPage::NavigationKind::BackForward:
      return WKNavigationType::BackForward;
    case WebPage::NavigationKind::Reload:
      return WKNavigationType::Reload;
    case WebPage::NavigationKind::FormResubmitted:
      return WKNavigationType::FormResubmitted;
    case WebPage::NavigationKind::Other:
      break;
  }
  return WKNavigationType::Other;
}

}  // namespace

// Turns the page's reports into the delegates' calls, keeping the web view alive while a
// delegate runs.
class WKWebView::PageClient : public WebPage::Client {
 public:
  explicit PageClient(WKWebView& view) : view_(view) {}

  WKFrameInfo mainFrame() const {
    WKFrameInfo frame;
    frame.isMainFrame = true;
    if (auto url = view_.page_->URL()) frame.request = URLRequest(*url);
    return frame;
  }

  WKNavigationAction action(const WebPage::Navigation& navigation) const {
    WKNavigationAction action;
    action.request = navigation.request;
    action.navigationType = navigationType(navigation.kind);
    action.sourceFrame = mainFrame();
    if (!navigation.newWindow) action.targetFrame = WKFrameInfo{navigation.mainFrame, navigation.request};
    return action;
  }

  void pageDecidePolicy(const WebPage::Navigation& navigation, std::function<void(bool)> decide) override {
    auto self = view_.shared_from_this();
    auto delegate = view_.navigationDelegate();
    if (!delegate) {
      decide(true);
      return;
    }
    delegate->webViewDecidePolicyForNavigationAction(
        view_, action(navigation),
        [decide](WKNavigationActionPolicy policy) { decide(policy == WKNavigationActionPolicy::Allow); });
  }
  void pageDidCommitLoad() override {
    auto self = view_.shared_from_this();
    if (auto delegate = view_.navigationDelegate()) delegate->webViewDidCommitNavigation(view_);
  }
  void pageDidFinishLoad() override {
    auto self = view_.shared_from_this();
    view_.scheduleContentSizeReport();
    if (auto delegate = view_.navigationDelegate()) delegate->webViewDidFinishNavigation(view_);
  }
  void pageDidFailLoad(const ErrorPtr& error, bool provisional) override {
    auto self = view_.shared_from_this();
    auto delegate = view_.navigationDelegate();
    if (!delegate) return;
    if (provisional) {
      delegate->webViewDidFailProvisionalNavigation(view_, error);
    } else {
      delegate->webViewDidFailNavigation(view_, error);
    }
  }
  void pageRequestsNewWindow(const WebPage::Navigation& navigation) override {
    auto self = view_.shared_from_this();
    auto delegate = view_.UIDelegate();
    if (!delegate) return;
    auto created = delegate->webViewCreateWebViewWithConfiguration(view_, *view_.configuration_, action(navigation));
    if (created) created->loadRequest(navigation.request);
  }
  void pageDidAlert(const std::string& message) override {
    auto self = view_.shared_from_this();
    if (auto delegate = view_.UIDelegate()) {
      delegate->webViewRunJavaScriptAlertPanelWithMessage(view_, message, mainFrame(), [] {});
    }
  }
  void pageContentSizeDidChange() override { view_.scheduleContentSizeReport(); }
  void pageWebContentProcessDidTerminate() override {
    auto self = view_.shared_from_this();
    if (auto delegate = view_.navigationDelegate()) delegate->webViewWebContentProcessDidTerminate(view_);
  }
  std::vector<WebPage::UserScript> pageUserScripts() override {
    std::vector<WebPage::UserScript> scripts;
    if (const auto& controller = view_.configuration_->userContentController()) {
      for (const auto& script : controller->userScripts()) {
        scripts.push_back({script->source(), script->injectionTime() == WKUserScriptInjectionTime::AtDocumentStart});
      }
    }
    return scripts;
  }

 private:
  WKWebView& view_;
};

std::shared_ptr<WKWebView> WKWebView::Factory::create(
    const Rect& frame, const std::shared_ptr<WKWebViewConfiguration>& configuration) const {
  return WKWebView::create(frame, configuration);
}

void WKWebView::registerClass() {
  ClassRegistry::shared().registerClass<Factory>(kClassName, [] { return std::make_shared<Factory>(); });
}

std::shared_ptr<WKWebView> WKWebView::create(const Rect& frame,
                                             const std::shared_ptr<WKWebViewConfiguration>& configuration) {
  auto copy =
      configuration ? std::make_shared<WKWebViewConfiguration>(*configuration) : WKWebViewConfiguration::create();
  auto view = std::shared_ptr<WKWebView>(new WKWebView(frame, std::move(copy)));
  view->addSubview(view->scrollView_);
  return view;
}

WKWebView::WKWebView(const Rect& frame, std::shared_ptr<WKWebViewConfiguration> configuration)
    : View(frame),
      configuration_(std::move(configuration)),
      client_(std::make_unique<PageClient>(*this)),
      page_(WebPage::create(client_.get())),
      scrollView_(ScrollView::create({0, 0, frame.width(), frame.height()})) {
  scrollView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
  scrollView_->setContentSize(contentSize());
  page_->setViewportSize(frame.size);
}

WKWebView::~WKWebView() { page_->detach(); }

void WKWebView::loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL) {
  page_->loadHTMLString(html, baseURL);
}
void WKWebView::loadRequest(const URLRequest& request) { page_->loadRequest(request); }
void WKWebView::stopLoading() { page_->stopLoading(); }
void WKWebView::reload() { page_->reload(); }
void WKWebView::goBack() { page_->goBack(); }
void WKWebView::goForward() { page_->goForward(); }
bool WKWebView::canGoBack() const { return page_->canGoBack(); }
bool WKWebView::canGoForward() const { return page_->canGoForward(); }
bool WKWebView::isLoading() const { return page_->isLoading(); }
std::optional<platform::URL> WKWebView::URL() const { return page_->URL(); }

const std::string& WKWebView::pageIdentifier() const { return page_->identifier(); }
const std::string& WKWebView::webContentProcessTerminationReason() const { return page_->terminationReason(); }
std::string WKWebView::title() const { return page_->title(); }

void WKWebView::evaluateJavaScript(const std::string& script, EvaluationHandler completionHandler) {
  WebPage::recordEvaluatedScript(evaluatedScripts_, script);
  if (page_->engine() == WebEngine::WebKit) {
    // The real engine answers on a later turn by itself.
    page_->evaluate(script, [completionHandler = std::move(completionHandler)](WebPage::EvaluationResult result) {
      if (completionHandler) completionHandler(result.result, result.error);
    });
    return;
  }
  std::weak_ptr<View> weak = weak_from_this();
  DispatchQueue::main()->async([weak, script, completionHandler = std::move(completionHandler)] {
    auto self = std::static_pointer_cast<WKWebView>(weak.lock());
    if (!self) {
      if (completionHandler) completionHandler(nullptr, Error::create(kWebContentErrorDomain, kWebContentErrorUnknown));
      return;
    }
    auto page = self->page_;
    page->evaluate(script, [completionHandler](WebPage::EvaluationResult result) {
      if (completionHandler) completionHandler(result.result, result.error);
    });
  });
}

Size WKWebView::contentSize() const { return page_->contentSize(bounds().size); }

void WKWebView::scheduleContentSizeReport() {
  if (contentSizeReportPending_) return;
  contentSizeReportPending_ = true;
  std::weak_ptr<View> weak = weak_from_this();
  DispatchQueue::main()->async([weak] {
    auto self = std::static_pointer_cast<WKWebView>(weak.lock());
    if (!self) return;
    self->contentSizeReportPending_ = false;
    const Size size = self->contentSize();
    if (self->lastContentSize_ == size) return;
    self->lastContentSize_ = size;
    self->scrollView_->setContentSize(size);
    if (self->contentSizeObserver_) self->contentSizeObserver_(size);
  });
}

const std::deque<WebConsoleMessage>& WKWebView::consoleMessages() const { return page_->consoleMessages(); }

void WKWebView::draw(DrawContext& context) const { page_->draw(context, bounds()); }

void WKWebView::touchesEnded(const TouchList& touches, const Event& event) {
  View::touchesEnded(touches, event);
  if (touches.size() == 1 && touches.front()) page_->tap(touches.front()->locationInView(this));
}

void WKWebView::layoutSubviews() {
  View::layoutSubviews();
  page_->setViewportSize(bounds().size);
  scheduleContentSizeReport();
}

}  // namespace platform
