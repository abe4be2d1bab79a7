// The banner delegate of an ad delivered as another ad network's script tag. It watches
// the page's navigations for the network's passback (no ad: the page goes to the
// passback URL, or to any "passback:" URL), which fails the slot with no fill and
// schedules its refresh; and after the page's first finished load it checks every
// 0.2 s that something was drawn, reporting the load once it sees content and failing
// the slot (network error) after 101 checks that found only background.
//
// Main thread only; the render timer runs on the main run loop in the default mode.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/base/URL.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"

namespace platform {
class Timer;
}

class ZUMAdNetworkJavaScriptAdViewDelegate final : public ZUMBannerAdViewDelegate {
 public:
  static std::shared_ptr<ZUMAdNetworkJavaScriptAdViewDelegate> create(const std::shared_ptr<ZUMSlot>& slot,
                                                                      std::optional<platform::URL> passbackURL);
  ~ZUMAdNetworkJavaScriptAdViewDelegate() override;

  const std::optional<platform::URL>& passbackURL() const { return passbackURL_; }
  bool wasPassbackReceived() const { return wasPassbackReceived_; }
  void setWasPassbackReceived(bool received) { wasPassbackReceived_ = received; }
  bool renderingCheckHasStarted() const { return renderingCheckHasStarted_; }
  std::uint64_t checkRenderingCount() const { return checkRenderingCount_; }
  bool isCheckingRendering() const { return !checkRenderingTimer_.expired(); }

  // A "passback" scheme (any case), or the passback URL's host (any case) and path
  // (one trailing "/" ignored on either side).
  bool isPassbackRequest(const platform::URLRequest& request) const;

  void startRenderingTimerForAdView(const std::shared_ptr<ZUMAdView>& adView);
  void stopRenderingTimer();
  void checkIsContentRenderedInAdView();
  void adViewDidRenderContent();
  void adViewDidNotRenderContent();

  std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                       platform::WebViewNavigationType navigationType) override;
  // Only the first, and only without a passback: state 5 and the render check. The load
  // is reported when content is seen.
  void adViewDidFinishLoad(ZUMAdView& adView) override;

 private:
  ZUMAdNetworkJavaScriptAdViewDelegate(const std::shared_ptr<ZUMSlot>& slot, std::optional<platform::URL> passbackURL);

  const std::optional<platform::URL> passbackURL_;
  bool wasPassbackReceived_ = false;
  bool renderingCheckHasStarted_ = false;
  std::weak_ptr<ZUMAdView> adView_;
  std::weak_ptr<platform::Timer> checkRenderingTimer_;
  std::uint64_t checkRenderingCount_ = 0;
};
