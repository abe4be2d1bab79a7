// The web view layer bound to the newer engine (platform::WKWebView), which the platform
// offers as an optional class found by name ("WKWebView" in the class registry). All
// these web views share one process pool; each gets a user content controller of its
// own, to which two user scripts are added, at most once each, before its loads: the
// MRAID replacement (once the MRAID delegate gives a script URL) and the viewport (unless
// the page is scaled to fit). Scripts run asynchronously, without completion; the
// content size follows the page on a later turn.
//
// When the user default "/vantor/ads/wk_initialization_load" is true, a new engine loads
// an empty page at kZUMWebKitWarmUpURL; navigations there are cancelled without asking
// the delegate.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/web/WKNavigationDelegate.h"
#include "platform/web/WKUIDelegate.h"
#include "platform/web/WKWebView.h"
#include "sdk/rendering/ZUMWebKitWebViewMRAIDDelegate.h"
#include "sdk/rendering/ZUMWebView.h"

inline constexpr const char* kZUMWebKitWarmUpURL = "file://zum_wk_initialization_url/";
// What the MRAID replacement script's text says where the MRAID script URL goes.
inline constexpr const char* kZUMMRAIDURLPlaceholder = "@MRAID_URL@";

class ZUMWebKitWebView : public ZUMWebView, public platform::WKNavigationDelegate, public platform::WKUIDelegate {
 public:
  // Whether the platform has the newer engine (its class is registered by name). The
  // registry is asked at each call.
  static bool isAvailable();
  // nullptr when the newer engine is not available.
  static std::shared_ptr<ZUMWebView> create(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration);
  // With a default configuration.
  static std::shared_ptr<ZUMWebView> create(const platform::Rect& frame = {});
  ~ZUMWebKitWebView() override;

  // The newer engine's navigation types mapped onto the older engine's numbering: other
  // (-1) and any unknown value to 5, the rest to their own numbers.
  static platform::WebViewNavigationType navigationTypeForWKNavigationType(platform::WKNavigationType type);
  // The MRAID replacement script with the URL in place of kZUMMRAIDURLPlaceholder, as a
  // script string's content (so the URL cannot end the string).
  static std::string MRAIDReplacementScript(const std::string& MRAIDURLString);
  // The viewport script used unless the user default "/vantor/ads/wv_viewport_script"
  // is a non-empty string.
  static const std::string& defaultViewportScript();

  // Held weakly.
  std::shared_ptr<ZUMWebKitWebViewMRAIDDelegate> MRAIDDelegate() const { return MRAIDDelegate_.lock(); }
  void setMRAIDDelegate(const std::shared_ptr<ZUMWebKitWebViewMRAIDDelegate>& delegate) { MRAIDDelegate_ = delegate; }
  bool isMRAIDLoaded() const { return MRAIDLoaded_; }
  bool isViewportLoaded() const { return viewportLoaded_; }
  bool scalesPageToFit() const { return scalesPageToFit_; }

  const std::shared_ptr<platform::WKWebView>& engine() const { return engine_; }

  void evaluateJavaScriptFromString(const std::string& script) override;
  void goBack() override;
  void goForward() override;
  void reload() override;
  bool canGoBack() const override;
  bool canGoForward() const override;
  bool isLoading() const override;
  bool contentSizeUpdatesSynchronously() const override { return false; }
  std::shared_ptr<platform::ScrollView> scrollView() const override;
  std::optional<platform::URL> URL() const override;
  const std::string& pageIdentifier() const override { return engine_->pageIdentifier(); }

  // The engine's delegates.
  void webViewDecidePolicyForNavigationAction(
      platform::WKWebView& webView, const platform::WKNavigationAction& navigationAction,
      std::function<void(platform::WKNavigationActionPolicy)> decisionHandler) override;
  void webViewDidCommitNavigation(platform::WKWebView& webView) override;
  void webViewDidFinishNavigation(platform::WKWebView& webView) override;
  void webViewDidFailNavigation(platform::WKWebView& webView, const platform::ErrorPtr& error) override;
  void webViewDidFailProvisionalNavigation(platform::WKWebView& webView, const platform::ErrorPtr& error) override;
  void webViewWebContentProcessDidTerminate(platform::WKWebView& webView) override;
  // Shown to the delegate as a navigation question; nothing opens, whatever it answers.
  std::shared_ptr<platform::WKWebView> webViewCreateWebViewWithConfiguration(
      platform::WKWebView& webView, const platform::WKWebViewConfiguration& configuration,
      const platform::WKNavigationAction& navigationAction) override;
  // The delegate gets the alert with the host of the alerting frame as its title.
  void webViewRunJavaScriptAlertPanelWithMessage(platform::WKWebView& webView, const std::string& message,
                                                 const platform::WKFrameInfo& frame,
                                                 std::function<void()> completionHandler) override;

 protected:
  ZUMWebKitWebView(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration);

  void willLoad() override;
  void engineLoadHTMLString(const std::string& string, const std::optional<platform::URL>& baseURL) override;
  void engineLoadRequest(const platform::URLRequest& request) override;
  void engineStopLoading() override;

 private:
  std::shared_ptr<platform::WKWebView> engine_;
  std::shared_ptr<platform::WKUserContentController> userContentController_;
  std::weak_ptr<ZUMWebKitWebViewMRAIDDelegate> MRAIDDelegate_;
  bool MRAIDLoaded_ = false;
  bool viewportLoaded_ = false;
  const bool scalesPageToFit_;
};
