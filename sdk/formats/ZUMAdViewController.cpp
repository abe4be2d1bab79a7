#include "ZUMAdViewController.h"

#include <utility>

#include "PXRBannerView.h"
#include "PXRRequest.h"
#include "ZUMBannerView.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Coder.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/Screen.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMLogger.h"

namespace {

using Attribute = platform::LayoutConstraint::Attribute;
using platform::LayoutConstraint;

// A status bar of this height lies over the top of the screen; a banner put away at the
// top moves above it too.
constexpr double kStatusBarHeight = 20;

std::shared_ptr<LayoutConstraint> pin(const std::shared_ptr<platform::View>& item, Attribute attribute,
                                      const std::shared_ptr<platform::View>& to, Attribute toAttribute) {
  return LayoutConstraint::create(item, attribute, LayoutConstraint::Relation::Equal, to, toAttribute, 1, 0);
}

void logPublicMessage(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

}  // namespace

// --- Creation ----------------------------------------------------------------------------------

ZUMAdViewController::ZUMAdViewController() : contentView_(platform::View::create(platform::Screen::main().bounds())) {}

ZUMAdViewController::~ZUMAdViewController() = default;

std::shared_ptr<ZUMAdViewController> ZUMAdViewController::create() {
  return std::shared_ptr<ZUMAdViewController>(new ZUMAdViewController());
}

std::shared_ptr<ZUMAdViewController> ZUMAdViewController::create(const platform::Coder& coder) {
  std::shared_ptr<ZUMAdViewController> controller(new ZUMAdViewController());
  if (!controller->initWithCoder(coder)) return nullptr;
  controller->madeFromArchive_ = true;
  return controller;
}

void ZUMAdViewController::registerClass() {
  platform::Coder::registerViewControllerClass(
      "ZUMAdViewController",
      [](const platform::Coder& coder) -> std::shared_ptr<platform::ViewController> { return create(coder); });
}

std::shared_ptr<ZUMAdViewController> ZUMAdViewController::self() {
  return std::static_pointer_cast<ZUMAdViewController>(shared_from_this());
}

// --- The host's view ------------------------------------------------------------------------------

void ZUMAdViewController::loadView() {
  std::shared_ptr<platform::View> archived;
  if (madeFromArchive_) {
    // The archived view is the host's view, as if the host had set it.
    platform::ViewController::loadView();
    archived = viewIfLoaded();
  }
  platform::ViewController::setView(contentView_);
  if (archived) setView(archived);
}

void ZUMAdViewController::setView(const std::shared_ptr<platform::View>& view) {
  platform::assertMainThread();
  if (view == originalContentView_) return;
  if (originalContentView_) {
    originalContentView_->removeFromSuperview();
    contentView_->removeConstraints({topConstraint_, bottomConstraint_, leadingConstraint_, trailingConstraint_});
  }
  originalContentView_ = view;
  platform::ViewController::setView(contentView_);
  if (!view) return;
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  contentView_->setBackgroundColor(view->backgroundColor());
  // Behind a banner that may already be there.
  contentView_->insertSubview(view, 0);
  bottomConstraint_ = pin(view, Attribute::Bottom, contentView_, Attribute::Bottom);
  topConstraint_ = pin(view, Attribute::Top, topLayoutGuide(), Attribute::Bottom);
  leadingConstraint_ = pin(view, Attribute::Leading, contentView_, Attribute::Leading);
  trailingConstraint_ = pin(view, Attribute::Trailing, contentView_, Attribute::Trailing);
  contentView_->addConstraints({bottomConstraint_, topConstraint_, leadingConstraint_, trailingConstraint_});
  // A banner already shown keeps its room.
  if (bannerPositionConstraintVertical_) updateAdViewHidden(!hasReceivedValidAd_ || adViewHidden_);
}

void ZUMAdViewController::viewDidLoad() {
  platform::ViewController::viewDidLoad();
  setUpBannerViewIfNeeded();
}

// --- The banner ------------------------------------------------------------------------------------

void ZUMAdViewController::setAdViewAdUnitID(std::string adUnitID) {
  platform::assertMainThread();
  adViewAdUnitID_ = std::move(adUnitID);
  setUpBannerViewIfNeeded();
}

void ZUMAdViewController::setRequest(const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  if (request == request_) return;
  const bool wasPublisher = std::dynamic_pointer_cast<PXRRequest>(request_) != nullptr;
  request_ = request;
  if (wasPublisher || !std::dynamic_pointer_cast<PXRRequest>(request)) return;
  if (bannerView_) {
    bannerView_->removeFromSuperview();
    bannerView_ = nullptr;
  }
  setUpBannerViewIfNeeded();
}

void ZUMAdViewController::setUpBannerViewIfNeeded() {
  if (!isViewLoaded() || adViewAdUnitID_.empty() || bannerView_) return;
  if (std::dynamic_pointer_cast<PXRRequest>(request_)) {
    bannerView_ = PXRBannerView::create(adSize_);
  } else {
    bannerView_ = ZUMBannerView::create(adSize_);
  }
  bannerView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  bannerView_->setRootViewController(shared_from_this());
  bannerView_->setDelegate(self());
  bannerView_->setAdUnitID(adViewAdUnitID_);
  bannerView_->loadRequest(request_);
  if (swipeRecognizer_) bannerView_->addGestureRecognizer(swipeRecognizer_);
  contentView_->addSubview(bannerView_);
  setUpPositionConstraints();
}

// --- Position ---------------------------------------------------------------------------------------

void ZUMAdViewController::setAdViewPositionVertical(std::int64_t position) {
  platform::assertMainThread();
  if (position == adViewPositionVertical_) return;
  adViewPositionVertical_ = position;
  if (effectiveVerticalPosition() != position) {
    logPublicMessage("adViewPositionVertical " + std::to_string(position) +
                     " is neither bottom (0) nor top (1); the banner stays at the bottom.");
  }
  bannerPositionUpdated();
}

void ZUMAdViewController::setAdViewPositionHorizontal(std::int64_t position) {
  platform::assertMainThread();
  if (position == adViewPositionHorizontal_) return;
  adViewPositionHorizontal_ = position;
  if (effectiveHorizontalPosition() != position) {
    logPublicMessage("adViewPositionHorizontal " + std::to_string(position) +
                     " is not leading (0), centre (1) or trailing (2); the banner stays in the centre.");
  }
  bannerPositionUpdated();
}

ZUMAdViewController::PositionVertical ZUMAdViewController::effectiveVerticalPosition() const {
  return adViewPositionVertical_ == kPositionTop ? kPositionTop : kPositionBottom;
}

ZUMAdViewController::PositionHorizontal ZUMAdViewController::effectiveHorizontalPosition() const {
  switch (adViewPositionHorizontal_) {
    case kPositionLeading:
      return kPositionLeading;
    case kPositionTrailing:
      return kPositionTrailing;
    default:
      return kPositionCenter;
  }
}

void ZUMAdViewController::setUpPositionConstraints() {
  if (!bannerView_) return;
  if (bannerPositionConstraintVertical_) contentView_->removeConstraint(bannerPositionConstraintVertical_);
  if (bannerPositionConstraintHorizontal_) contentView_->removeConstraint(bannerPositionConstraintHorizontal_);
  if (effectiveVerticalPosition() == kPositionTop) {
    bannerPositionConstraintVertical_ = pin(bannerView_, Attribute::Top, topLayoutGuide(), Attribute::Bottom);
  } else {
    bannerPositionConstraintVertical_ = pin(bannerView_, Attribute::Bottom, contentView_, Attribute::Bottom);
  }
  static constexpr Attribute kHorizontal[] = {Attribute::Leading, Attribute::CenterX, Attribute::Trailing};
  const Attribute horizontal = kHorizontal[effectiveHorizontalPosition()];
  bannerPositionConstraintHorizontal_ = pin(bannerView_, horizontal, contentView_, horizontal);
  contentView_->addConstraints({bannerPositionConstraintVertical_, bannerPositionConstraintHorizontal_});
  // A banner the host put away stays away, wherever it moves.
  updateAdViewHidden(!hasReceivedValidAd_ || adViewHidden_);
}

void ZUMAdViewController::bannerPositionUpdated() {
  // Rebuilding the constraints shows or hides the banner again.
  withoutVisibilityAnimation([&] {
    resetContentViewConstraints();
    setUpPositionConstraints();
  });
}

void ZUMAdViewController::resetContentViewConstraints() {
  if (topConstraint_) topConstraint_->setConstant(0);
  if (bottomConstraint_) bottomConstraint_->setConstant(0);
  updateLayout();
}

// --- Showing and hiding --------------------------------------------------------------------------

void ZUMAdViewController::updateAdViewHidden(bool hidden) {
  if (!bannerView_ || !bannerPositionConstraintVertical_) return;
  const double height = bannerView_->frame().height();
  if (effectiveVerticalPosition() == kPositionBottom) {
    if (bottomConstraint_) bottomConstraint_->setConstant(hidden ? 0 : -height);
    bannerPositionConstraintVertical_->setConstant(hidden ? height : 0);
  } else {
    if (topConstraint_) topConstraint_->setConstant(hidden ? 0 : height);
    bannerPositionConstraintVertical_->setConstant(hidden ? -kStatusBarHeight - height : 0);
  }
}

void ZUMAdViewController::updateLayout() {
  auto view = viewIfLoaded();
  if (!view) return;
  if (!animatesVisibility_) {
    view->setNeedsLayout();
    return;
  }
  platform::Animation::animate(kVisibilityAnimationSeconds, [view] { view->layoutIfNeeded(); });
}

template <class F>
void ZUMAdViewController::withoutVisibilityAnimation(F&& block) {
  const bool animates = std::exchange(animatesVisibility_, false);
  block();
  animatesVisibility_ = animates;
}

void ZUMAdViewController::setAdViewHidden(bool hidden) {
  platform::assertMainThread();
  if (hidden == adViewHidden_) return;
  adViewHidden_ = hidden;
  updateAdViewHidden(true);
  updateLayout();
  if (!bannerView_) return;
  if (!hidden) bannerView_->loadRequest(request_);
  bannerView_->setHidden(hidden);
}

ZUMImplemented ZUMAdViewController::adViewDidReceiveAd(ZUMBannerView&) {
  hasReceivedValidAd_ = true;
  if (!adViewHidden_) {
    updateAdViewHidden(false);
    updateLayout();
  }
  return kZUMImplemented;
}

// --- Swipes -------------------------------------------------------------------------------------

void ZUMAdViewController::setAllowsHidingAds(bool allows) {
  platform::assertMainThread();
  allowsHidingAds_ = allows;
  if (allows && !swipeRecognizer_) {
    swipeRecognizer_ = platform::SwipeGestureRecognizer::create();
    swipeRecognizer_->setDirection(platform::SwipeGestureRecognizer::Right);
    swipeRecognizer_->addTarget(self(), &ZUMAdViewController::bannerSwiped);
    if (bannerView_) bannerView_->addGestureRecognizer(swipeRecognizer_);
  } else if (!allows && swipeRecognizer_) {
    if (auto view = swipeRecognizer_->view()) view->removeGestureRecognizer(swipeRecognizer_);
    swipeRecognizer_ = nullptr;
  }
}

void ZUMAdViewController::bannerSwiped(platform::GestureRecognizer&) {
  if (handlingSwipe_) return;
  handlingSwipe_ = true;
  updateAdViewHidden(true);
  updateLayout();
  platform::DispatchQueue::main()->after(kSwipePauseSeconds,
                                         ZUMBindWeak(self(), &ZUMAdViewController::swipePauseEnded));
}

void ZUMAdViewController::swipePauseEnded() {
  if (bannerView_) bannerView_->loadRequest(request_);
  handlingSwipe_ = false;
}

// --- Rotation -------------------------------------------------------------------------------------

void ZUMAdViewController::willRotateToInterfaceOrientation(platform::InterfaceOrientation orientation,
                                                           double duration) {
  platform::ViewController::willRotateToInterfaceOrientation(orientation, duration);
  const bool toLandscape = platform::isInterfaceOrientationLandscape(orientation);
  const bool isLandscape =
      platform::isInterfaceOrientationLandscape(platform::Application::shared().statusBarOrientation());
  if (toLandscape == isLandscape) return;
  withoutVisibilityAnimation([&] {
    updateAdViewHidden(true);
    updateLayout();
  });
}

void ZUMAdViewController::didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) {
  platform::ViewController::didRotateFromInterfaceOrientation(from);
  if (!bannerView_) return;
  const bool landscape =
      platform::isInterfaceOrientationLandscape(platform::Application::shared().statusBarOrientation());
  bannerView_->setAdSize(landscape ? kZUMAdSizeSmartBannerLandscape : kZUMAdSizeSmartBannerPortrait);
}
