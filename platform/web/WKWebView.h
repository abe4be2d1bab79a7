// The newer web engine: a view that shows a web page, loads HTML with a base URL or a
// URL request, and evaluates scripts asynchronously: the result (or error) reaches the
// completion handler on a later turn of the main run loop, after the page's reports of
// what the script made it do. Navigation, commit, finish and failures go to the
// navigation delegate; new windows and alerts to the UI delegate. User scripts of the
// configuration run in every document, at its start or end. The page runs in a content
// process of its own (see WebPage); when it ends, the navigation delegate hears of it.
//
// Content-size changes reach the observer on a later turn (this engine does not update
// its content size synchronously). The latest scripts evaluated through evaluateJavaScript()
// are recorded (a bounded ring), in order, so tests can check their exact text.
//
// Main thread only.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/web/WKNavigationDelegate.h"
#include "platform/web/WKUIDelegate.h"
#include "platform/web/WKWebViewConfiguration.h"
#include "platform/web/WebConsoleMessage.h"

namespace platform {

class WebPage;

class WKWebView : public View {
 public:
  // Like the platform's, the engine is an optional class found by name: the SDK asks the
  // class registry for kClassName, which is registered at start-up where the system has
  // it (registerClass(); tests register it or leave it out).
  static constexpr const char* kClassName = "WKWebView";
  // What the class registry hands out under kClassName.
  class Factory {
   public:
    std::shared_ptr<WKWebView> create(const Rect& frame,
                                      const std::shared_ptr<WKWebViewConfiguration>& configuration) const;
  };
  // Registers the class under kClassName in the shared class registry.
  static void registerClass();

  // A null configuration stands for a default one.
  static std::shared_ptr<WKWebView> create(const Rect& frame = {},
                                           const std::shared_ptr<WKWebViewConfiguration>& configuration = nullptr);
  ~WKWebView() override;

  // The web view's own copy.
  const WKWebViewConfiguration& configuration() const { return *configuration_; }

  // Both held weakly.
  std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return navigationDelegate_.lock(); }
  void setNavigationDelegate(const std::shared_ptr<WKNavigationDelegate>& delegate) { navigationDelegate_ = delegate; }
  std::shared_ptr<WKUIDelegate> UIDelegate() const { return UIDelegate_.lock(); }
  void setUIDelegate(const std::shared_ptr<WKUIDelegate>& delegate) { UIDelegate_ = delegate; }

  void loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL);
  void loadRequest(const URLRequest& request);
  void stopLoading();
  void reload();
  void goBack();
  void goForward();
  bool canGoBack() const;
  bool canGoForward() const;
  bool isLoading() const;
  // The URL of the document shown, or of the load under way.
  std::optional<platform::URL> URL() const;
  std::string title() const;

  // `result` is the script's value as JSON (null for undefined and null); `error` is set
  // when the script threw, its value cannot be represented, or the content process failed.
  using EvaluationHandler = std::function<void(const nlohmann::ordered_json& result, const ErrorPtr& error)>;
  void evaluateJavaScript(const std::string& script, EvaluationHandler completionHandler = nullptr);

  // The scroll view that fills the web view; its content size is the page's.
  const std::shared_ptr<ScrollView>& scrollView() const { return scrollView_; }

  // The page's size where it gives one, else the view's.
  Size contentSize() const;
  void setContentSizeObserver(std::function<void(Size)> observer) { contentSizeObserver_ = std::move(observer); }

  // What tests look at: the latest scripts evaluated, in order (see WebPage); the page's console.
  const std::vector<std::string>& evaluatedScripts() const { return evaluatedScripts_; }

  // The identifier its page's resource requests carry (see WebPage::identifier()).
  const std::string& pageIdentifier() const;
  const std::deque<WebConsoleMessage>& consoleMessages() const;
  // Why the page's content process last ended (see WebPage::terminationReason()); what a
  // navigation delegate told of the termination may ask it.
  const std::string& webContentProcessTerminationReason() const;

  void draw(DrawContext& context) const override;
  void layoutSubviews() override;
  // A finger lifted from the view taps the page there.
  void touchesEnded(const TouchList& touches, const Event& event) override;

 protected:
  WKWebView(const Rect& frame, std::shared_ptr<WKWebViewConfiguration> configuration);

 private:
  class PageClient;

  void scheduleContentSizeReport();

  std::shared_ptr<WKWebViewConfiguration> configuration_;
  std::weak_ptr<WKNavigationDelegate> navigationDelegate_;
  std::weak_ptr<WKUIDelegate> UIDelegate_;
  std::unique_ptr<PageClient> client_;
  std::shared_ptr<WebPage> page_;
  std::vector<std::string> evaluatedScripts_;
  std::shared_ptr<ScrollView> scrollView_;
  std::function<void(Size)> contentSizeObserver_;
  std::optional<Size> lastContentSize_;
  bool contentSizeReportPending_ = false;
};

}  // namespace platform
