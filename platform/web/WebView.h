// The older web engine: a view that shows a web page, loads HTML with a base URL or a
// URL request, evaluates scripts synchronously (one round trip to its content process,
// bounded in time; the result comes back as a string) or sends them without waiting,
// and asks its delegate about every navigation. The page runs in a content process of
// its own (see WebPage).
//
// Script alerts are shown by the engine itself (kept in alertMessages()); nothing asks
// the delegate. The latest scripts evaluated through either evaluation are recorded (a
// bounded ring), in order, so tests can check their exact text.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/URLRequest.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/web/WebConsoleMessage.h"
#include "platform/web/WebViewDelegate.h"

namespace platform {

class WebPage;

class WebView : public View {
 public:
  static std::shared_ptr<WebView> create(const Rect& frame = {});
  ~WebView() override;

  // Held weakly.
  std::shared_ptr<WebViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<WebViewDelegate>& delegate) { delegate_ = delegate; }

  // The delegate is asked about the base URL ("about:blank" without one) on a later
  // turn; when it allows, the string is shown as the document at that URL.
  void loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL);
  void loadRequest(const URLRequest& request);
  void stopLoading();
  void reload();
  void goBack();
  void goForward();
  bool canGoBack() const;
  bool canGoForward() const;
  bool isLoading() const;

  // The request of the current (or starting) main-frame load.
  const std::optional<URLRequest>& request() const { return request_; }
  std::optional<platform::URL> URL() const;

  // Runs the script in the page and returns its value as a string: "" for undefined
  // and null, and when the script throws or the content process fails. A content process
  // that ends after its load is reported to the delegate as a failed load (this engine
  // has no termination notice); evaluations after that write a log line and return "".
  std::string stringByEvaluatingJavaScriptFromString(const std::string& script);
  // Sends the script to the page without waiting for it: for a caller that does not read
  // its value. Scripts run in the order they were sent, before any later synchronous
  // evaluation; a page that keeps its process busy delays its own scripts, not the caller.
  void evaluateJavaScriptWithoutWaiting(const std::string& script);

  // The scroll view that fills the web view; its content size is the page's.
  const std::shared_ptr<ScrollView>& scrollView() const { return scrollView_; }

  // The page's size where it gives one, else the view's; reported to the observer
  // when it changes.
  Size contentSize() const;
  void setContentSizeObserver(std::function<void(Size)> observer) { contentSizeObserver_ = std::move(observer); }

  // Settings kept for the page (the engine shows no media).
  bool scalesPageToFit() const { return scalesPageToFit_; }
  void setScalesPageToFit(bool value) { scalesPageToFit_ = value; }
  bool allowsInlineMediaPlayback() const { return allowsInlineMediaPlayback_; }
  void setAllowsInlineMediaPlayback(bool value) { allowsInlineMediaPlayback_ = value; }
  bool mediaPlaybackRequiresUserAction() const { return mediaPlaybackRequiresUserAction_; }
  void setMediaPlaybackRequiresUserAction(bool value) { mediaPlaybackRequiresUserAction_ = value; }
  bool mediaPlaybackAllowsAirPlay() const { return mediaPlaybackAllowsAirPlay_; }
  void setMediaPlaybackAllowsAirPlay(bool value) { mediaPlaybackAllowsAirPlay_ = value; }
  std::uint64_t dataDetectorTypes() const { return dataDetectorTypes_; }
  void setDataDetectorTypes(std::uint64_t types) { dataDetectorTypes_ = types; }

  // What tests look at: the latest scripts evaluated, in order (see WebPage); the page's console and alerts.
  const std::vector<std::string>& evaluatedScripts() const { return evaluatedScripts_; }

  // The identifier its page's resource requests carry (see WebPage::identifier()).
  const std::string& pageIdentifier() const;
  // Whether the page's own loads (its scripts, frames) go through the platform's URL
  // loading, so that URL protocols see them: not on WebKit (see WebKitPage).
  bool pageLoadsUseURLLoading() const;
  // Scripts run at the start of each main-frame document from the next navigation on:
  // what a host puts in the page where URL protocols cannot reach its loads.
  void setDocumentStartScripts(std::vector<std::string> scripts) { documentStartScripts_ = std::move(scripts); }
  const std::deque<WebConsoleMessage>& consoleMessages() const;
  const std::deque<std::string>& alertMessages() const;

  void draw(DrawContext& context) const override;
  void layoutSubviews() override;
  // A finger lifted from the view taps the page there.
  void touchesEnded(const TouchList& touches, const Event& event) override;

 protected:
  explicit WebView(const Rect& frame);

 private:
  class PageClient;

  void reportContentSize();

  std::weak_ptr<WebViewDelegate> delegate_;
  std::unique_ptr<PageClient> client_;
  std::shared_ptr<WebPage> page_;
  std::optional<URLRequest> request_;
  std::vector<std::string> documentStartScripts_;
  std::vector<std::string> evaluatedScripts_;
  std::shared_ptr<ScrollView> scrollView_;
  std::function<void(Size)> contentSizeObserver_;
  std::optional<Size> lastContentSize_;
  bool scalesPageToFit_ = false;
  bool allowsInlineMediaPlayback_ = false;
  bool mediaPlaybackRequiresUserAction_ = true;
  bool mediaPlaybackAllowsAirPlay_ = true;
  std::uint64_t dataDetectorTypes_ = 0;
};

}  // namespace platform
