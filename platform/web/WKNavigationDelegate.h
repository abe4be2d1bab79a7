// What the newer engine tells its navigation delegate: a policy decision for every
// navigation (main frame and frames; answered through the decision handler, at once or
// later, exactly once), then for main-frame loads the commit, the finish, or a failure
// before the commit (provisional) or after it; and the end of the page's content
// process. Every operation has a default: navigations are allowed.
//
// Called on the main thread; the decision handler must be called there too.
#pragma once

#include <functional>

#include "platform/base/Error.h"
#include "platform/web/WKNavigationAction.h"

namespace platform {

class WKWebView;

enum class WKNavigationActionPolicy : int { Cancel = 0, Allow = 1 };

class WKNavigationDelegate {
 public:
  virtual ~WKNavigationDelegate() = default;

  virtual void webViewDecidePolicyForNavigationAction(WKWebView& webView, const WKNavigationAction& navigationAction,
                                                      std::function<void(WKNavigationActionPolicy)> decisionHandler);
  virtual void webViewDidCommitNavigation(WKWebView& webView);
  virtual void webViewDidFinishNavigation(WKWebView& webView);
  virtual void webViewDidFailNavigation(WKWebView& webView, const ErrorPtr& error);
  virtual void webViewDidFailProvisionalNavigation(WKWebView& webView, const ErrorPtr& error);
  // The content process ended (it crashed or overran its time); the page is gone until
  // the next load.
  virtual void webViewWebContentProcessDidTerminate(WKWebView& webView);
};

}  // namespace platform
