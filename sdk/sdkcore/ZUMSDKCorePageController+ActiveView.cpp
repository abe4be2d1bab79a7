// The controller's lending of SDK-core pages for active-view measurement, its sampling
// interval and the web-view experiment.
#include "sdk/sdkcore/ZUMSDKCorePageController.h"

#include <algorithm>
#include <cmath>

#include "platform/base/DispatchQueue.h"
#include "platform/base/Random.h"
#include "platform/base/StringConversions.h"
#include "sdk/foundation/ZUMUserDefaults.h"

void ZUMSDKCorePageController::setSDKCoreWebViewExperiment() {
  const double fraction = platform::stringDoubleValue(
      ZUMUserDefaults::stringForKey(ZUMUserDefaults::keyForName("zums:sdk_core_wv_experiment:fraction")).value_or(""));
  const double draw = platform::Random::uniform(1000);
  // A fraction that is not a number joins nobody but the draw 0, as no fraction does.
  if (!(draw <= (std::isfinite(fraction) ? fraction : 0.0) * 1000)) return;
  const bool experimentArm = platform::Random::uniform(2) == 1;
  if (experimentArm) webViewConfiguration_.setWebViewClassKey("wk");
  experimentID_ = ZUMUserDefaults::stringForKey(ZUMUserDefaults::keyForName(
      experimentArm ? "zums:sdk_core_wv_experiment:experiment" : "zums:sdk_core_wv_experiment:control"));
}

double ZUMSDKCorePageController::activeViewSamplingInterval() {
  return lockQueue_->syncResult([&] { return activeViewSamplingInterval_; });
}

void ZUMSDKCorePageController::setActiveViewSamplingInterval(double seconds) {
  // Zero or less would sample without pause.
  if (!std::isfinite(seconds) || seconds <= 0) return;
  lockQueue_->async([self = shared_from_this(), seconds] { self->activeViewSamplingInterval_ = seconds; });
}

void ZUMSDKCorePageController::setActiveViewUnloadCacheMaxSize(std::int64_t size) {
  if (size < 1) return;
  lockQueue_->async([self = shared_from_this(), size] { self->activeViewUnloadCacheMaxSize_ = size; });
}

void ZUMSDKCorePageController::setUseNewWebViewsForActiveViewProcessing(bool use) {
  lockQueue_->async([self = shared_from_this(), use] { self->useNewWebViewsForActiveViewProcessing_ = use; });
}

std::vector<std::shared_ptr<ZUMSDKCoreWebView>> ZUMSDKCorePageController::activeViewSDKCoreWebViews() const {
  return lockQueue_->syncResult([&] { return activeViewSDKCoreWebViews_; });
}

std::shared_ptr<ZUMSDKCoreWebView> ZUMSDKCorePageController::makeRefreshedWebView() {
  auto webView = ZUMSDKCoreWebView::create(webViewConfiguration_);
  webView->refreshSDKCoreAndNotifyObserver(nullptr);
  return webView;
}

std::shared_ptr<ZUMActiveViewWebView> ZUMSDKCorePageController::SDKCoreWebViewForActiveViewProcessing() {
  removeFinishedActiveViewWebViews();
  std::shared_ptr<ZUMSDKCoreWebView> shared;
  bool fresh = false;
  lockQueue_->sync([&] {
    fresh = useNewWebViewsForActiveViewProcessing_;
    if (!fresh && !activeViewRequestedSDKCoreReload_) shared = activeViewSDKCoreWebView_;
  });
  if (shared) return shared;
  // Web views are made on the borrower's thread (the main one), outside the queue.
  auto made = makeRefreshedWebView();
  if (!fresh) {
    lockQueue_->sync([&] {
      activeViewSDKCoreWebView_ = made;
      activeViewRequestedSDKCoreReload_ = false;
    });
  }
  return made;
}

void ZUMSDKCorePageController::finishedUsingSDKCoreWebViewForActiveViewProcessing(
    const std::shared_ptr<ZUMActiveViewWebView>& webView) {
  auto page = std::dynamic_pointer_cast<ZUMSDKCoreWebView>(webView);
  if (page && page->isActiveViewRunning()) cacheRunningActiveViewWebView(page);
}

void ZUMSDKCorePageController::cacheRunningActiveViewWebView(const std::shared_ptr<ZUMSDKCoreWebView>& webView) {
  if (!webView) return;
  lockQueue_->async([self = shared_from_this(), webView] {
    auto& cached = self->activeViewSDKCoreWebViews_;
    if (std::find(cached.begin(), cached.end(), webView) == cached.end()) cached.push_back(webView);
  });
  // Runs on the queue after the append, so the list never outgrows the cap.
  removeFinishedActiveViewWebViews();
}

void ZUMSDKCorePageController::removeFinishedActiveViewWebViews() {
  std::vector<std::shared_ptr<ZUMSDKCoreWebView>> setAside;
  lockQueue_->sync([&] {
    std::vector<std::shared_ptr<ZUMSDKCoreWebView>> staying;
    auto& cached = activeViewSDKCoreWebViews_;
    for (auto it = cached.rbegin(); it != cached.rend(); ++it) {
      const bool keep =
          (*it)->isActiveViewRunning() && static_cast<std::int64_t>(staying.size()) < activeViewUnloadCacheMaxSize_;
      (keep ? staying : setAside).push_back(*it);
    }
    cached.assign(staying.rbegin(), staying.rend());
  });
  for (const auto& webView : setAside) {
    webView->clearAllActiveViewInstances();
    finishedUsingSDKCoreWebViewForActiveViewProcessing(webView);
  }
}
