// The two MRAID expand controllers.
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/ui/ImageView.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/presentation/ZUMExpandedAdAppViewController.h"
#include "sdk/presentation/ZUMSupplementalAdAppViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSlot.h"

// --- Expanded --------------------------------------------------------------------------------

std::shared_ptr<ZUMExpandedAdAppViewController> ZUMExpandedAdAppViewController::create(
    std::shared_ptr<ZUMAdView> adView) {
  if (!adView) return nullptr;
  std::shared_ptr<ZUMExpandedAdAppViewController> controller(new ZUMExpandedAdAppViewController(std::move(adView)));
  controller->setUp();
  return controller;
}

ZUMExpandedAdAppViewController::~ZUMExpandedAdAppViewController() {
  if (renderedBanner_) renderedBanner_->removeFromSuperview();
}

void ZUMExpandedAdAppViewController::configureView() {
  const auto& banner = adView();
  banner->saveState();
  banner->setViewController(std::static_pointer_cast<ZUMExpandedAdAppViewController>(shared_from_this()));
  renderedBanner_ = platform::ImageView::create(banner->frame());
  renderedBanner_->setImage(ZUMScreenshotOfView(banner));
  if (auto place = banner->superview()) place->addSubview(renderedBanner_);
  banner->removeFromSuperview();
  banner->reset();
  ZUMAdAppViewController::configureView();
}

void ZUMExpandedAdAppViewController::relinquishScreenWithCompletion(std::function<void()> completion) {
  if (adView()->viewController().get() == this) adView()->restoreState();
  ZUMAdAppViewController::relinquishScreenWithCompletion(std::move(completion));
}

// --- Supplemental ----------------------------------------------------------------------------

namespace {

void tellPage(const std::shared_ptr<ZUMAdView>& page, ZUMPageMessageName name, nlohmann::ordered_json parameters) {
  if (page) page->dispatchSDKEvent(name, parameters);
}

std::shared_ptr<ZUMAdView> bannerPage(const std::shared_ptr<ZUMSlot>& slot) {
  return slot ? std::dynamic_pointer_cast<ZUMAdView>(slot->adView()) : nullptr;
}

}  // namespace

std::shared_ptr<ZUMSupplementalAdAppViewController> ZUMSupplementalAdAppViewController::create(
    std::shared_ptr<ZUMAdView> adView) {
  std::shared_ptr<ZUMSupplementalAdAppViewController> controller(
      new ZUMSupplementalAdAppViewController(std::move(adView)));
  controller->setUp();
  return controller;
}

void ZUMSupplementalAdAppViewController::finishAppearing() {
  ZUMAdAppViewController::finishAppearing();
  tellPage(adView(), "onReadyEventReceived", {{"js", ZUMRequest::sdkVersion()}});
  tellPage(adView(), "onStateChanged", {{"state", "expanded"}});
  tellPage(bannerPage(slot()), "onStateChanged", {{"state", "expanded"}});
}

void ZUMSupplementalAdAppViewController::finishDismissal() {
  ZUMAdAppViewController::finishDismissal();
  tellPage(bannerPage(slot()), "onStateChanged", {{"state", "default"}});
}

void ZUMSupplementalAdAppViewController::viewDidAppear(bool animated) {
  ZUMAdAppViewController::viewDidAppear(animated);
  tellPage(adView(), "onAdVisibilityChanged", {{"visible", ZUMStringFromBOOL(true)}});
}

void ZUMSupplementalAdAppViewController::viewDidDisappear(bool animated) {
  ZUMAdAppViewController::viewDidDisappear(animated);
  tellPage(adView(), "onAdVisibilityChanged", {{"visible", ZUMStringFromBOOL(false)}});
}
