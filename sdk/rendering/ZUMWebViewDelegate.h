// What a web view of the web view layer (ZUMWebView) tells its delegate: whether to
// start each navigation (with how it came about, numbered as the older engine numbers
// it: 0 link clicked, 1 form submitted, 2 back or forward, 3 reload, 4 form resubmitted,
// 5 other), the start, finish and failure of loads, and the page's script alerts.
//
// Every operation has a default: navigations are allowed, reports are ignored and an
// alert completes at once, so a page waiting on one never hangs.
//
// Called on the main thread.
#pragma once

#include <functional>
#include <string>

#include "platform/base/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/web/WebViewDelegate.h"

class ZUMWebView;

class ZUMWebViewDelegate {
 public:
  virtual ~ZUMWebViewDelegate() = default;

  virtual bool webViewShouldStartLoadWithRequest(ZUMWebView& webView, const platform::URLRequest& request,
                                                 platform::WebViewNavigationType navigationType);
  virtual void webViewDidStartLoad(ZUMWebView& webView);
  virtual void webViewDidFinishLoad(ZUMWebView& webView);
  virtual void webViewDidFailLoadWithError(ZUMWebView& webView, const platform::ErrorPtr& error);
  // `completionHandler` must be called once the alert is done (the page waits for it).
  virtual void webViewRunJavaScriptAlertPanelWithTitle(ZUMWebView& webView, const std::string& title,
                                                       const std::string& message,
                                                       std::function<void()> completionHandler);
};
