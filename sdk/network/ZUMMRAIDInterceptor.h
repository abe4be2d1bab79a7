// Redirects the MRAID script that an ad page loads to the script the ad network hosts.
// The network's settings give three hosted scripts (banner, interstitial, expanded
// banner) and switch the redirect on or off. While on, a GET of an http(s) URL whose
// last path component is "mraid.js" (and that is not itself one of the hosted scripts)
// is answered, through the platform's URL interception, by a redirect to a hosted
// script: the one an ad view chose for its page (setMRAIDURLStringForPage(), keyed by
// the page identifier its web engine puts on the page's requests), else the banner
// script. Views that inject the script themselves ask MRAIDURLStringForAdView(), or
// MRAIDURLStringForPage() where the page's own loads bypass URL interception.
//
// The setters return at once and apply their change in order on the interceptor's own
// serial queue. Every member may be called from any thread; the interception runs on
// the platform's URL-loading queue.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace platform {
class DispatchQueue;
class URLRequest;
}  // namespace platform

// Registers the SDK's URL-loading interception (the MRAID script redirect) with the
// platform. Later calls do nothing. Any thread.
void ZUMRegisterURLInterception();

class ZUMMRAIDInterceptor {
 public:
  // What the interceptor needs to know of an ad view to pick its script.
  class AdView {
   public:
    virtual ~AdView() = default;
    // The view's slot loads interstitials (its ad type is the interstitial type).
    virtual bool isInterstitialAdType() const = 0;
    // The view is its slot's main ad view (not a second view, such as an expanded one).
    virtual bool isMainAdView() const = 0;
  };

  static std::shared_ptr<ZUMMRAIDInterceptor> sharedInstance();

  // The hosted scripts' addresses (std::nullopt: none). Applied asynchronously.
  void setBannerImplementationURLString(std::optional<std::string> URLString);
  void setInterstitialImplementationURLString(std::optional<std::string> URLString);
  void setExpandedBannerImplementationURLString(std::optional<std::string> URLString);
  // Switches the redirect; off at start. Applied asynchronously.
  void setEnabled(bool enabled);

  // Whether MRAID script loads are redirected.
  bool canRedirect() const;

  // The hosted script for the view: the interstitial script for an interstitial slot,
  // else the banner script for the slot's main ad view and the expanded-banner script
  // for another view. std::nullopt when that script is not set.
  std::optional<std::string> MRAIDURLStringForAdView(const AdView& adView) const;

  // The hosted script for the requests of one page (std::nullopt: forget the page). An ad
  // view sets it before its page loads and forgets it when it goes. Applied at once.
  void setMRAIDURLStringForPage(const std::string& pageIdentifier, std::optional<std::string> URLString);

  // Where a load of `request` is redirected, or std::nullopt when the interceptor leaves
  // it alone (disabled, not an MRAID script, already a hosted script, no hosted script).
  std::optional<std::string> redirectURLStringForRequest(const platform::URLRequest& request) const;

  // Returns once the setters called before it have been applied, so that a page about to
  // load sees the settings just given. Not from a block that the queue waits on.
  void waitForPendingSettings() const;
  // Where a load of "mraid.js" by the page would be redirected, once the settings given
  // before the call apply: for a web engine whose pages' own loads bypass URL
  // interception, which puts that script in the page itself.
  std::optional<std::string> MRAIDURLStringForPage(const std::string& pageIdentifier) const;

  ZUMMRAIDInterceptor(const ZUMMRAIDInterceptor&) = delete;
  ZUMMRAIDInterceptor& operator=(const ZUMMRAIDInterceptor&) = delete;

 private:
  ZUMMRAIDInterceptor();

  enum class Script { Banner, Interstitial, ExpandedBanner };
  void setImplementationURLString(Script script, std::optional<std::string> URLString);
  // The script a page's MRAID loads get (its own choice while that is hosted, else the
  // banner's); std::nullopt when disabled. Under mutex_.
  std::optional<std::string> scriptForPageLocked(const std::optional<std::string>& pageIdentifier) const;

  const std::shared_ptr<platform::DispatchQueue> queue_;
  // Written only on queue_, read from any thread.
  mutable std::mutex mutex_;
  std::optional<std::string> banner_;
  std::optional<std::string> interstitial_;
  std::optional<std::string> expandedBanner_;
  std::set<std::string> hostedScripts_;                          // the absolute strings of the three addresses
  std::map<std::string, std::string, std::less<>> pageScripts_;  // page identifier -> script
  bool enabled_ = false;
};
