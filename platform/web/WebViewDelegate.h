// What the older web engine (WebView) tells its delegate: whether to start each
// navigation (with how it came about), and the start, finish and failure of loads.
// Frames load too: a sub-frame navigation that is allowed reports a start and a finish
// (or a failure) of its own. Every operation has a default: loads are allowed.
//
// Called on the main thread.
#pragma once

#include "platform/base/Error.h"
#include "platform/net/URLRequest.h"

namespace platform {

class WebView;

// How a navigation came about, numbered as the older engine numbers it.
enum class WebViewNavigationType : int {
  LinkClicked = 0,
  FormSubmitted = 1,
  BackForward = 2,
  Reload = 3,
  FormResubmitted = 4,
  Other = 5,
};

class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;

  // The request's main-document URL tells a frame's navigation (it names the page)
  // from the page's own (it equals the request's URL).
  virtual bool webViewShouldStartLoadWithRequest(WebView& webView, const URLRequest& request,
                                                 WebViewNavigationType navigationType);
  virtual void webViewDidStartLoad(WebView& webView);
  virtual void webViewDidFinishLoad(WebView& webView);
  virtual void webViewDidFailLoadWithError(WebView& webView, const ErrorPtr& error);
};

}  // namespace platform
