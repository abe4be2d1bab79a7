// The built-in adapter that shows a network entry's ready ad-exchange HTML as a banner:
// the entry's credentials carry the HTML ("pvotym_html") and may carry a pass-back URL
// ("pvotym_passback_url"). The adapter loads the HTML into a web view of the older
// engine, snapshots it every 0.2 s until something but its background shows (then the
// web view is the ad), and takes a navigation to the pass-back URL, or to any
// "passback:" URL, as "no ad". After 101 blank snapshots it stops and says nothing: the
// waterfall's time-out ends the attempt. Banners only.
//
// Failures reach the connector once as errors of the "com.vantor.ads" domain.
//
// Held by its connector (held back weakly); owns its web view and the checker, whose
// timer the run loop owns. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ZUMMAdNetworkAdapter.h"
#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/web/WebViewDelegate.h"
#include "sdk/mediation/ZUMMWebViewRenderedChecker.h"

class ZUMMAdNetworkConnector;

namespace platform {
class Timer;
class WebView;
}  // namespace platform

inline constexpr const char* kZUMMAdapterHTMLClassName = "ZUMMAdapterHTML";
// The ad exchange's origin that the HTML is shown at.
inline constexpr const char* kZUMMAdapterHTMLBaseURL = "https://exchange.vantor-ads.example/";

class ZUMMAdapterHTML final : public ZUMMAdNetworkAdapter,
                              public ZUMMWebViewRenderedCheckerDelegate,
                              public platform::WebViewDelegate,
                              public std::enable_shared_from_this<ZUMMAdapterHTML> {
 public:
  static std::shared_ptr<ZUMMAdapterHTML> create(const std::shared_ptr<ZUMMAdNetworkConnector>& connector);
  ~ZUMMAdapterHTML() override;

  // Registers the adapter class under kZUMMAdapterHTMLClassName.
  static void registerClass();

  // --- ZUMMAdNetworkAdapter -------------------------------------------------------------
  void getBannerWithSize(const ZUMAdSize& size) override;
  // Both fail with code 0: interstitials are not served.
  void getInterstitial() override;
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>& controller) override;
  // Stops the snapshots and no longer hears the web view.
  void stopBeingDelegate() override;
  bool isBannerAnimationOK(std::int64_t /*animationType*/) override { return true; }

  // --- The checker and the web view -----------------------------------------------------
  void webViewIsRendered(platform::View& webView, bool rendered) override;
  bool webViewShouldStartLoadWithRequest(platform::WebView& webView, const platform::URLRequest& request,
                                         platform::WebViewNavigationType navigationType) override;

  // What tests look at.
  const std::shared_ptr<platform::WebView>& webView() const { return webView_; }
  std::uint64_t checkRenderingCount() const { return checkRenderingCount_; }
  bool isCheckingRendering() const;

 private:
  explicit ZUMMAdapterHTML(const std::shared_ptr<ZUMMAdNetworkConnector>& connector) : connector_(connector) {}

  void fail(std::int64_t code, const std::string& text);
  void clearWebView();
  void createWebViewWithSize(const ZUMAdSize& size);
  void startRenderingTimer();
  void stopRenderingTimer();
  bool isPassbackRequest(const platform::URLRequest& request) const;

  std::weak_ptr<ZUMMAdNetworkConnector> connector_;
  std::uint64_t checkRenderingCount_ = 0;  // over the adapter's life, never reset
  std::weak_ptr<platform::Timer> checkRenderingTimer_;
  std::shared_ptr<ZUMMWebViewRenderedChecker> webViewRenderedChecker_;
  std::shared_ptr<platform::WebView> webView_;
  std::optional<platform::URL> passbackURL_;
};
