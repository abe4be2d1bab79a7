// The web view layer bound to the older engine (platform::WebView): inline media and
// AirPlay on; data detectors, the user action for media and page scaling from the
// configuration. Scripts go to the page without waiting for it (no caller reads their
// result), in order; the content size follows the page once it answered. The engine's own alerts stay
// with the engine. Where the engine's page loads bypass URL interception (WebKit), each
// document gets the MRAID script that interception would have given its "mraid.js"
// loads, put in the page as the newer web view does.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/web/WebView.h"
#include "platform/web/WebViewDelegate.h"
#include "sdk/rendering/ZUMWebView.h"

class ZUMUIKitWebView : public ZUMWebView, public platform::WebViewDelegate {
 public:
  // Never nullptr: the older engine is always there.
  static std::shared_ptr<ZUMWebView> create(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration);
  // With a default configuration.
  static std::shared_ptr<ZUMWebView> create(const platform::Rect& frame = {});
  ~ZUMUIKitWebView() override;

  const std::shared_ptr<platform::WebView>& engine() const { return engine_; }

  void evaluateJavaScriptFromString(const std::string& script) override;
  void goBack() override;
  void goForward() override;
  void reload() override;
  bool canGoBack() const override;
  bool canGoForward() const override;
  bool isLoading() const override;
  bool contentSizeUpdatesSynchronously() const override { return true; }
  std::shared_ptr<platform::ScrollView> scrollView() const override;
  std::optional<platform::URL> URL() const override;
  const std::string& pageIdentifier() const override { return engine_->pageIdentifier(); }

  // The engine's delegate.
  bool webViewShouldStartLoadWithRequest(platform::WebView& webView, const platform::URLRequest& request,
                                         platform::WebViewNavigationType navigationType) override;
  void webViewDidStartLoad(platform::WebView& webView) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView, const platform::ErrorPtr& error) override;

 protected:
  ZUMUIKitWebView(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration);

  void willLoad() override;

  void engineLoadHTMLString(const std::string& string, const std::optional<platform::URL>& baseURL) override;
  void engineLoadRequest(const platform::URLRequest& request) override;
  void engineStopLoading() override;

 private:
  std::shared_ptr<platform::WebView> engine_;
};
