// Told when the content size of a web view's page changes (ZUMWebView reports each
// size once, and the first one after every finished load). Called on the main thread.
#pragma once

#include "platform/ui/Geometry.h"

class ZUMWebView;

class ZUMWebViewContentSizeDelegate {
 public:
  virtual ~ZUMWebViewContentSizeDelegate() = default;
  virtual void webViewDidChangeScrollViewContentSize(ZUMWebView& webView, platform::Size size) = 0;
};
