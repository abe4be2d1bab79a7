#include "sdk/presentation/ZUMAdAppViewController.h"

#include <utility>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Application.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/Button.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/presentation/ZUMAdAppAdViewDelegate.h"
#include "sdk/presentation/ZUMImages.h"
#include "sdk/presentation/ZUMOverlayPresenting.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMMRAIDResizeProperties.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMMRAIDEventHandling.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotRendering.h"

namespace {

using platform::InterfaceOrientationMask;

constexpr InterfaceOrientationMask kLandscapeBits = platform::kInterfaceOrientationMaskLandscape;
constexpr InterfaceOrientationMask kPortraitBits =
    platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown;
constexpr double kCloseButtonSide = 32;

std::shared_ptr<ZUMMRAIDEventHandling> MRAIDEventHandler(const std::shared_ptr<ZUMSlot>& slot) {
  auto ad = slot ? slot->ad() : nullptr;
  return ad ? ad->MRAIDEventHandler() : nullptr;
}

// The slot asks its owner; without a slot nobody objects.
bool slotAllowsAudioCategory(const std::shared_ptr<ZUMSlot>& slot, const std::string& category) {
  return !slot || ZUMSlotEventHandler::forSlot(*slot)->shouldChangeAudioSessionCategoryTo(category);
}

}  // namespace

std::shared_ptr<ZUMAdAppViewController> ZUMAdAppViewController::create(std::shared_ptr<ZUMAdView> adView) {
  std::shared_ptr<ZUMAdAppViewController> controller(new ZUMAdAppViewController(std::move(adView)));
  controller->setUp();
  return controller;
}

ZUMAdAppViewController::ZUMAdAppViewController(std::shared_ptr<ZUMAdView> adView) : adView_(std::move(adView)) {}

void ZUMAdAppViewController::setUp() {
  if (!adView_) {
    adView_ = ZUMAdView::create();
    adView_->setViewController(std::static_pointer_cast<ZUMAdAppViewController>(shared_from_this()));
  }
  closeButton_ = platform::Button::create(platform::Button::Type::Custom);
  closeButton_->setShowsTouchWhenHighlighted(true);
  closeButton_->setAccessibilityLabel("Close Advertisement");
  auto me = std::static_pointer_cast<ZUMAdAppViewController>(shared_from_this());
  std::weak_ptr<ZUMAdAppViewController> weak = me;
  closeButton_->addTarget(std::weak_ptr<void>(me), ZUMBindWeak(weak, &ZUMAdAppViewController::closeButtonPressed),
                          platform::Button::TouchUpInside);
}

ZUMAdAppViewController::~ZUMAdAppViewController() {
  if (!adView_) return;
  if (adView_->viewController().get() == this) adView_->setViewController(nullptr);
  if (!adViewDelegate_) return;
  adViewDelegate_->opener()->setSlot(nullptr);
  if (adView_->delegate() == adViewDelegate_) adView_->setDelegate(nullptr);
}

// --- Content -----------------------------------------------------------------------------------

void ZUMAdAppViewController::load(const std::optional<platform::URL>& url) {
  if (!url) return;
  if (viewWasConfigured_ && adView_) {
    adView_->loadRequest(platform::URLRequest(*url));
  } else {
    URLToLoad_ = url;
  }
}

void ZUMAdAppViewController::loadHTML(const std::optional<std::string>& html,
                                      const std::optional<platform::URL>& baseURL) {
  if (!html) return;
  if (viewWasConfigured_ && adView_) {
    adView_->loadHTMLString(html, baseURL);
  } else {
    HTMLToLoad_ = html;
    HTMLBaseURLToLoad_ = baseURL;
  }
}

bool ZUMAdAppViewController::isLoaded() const { return adViewDelegate_ && adViewDelegate_->hasLoadedAtLeastOnce(); }

bool ZUMAdAppViewController::isMRAIDAd() const { return MRAIDEventHandler(slot()) != nullptr; }

// --- Configuring -------------------------------------------------------------------------------

void ZUMAdAppViewController::configureView() {
  auto v = view();
  auto me = std::static_pointer_cast<ZUMAdAppViewController>(shared_from_this());
  if (adView_) {
    adView_->setFrame(v->bounds());
    adView_->setHidden(false);
    // Keeps filling the view as it changes size.
    adView_->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    v->addSubview(adView_);
  }
  updateCloseButtonVisibilityAndImage();
  positionCloseButton();
  adViewDelegate_ = ZUMAdAppAdViewDelegate::create(me);
  auto slot = this->slot();
  adViewDelegate_->opener()->setSlot(slot);
  if (auto bannerDelegate = slot ? slot->adViewDelegate() : nullptr) {
    adViewDelegate_->opener()->setAutoClickProtection(bannerDelegate->opener()->autoClickProtection());
  }
  if (!adView_) return;
  adView_->setDelegate(adViewDelegate_);
  if (auto url = std::exchange(URLToLoad_, std::nullopt)) {
    adView_->loadRequest(platform::URLRequest(*url));
  } else if (auto html = std::exchange(HTMLToLoad_, std::nullopt)) {
    adView_->loadHTMLString(html, std::exchange(HTMLBaseURLToLoad_, std::nullopt));
  }
}

void ZUMAdAppViewController::setUseCustomClose(bool use) {
  if (use == useCustomClose_) return;
  useCustomClose_ = use;
  updateCloseButtonVisibilityAndImage();
}

void ZUMAdAppViewController::setCustomClosePosition(std::int64_t position) {
  customClosePosition_ = position;
  if (isMRAIDAd()) positionMRAIDCloseButton();
}

void ZUMAdAppViewController::updateCloseButtonVisibilityAndImage() {
  auto slot = this->slot();
  auto ad = slot ? slot->ad() : nullptr;
  const bool blocking = ZUMUserDefaults::boolForKey("/vantor/ads/zums:custom_close_blocking:enabled").value_or(false) &&
                        ad && ad->customCloseBlocked();
  auto image = ZUMCloseButtonImage();
  if (blocking) {
    if (useCustomClose_) {
      if (auto handler = MRAIDEventHandler(slot)) {
        handler->handleError("Custom close has been disabled for interstitial ads in this ad slot.", "useCustomClose");
      }
    }
  } else if (useCustomClose_) {
    if (!isMRAIDAd()) {
      closeButton_->removeFromSuperview();
      return;
    }
    // Stays usable over the ad's own close graphic.
    image = ZUMBlankImage();
  }
  const double scale = ZUMUserDefaults::doubleForKey("/vantor/ads/zums:close_button:scale").value_or(1.0);
  closeButton_->setImage(ZUMScaledImage(image, scale), platform::Button::Normal);
  auto v = view();
  if (closeButton_->superview() == v) {
    v->bringSubviewToFront(closeButton_);
  } else {
    v->addSubview(closeButton_);
  }
}

void ZUMAdAppViewController::positionCloseButton() {
  if (isMRAIDAd()) {
    positionMRAIDCloseButton();
    return;
  }
  const double padding =
      ZUMUserDefaults::doubleForKey("/vantor/ads/zum:interstitial:close_button_padding_dip").value_or(0);
  closeButton_->setFrame({0, 0, kCloseButtonSide + padding, kCloseButtonSide + padding});
}

void ZUMAdAppViewController::positionMRAIDCloseButton() {
  closeButton_->setAutoresizingMask(ZUMMRAIDResizeProperties::autoresizingMaskForClosePosition(customClosePosition_));
  closeButton_->setFrame(ZUMMRAIDResizeProperties::closeButtonRectForPosition(customClosePosition_, view()->bounds()));
}

void ZUMAdAppViewController::closeButtonPressed() { relinquishScreenWithCompletion(nullptr); }

// --- Orientations ------------------------------------------------------------------------------

void ZUMAdAppViewController::setAdOrientations(InterfaceOrientationMask mask) {
  auto application = ZUMApplication::sharedInstance();
  if (application->isSplitScreenEnabled() || mask == adOrientations_) return;
  adOrientations_ = mask;
  if (viewHasAppearedAtLeastOnce_) {
    if (auto p = presenter()) p->setNeedsUpdateOrientation();
    return;
  }
  if (viewWasConfigured_) return;
  if (application->supportsOrientations(mask)) {
    setSupportedInterfaceOrientations(mask);
  } else if ((mask & kLandscapeBits) && application->supportsOrientations(kLandscapeBits)) {
    setSupportedInterfaceOrientations(kLandscapeBits);
  } else if ((mask & kPortraitBits) && application->supportsOrientations(kPortraitBits)) {
    setSupportedInterfaceOrientations(kPortraitBits);
  }
}

void ZUMAdAppViewController::viewChangedToOrientation(platform::InterfaceOrientation orientation) {
  if (adView_) {
    if (orientationNotifiedToTheAdViewAtLeastOnce_) {
      adView_->didRotateToOrientation(orientation);
    } else {
      adView_->forceRotateHTMLToOrientation(orientation);
    }
  }
  if (auto handler = MRAIDEventHandler(slot())) handler->notifyOrientationToMRAIDCreative();
  orientationNotifiedToTheAdViewAtLeastOnce_ = true;
}

void ZUMAdAppViewController::didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) {
  ZUMViewController::didRotateFromInterfaceOrientation(from);
  viewChangedToOrientation(forcedAdOrientation_ != 0 ? forcedAdOrientation_ : interfaceOrientation());
}

// --- Appearance --------------------------------------------------------------------------------

void ZUMAdAppViewController::viewWillAppear(bool animated) {
  ZUMViewController::viewWillAppear(animated);
  if (!viewWasConfigured_) {
    viewWasConfigured_ = true;
    configureView();
  }
  viewHasAppearedAtLeastOnce_ = true;
  if (auto shown = slot()) ZUMSlotActiveView::forSlot(*shown)->interstitialViewWillAppear();
  if (adOrientations_ != 0) {
    if (auto p = presenter()) p->setNeedsUpdateOrientation();
  }
  swapAudioCategoryIfNeeded();
}

void ZUMAdAppViewController::swapAudioCategoryIfNeeded() {
  auto& audio = platform::AudioSession::shared();
  const std::string category = audio.category();
  if (category != platform::kAudioSessionCategoryRecord || originalAudioSessionCategory_) return;
  if (!slotAllowsAudioCategory(slot(), platform::kAudioSessionCategoryPlayAndRecord)) return;
  if (audio.setCategory(platform::kAudioSessionCategoryPlayAndRecord)) originalAudioSessionCategory_ = category;
}

void ZUMAdAppViewController::viewDidAppear(bool animated) {
  ZUMViewController::viewDidAppear(animated);
  if (auto handler = MRAIDEventHandler(slot())) handler->updateVisibility(true);
}

void ZUMAdAppViewController::viewWillDisappear(bool animated) {
  ZUMViewController::viewWillDisappear(animated);
  if (auto shown = slot()) ZUMSlotActiveView::forSlot(*shown)->interstitialViewWillDisappear();
  if (auto rendering = ZUMSlotRendering::shared(); rendering && adView_) rendering->pauseVideo(*adView_);
  if (auto handler = MRAIDEventHandler(slot())) handler->updateVisibility(false);
}

// --- Leaving -----------------------------------------------------------------------------------

bool ZUMAdAppViewController::shouldDismissOnApplicationEnteringForeground() {
  if (useCustomClose_) return true;
  auto opener = adViewDelegate_ ? adViewDelegate_->opener() : nullptr;
  if (isLoaded() && opener && opener->didOpenAnotherApplication()) {
    opener->setDidOpenAnotherApplication(false);
    return false;
  }
  return ZUMViewController::shouldDismissOnApplicationEnteringForeground();
}

void ZUMAdAppViewController::relinquishScreenWithCompletion(std::function<void()> completion) {
  platform::assertMainThread();
  if (auto original = std::exchange(originalAudioSessionCategory_, std::nullopt)) {
    (void)platform::AudioSession::shared().setCategory(*original);  // a failure leaves the ad's category
  }
  ZUMViewController::relinquishScreenWithCompletion(std::move(completion));
}
