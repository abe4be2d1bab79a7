// Asked by a newer-engine web view (ZUMWebKitWebView) before its loads for the URL of
// the MRAID script that pages asking for "mraid.js" should get instead. std::nullopt or
// an empty string: none yet (asked again before the next load). Called on the main
// thread.
#pragma once

#include <optional>
#include <string>

class ZUMWebView;

class ZUMWebKitWebViewMRAIDDelegate {
 public:
  virtual ~ZUMWebKitWebViewMRAIDDelegate() = default;
  virtual std::optional<std::string> MRAIDJavaScriptURLStringForWebView(ZUMWebView& webView) = 0;
};
