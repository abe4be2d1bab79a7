// What the newer engine asks of its UI delegate: a web view for a new window (a link
// with a target, window.open; nullptr, the default, opens nothing) and the showing of a
// script alert, whose completion handler the delegate calls when the alert is done.
//
// Called on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/web/WKFrameInfo.h"
#include "platform/web/WKNavigationAction.h"

namespace platform {

class WKWebView;
class WKWebViewConfiguration;

class WKUIDelegate {
 public:
  virtual ~WKUIDelegate() = default;

  // A web view returned here loads the navigation's request.
  virtual std::shared_ptr<WKWebView> webViewCreateWebViewWithConfiguration(WKWebView& webView,
                                                                           const WKWebViewConfiguration& configuration,
                                                                           const WKNavigationAction& navigationAction);
  // The default completes at once.
  virtual void webViewRunJavaScriptAlertPanelWithMessage(WKWebView& webView, const std::string& message,
                                                         const WKFrameInfo& frame,
                                                         std::function<void()> completionHandler);
};

}  // namespace platform
