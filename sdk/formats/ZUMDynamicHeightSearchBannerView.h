// The fluid search banner's content: a bare web view, with no slot, that loads the
// search-ads page of a ZUMDynamicHeightSearchRequest and takes whatever height the page
// reports through its messages:
//   "tolm://adResized?height=H"  an ad is shown (when H > 0), the web view becomes H high
//   "tolm://noAdLoaded"          fails with code 1, "No ads are available"
//   "tolm://scriptLoadFailed"    fails with code 2, "Failed to load resources over the network"
// A link the user taps is never loaded here: its URL, with the click signal added, goes to
// the delegate as a landing page.
//
// The page's height is untrusted: NaN, infinite or negative heights count as 0 and a
// height above the main screen's is capped at it, so only finite frames of a sane size
// reach the view and the host. Wrong request types and child-directed requests are
// refused without touching the network, on a later turn of the main queue and only while
// the view lives. A cancelled load (code -999) is ignored unless the user default
// "/vantor/ads/use_cancelled_url_error" reads true. The engine is the one the user
// default "/vantor/ads/vqs_wv_class" names ("ui" or "wk"; absent: the configuration's).
//
// Holds its web view strongly, its delegate weakly. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/ui/GestureRecognizerDelegate.h"
#include "platform/ui/View.h"
#include "sdk/formats/ZUMDynamicHeightSearchBannerViewDelegate.h"
#include "sdk/rendering/ZUMWebViewDelegate.h"

namespace platform {
class Coder;
}

class ZUMGestureRecognizer;
class ZUMRequest;
class ZUMWebView;

// adState values.
enum class ZUMDynamicHeightSearchAdState : std::int64_t { Idle = 0, Loading = 1, AdShown = 2, Failed = 3 };

class ZUMDynamicHeightSearchBannerView : public platform::View,
                                         public ZUMWebViewDelegate,
                                         public platform::GestureRecognizerDelegate {
 public:
  static std::shared_ptr<ZUMDynamicHeightSearchBannerView> create(const platform::Rect& frame);
  // nullptr without a usable frame in the archive.
  static std::shared_ptr<ZUMDynamicHeightSearchBannerView> create(const platform::Coder& coder);
  ~ZUMDynamicHeightSearchBannerView() override;

  // Loads the search page of a ZUMDynamicHeightSearchRequest; anything else (nullptr too)
  // is refused with code 12.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request);

  ZUMDynamicHeightSearchAdState adState() const { return adState_; }
  const std::string& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::string adUnitID) { adUnitID_ = std::move(adUnitID); }
  std::shared_ptr<ZUMDynamicHeightSearchBannerViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMDynamicHeightSearchBannerViewDelegate>& d) { delegate_ = d; }

  // Keeps the web view as wide as the view, at its own height.
  void setFrame(const platform::Rect& frame) override;
  // The web view's size.
  platform::Size currentAdSize() const;
  // nullptr when no engine could be made.
  const std::shared_ptr<ZUMWebView>& adWebView() const { return adWebView_; }

  // --- ZUMWebViewDelegate: the navigation filter and the page's failures ---------------------
  bool webViewShouldStartLoadWithRequest(ZUMWebView& webView, const platform::URLRequest& request,
                                         platform::WebViewNavigationType navigationType) override;
  void webViewDidFailLoadWithError(ZUMWebView& webView, const platform::ErrorPtr& error) override;
  // Shows nothing; completes on a later turn of the main queue.
  void webViewRunJavaScriptAlertPanelWithTitle(ZUMWebView& webView, const std::string& title,
                                               const std::string& message,
                                               std::function<void()> completionHandler) override;

  // --- GestureRecognizerDelegate ----------------------------------------------------------------
  // Yes exactly when `recognizer` is the signal provider's touch recorder.
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(platform::GestureRecognizer& recognizer,
                                                                           platform::GestureRecognizer& other) override;

  // Beyond any page a host would scroll through.
  static constexpr double kMaximumHeight = 100000;
  // A page height made sane: NaN, infinite or negative -> 0, above kMaximumHeight -> it.
  static double saneHeight(double height);
  // The query item of a click signal: its two parts when it splits at "=" into exactly
  // two non-empty parts, else nothing.
  static std::optional<std::pair<std::string, std::string>> clickSignalQueryItem(const std::string& signal);

 private:
  explicit ZUMDynamicHeightSearchBannerView(const platform::Rect& frame);
  void configureBannerView();
  // Tells the delegate on a later turn, while the view lives (refused requests).
  void failLater(const std::string& message);
  void tellFailure(const platform::ErrorPtr& error);
  void updateInternalAdViewHeightAndNotifyDelegateWithHeight(double height);
  void handleResize(const platform::URL& url);
  void handleUserDidTapAdDestinationURL(const platform::URL& url);
  std::shared_ptr<ZUMDynamicHeightSearchBannerView> self();

  std::shared_ptr<ZUMWebView> adWebView_;
  ZUMDynamicHeightSearchAdState adState_ = ZUMDynamicHeightSearchAdState::Idle;
  std::string adUnitID_;
  std::weak_ptr<ZUMDynamicHeightSearchBannerViewDelegate> delegate_;
  std::shared_ptr<ZUMGestureRecognizer> touchGestureRecognizer_;
};
