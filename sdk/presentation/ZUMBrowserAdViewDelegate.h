// The delegate of the in-app browser's page view: the ordinary navigation policy of web
// ad views, except that links never count as ad clicks, and the landing-page
// statistics of the ad that opened the browser ("plpnc"/"plpsnc" per link or form
// navigation over http/https, the first load start, the last load end). The browser's
// toolbar follows each load.
//
// Finds its browser through the page view's view controller. Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMAdViewDelegate.h"

class ZUMBrowserViewController;

class ZUMBrowserAdViewDelegate final : public ZUMAdViewDelegate {
 public:
  static std::shared_ptr<ZUMBrowserAdViewDelegate> create();

  bool handlesClicks() const override { return false; }
  // The page view's controller when it is a browser, else nullptr.
  static std::shared_ptr<ZUMBrowserViewController> browserControllerForAdView(const ZUMAdView& adView);

  std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                       platform::WebViewNavigationType navigationType) override;
  void adViewDidStartLoad(ZUMAdView& adView) override;
  void adViewDidFinishLoad(ZUMAdView& adView) override;
  void adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) override;

 private:
  ZUMBrowserAdViewDelegate() = default;
};
