// The web view layer's one view over the two web engines: it loads HTML or requests,
// evaluates scripts (no result comes back), asks one delegate about every navigation
// and tells it of load progress, tells another of content-size changes, and can poll
// for loads that stalled. Two subclasses bind it to an engine: ZUMUIKitWebView (the
// older engine, platform::WebView) and ZUMWebKitWebView (the newer, platform::WKWebView);
// ZUMWebViewClassForConfiguration picks one.
//
// Bookkeeping of its own loads: each load the facade starts is pending until the engine
// decides its navigation; an accepted one is the current request until it finishes or
// fails. When the user default "/vantor/ads/wv_request_poll_interval" is a string
// holding a number above 0, a poll at that interval fails a current request that the
// engine no longer loads (code -1009 of the URL-loading errors), once.
//
// Navigations to message URLs ("tolm" in any case) reach the delegate and are never
// loaded, whatever it answers. Content sizes are reported when they change, and once
// after every finished load (even when equal to the last).
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/web/WebViewDelegate.h"
#include "sdk/rendering/ZUMWebViewConfiguration.h"
#include "sdk/rendering/ZUMWebViewContentSizeDelegate.h"
#include "sdk/rendering/ZUMWebViewDelegate.h"

class ZUMScheduler;
class ZUMWebView;

// A class of the web view layer: the creation function of one subclass. It gives
// nullptr when the subclass's engine is not available.
using ZUMWebViewClass = std::shared_ptr<ZUMWebView> (*)(const platform::Rect& frame,
                                                        const ZUMWebViewConfiguration& configuration);

// ZUMWebKitWebView when the configuration's class key is "wk" and the newer engine is
// available; ZUMUIKitWebView otherwise (also for any unknown key).
ZUMWebViewClass ZUMWebViewClassForConfiguration(const ZUMWebViewConfiguration& configuration);

class ZUMWebView : public platform::View {
 public:
  ~ZUMWebView() override;

  // Both held weakly.
  std::shared_ptr<ZUMWebViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMWebViewDelegate>& delegate) { delegate_ = delegate; }
  std::shared_ptr<ZUMWebViewContentSizeDelegate> contentSizeDelegate() const { return contentSizeDelegate_.lock(); }
  void setContentSizeDelegate(const std::shared_ptr<ZUMWebViewContentSizeDelegate>& delegate) {
    contentSizeDelegate_ = delegate;
  }

  // The engine's own view, filling the facade.
  const std::shared_ptr<platform::View>& webView() const { return webView_; }

  // Nothing is loaded for an absent string; the base URL (when there is one) is pending.
  void loadHTMLString(const std::optional<std::string>& string, const std::optional<platform::URL>& baseURL);
  void loadRequest(const platform::URLRequest& request);
  // Forgets the current request, then stops the engine.
  void stopLoading();
  virtual void evaluateJavaScriptFromString(const std::string& script) = 0;

  virtual void goBack() = 0;
  virtual void goForward() = 0;
  virtual void reload() = 0;
  virtual bool canGoBack() const = 0;
  virtual bool canGoForward() const = 0;
  virtual bool isLoading() const = 0;
  // Whether the engine's content size follows a page change at once (older engine) or
  // on a later turn (newer).
  virtual bool contentSizeUpdatesSynchronously() const = 0;
  virtual std::shared_ptr<platform::ScrollView> scrollView() const = 0;
  virtual std::optional<platform::URL> URL() const = 0;
  // The identifier the engine's page puts on its resource requests.
  virtual const std::string& pageIdentifier() const = 0;

  // Appearance goes to the engine: setOpaque() sets the facade and the engine, the
  // others the engine alone (they hide View's own, which stay the facade's).
  void setOpaque(bool opaque);
  bool isOpaque() const;
  void setBackgroundColor(std::optional<platform::Color> color);
  std::optional<platform::Color> backgroundColor() const;

  platform::Size intrinsicContentSize() const override;
  platform::Size sizeThatFits(platform::Size size) const override;
  void layoutSubviews() override;

  // The size last reported to the content-size delegate (zero after a finished load).
  platform::Size lastContentSize() const { return lastContentSize_; }
  // The URL string of the facade's own load that the engine accepted and that has not
  // finished or failed yet.
  const std::optional<std::string>& currentRequestURLString() const { return currentRequestURLString_; }

 protected:
  ZUMWebView(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration);

  // Called by a subclass's create() once the facade is shared: starts the request poll
  // when it is switched on, then installs the engine.
  void finishCreation(std::shared_ptr<platform::View> engine);

  // The engine's side, implemented by the subclasses.
  // Runs before every load's bookkeeping (the newer engine adds its user scripts).
  virtual void willLoad() {}
  virtual void engineLoadHTMLString(const std::string& string, const std::optional<platform::URL>& baseURL) = 0;
  virtual void engineLoadRequest(const platform::URLRequest& request) = 0;
  virtual void engineStopLoading() = 0;

  // The engine's reports, called by the subclasses.
  // The delegate's answer (YES without a delegate), NO for message URLs.
  bool shouldStartLoad(const platform::URLRequest& request, platform::WebViewNavigationType navigationType);
  void didMakeLoadDecision(bool allowed, const platform::URLRequest& request);
  void didStartLoad();
  void didFinishLoad();
  void didFailLoadWithError(const platform::ErrorPtr& error);
  // The page's content process ended (`reason` says why). A load it ended was failed
  // with the termination error already; otherwise the delegate hears that error as a
  // failed load now, so a page that dies after its load is reported all the same.
  void didTerminateWebContentProcess(const std::string& reason);
  // The engine's content size may have changed.
  void engineContentSizeDidChange();

  const ZUMWebViewConfiguration& configuration() const { return configuration_; }

 private:
  void startRequestPolling();
  void setWebView(std::shared_ptr<platform::View> engine);
  void notifyDelegateIfRequestFailed();

  const ZUMWebViewConfiguration configuration_;
  std::shared_ptr<platform::View> webView_;
  std::weak_ptr<ZUMWebViewDelegate> delegate_;
  std::weak_ptr<ZUMWebViewContentSizeDelegate> contentSizeDelegate_;
  platform::Size lastContentSize_;
  // Whether a size went to the delegate since the engine last reported a start.
  bool sizeReportedSinceStart_ = false;
  std::set<std::string> pendingRequestURLStrings_;
  std::optional<std::string> currentRequestURLString_;
  // A load failed because its content process ended; the notice that follows is not
  // reported again.
  bool terminationReported_ = false;
  std::shared_ptr<ZUMScheduler> scheduler_;
};
