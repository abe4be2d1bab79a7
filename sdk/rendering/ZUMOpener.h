// The object that carries out the click and open actions of one web ad. Every ad-view
// delegate owns one and shares it with its message handlers; the navigation policy
// primes it before each decision (the navigation's request, the view controller, the ad
// view) and the delegate's owner gives it its slot.
//
// Here: its state, the auto-click gate and the actions the navigation policy calls,
// which go to the registered click handling (ZUMClickHandling.h).
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "platform/base/URL.h"
#include "platform/net/URLRequest.h"

namespace platform {
class ViewController;
}

class ZUMAdView;
class ZUMAutoClickProtection;
class ZUMSlot;

class ZUMOpener {
 public:
  static std::shared_ptr<ZUMOpener> create();
  ~ZUMOpener();
  ZUMOpener(const ZUMOpener&) = delete;
  ZUMOpener& operator=(const ZUMOpener&) = delete;

  // --- Actions --------------------------------------------------------------------------
  void openApp(const platform::URL& url);
  void openEmailComposer(const platform::URL& url);
  void openSmsComposer(const platform::URL& url);

  // The auto-click gate: true without protection, with protection switched off, or once
  // the ad view was touched. A refusal is recorded with the URL stash (the navigation
  // request as the attempted click) each time.
  bool shouldPerformOpenAction();

  // --- State ----------------------------------------------------------------------------
  // Held weakly.
  std::shared_ptr<platform::ViewController> viewController() const { return viewController_.lock(); }
  void setViewController(const std::shared_ptr<platform::ViewController>& controller) { viewController_ = controller; }
  std::shared_ptr<ZUMAdView> adView() const { return adView_.lock(); }
  void setAdView(const std::shared_ptr<ZUMAdView>& adView) { adView_ = adView; }
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }
  void setSlot(const std::shared_ptr<ZUMSlot>& slot) { slot_ = slot; }

  // The page that led to the current navigation (the in-app browser's referrer).
  const std::optional<platform::URL>& referringURL() const { return referringURL_; }
  void setReferringURL(std::optional<platform::URL> url) { referringURL_ = std::move(url); }
  // The navigation that led to the current open action.
  const std::optional<platform::URLRequest>& navigationRequest() const { return navigationRequest_; }
  void setNavigationRequest(std::optional<platform::URLRequest> request) { navigationRequest_ = std::move(request); }
  // A click has just taken the user to another application (cleared by whoever acts on
  // the user's return).
  bool didOpenAnotherApplication() const { return didOpenAnotherApplication_; }
  void setDidOpenAnotherApplication(bool opened) { didOpenAnotherApplication_ = opened; }
  // nullptr: no protection.
  std::shared_ptr<ZUMAutoClickProtection> autoClickProtection() const { return autoClickProtection_; }
  void setAutoClickProtection(std::shared_ptr<ZUMAutoClickProtection> protection) {
    autoClickProtection_ = std::move(protection);
  }

 private:
  ZUMOpener() = default;

  std::weak_ptr<platform::ViewController> viewController_;
  std::optional<platform::URL> referringURL_;
  std::weak_ptr<ZUMAdView> adView_;
  std::weak_ptr<ZUMSlot> slot_;
  std::optional<platform::URLRequest> navigationRequest_;
  std::shared_ptr<ZUMAutoClickProtection> autoClickProtection_;
  bool didOpenAnotherApplication_ = false;
};
