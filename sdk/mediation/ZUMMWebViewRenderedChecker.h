// Decides from a snapshot whether a web view shows anything but its background: the
// HTML adapter's check, run by its repeating timer until the creative draws. Holds the
// web view and its delegate weakly, so a check that fires after either went away does
// nothing. Main thread only (it renders the view).
#pragma once

#include <memory>

namespace platform {
class View;
}

class ZUMMWebViewRenderedCheckerDelegate {
 public:
  virtual ~ZUMMWebViewRenderedCheckerDelegate() = default;
  virtual void webViewIsRendered(platform::View& webView, bool rendered) = 0;
};

class ZUMMWebViewRenderedChecker {
 public:
  ZUMMWebViewRenderedChecker(const std::shared_ptr<platform::View>& webView,
                             const std::shared_ptr<ZUMMWebViewRenderedCheckerDelegate>& delegate)
      : webView_(webView), delegate_(delegate) {}

  // Snapshots the web view and tells the delegate whether under 0.9 of the pixels are of
  // the web view's background colour; an empty snapshot is not rendered.
  void checkIsContentRenderedInWebView();

  void setWebView(const std::shared_ptr<platform::View>& webView) { webView_ = webView; }
  void setDelegate(const std::shared_ptr<ZUMMWebViewRenderedCheckerDelegate>& delegate) { delegate_ = delegate; }

 private:
  std::weak_ptr<platform::View> webView_;
  std::weak_ptr<ZUMMWebViewRenderedCheckerDelegate> delegate_;
};
