#include "sdk/presentation/ZUMTransparentOverlayPresenter.h"

#include <algorithm>
#include <utility>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Color.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/presentation/ZUMUnclickableView.h"
#include "sdk/presentation/ZUMViewController.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr platform::TimeInterval kSlideInDuration = 0.4;
constexpr platform::TimeInterval kFadeOutDuration = 0.2;

platform::Rect applicationFrame() { return ZUMDevice::sharedInstance()->standardizedOrientedApplicationFrame(); }

platform::InterfaceOrientation statusBarOrientation() { return platform::Application::shared().statusBarOrientation(); }

}  // namespace

std::shared_ptr<ZUMTransparentOverlayPresenter> ZUMTransparentOverlayPresenter::create() {
  return std::shared_ptr<ZUMTransparentOverlayPresenter>(new ZUMTransparentOverlayPresenter());
}

ZUMTransparentOverlayPresenter::ZUMTransparentOverlayPresenter() {
  const auto portrait = ZUMDevice::sharedInstance()->standardizedPortraitScreenBounds();
  const double side = std::max(portrait.width(), portrait.height());
  pivotView_ = ZUMUnclickableView::create({0, 0, side, side});
  cropView_ = ZUMUnclickableView::create();
}

ZUMTransparentOverlayPresenter::~ZUMTransparentOverlayPresenter() { stopObserving(); }

void ZUMTransparentOverlayPresenter::stopObserving() {
  auto& center = platform::NotificationCenter::defaultCenter();
  if (orientationChangeListener_) center.removeObserver(std::exchange(orientationChangeListener_, nullptr));
  if (placementDisappearanceObserver_) center.removeObserver(std::exchange(placementDisappearanceObserver_, nullptr));
}

platform::Rect ZUMTransparentOverlayPresenter::frameWithSize(platform::Size size, const platform::Rect& frame) {
  const auto f = frame.standardized();
  return {f.midX() - size.width / 2, f.midY() - size.height / 2, size.width, size.height};
}

platform::AffineTransform ZUMTransparentOverlayPresenter::transformForOrientation(platform::InterfaceOrientation) {
  return platform::AffineTransform::identity();
}

platform::Rect ZUMTransparentOverlayPresenter::pivotedApplicationFrameForOrientation(
    platform::InterfaceOrientation) const {
  return frameWithSize(applicationFrame().size, pivotView_->bounds());
}

std::shared_ptr<platform::ViewController> ZUMTransparentOverlayPresenter::presentationViewController() const {
  auto controller = presented_.lock();
  auto view = controller ? controller->viewIfLoaded() : nullptr;
  auto window = view ? view->window() : nullptr;
  if (!window) window = ZUMApplication::sharedInstance()->mainWindow();
  std::shared_ptr<platform::ViewController> top = window ? window->rootViewController() : nullptr;
  while (top && top->presentedViewController()) top = top->presentedViewController();
  return top;
}

// --- Presenting ----------------------------------------------------------------------------------

void ZUMTransparentOverlayPresenter::presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                                               std::function<void()> completion) {
  platform::assertMainThread();
  auto hostView = host ? host->viewIfLoaded() : nullptr;
  auto window = hostView ? hostView->window() : nullptr;
  if (!window) window = ZUMApplication::sharedInstance()->mainWindow();
  auto controller = presented_.lock();
  if (!window || !controller) return;
  window->addSubview(pivotView_);
  // The platform tells a controller whose view joins a window of its appearance, as it
  // would for a presentation; the full-screen ad controllers configure themselves then.
  controller->viewWillAppear(false);
  composeTransparentInterstitialViewsForPresentation();
  std::weak_ptr<ZUMViewController> weak = controller;
  animateTransparentInterstitialPresentationWithCompletionHandler([weak, completion = std::move(completion)] {
    if (auto shown = weak.lock()) shown->viewDidAppear(false);
    if (completion) completion();
  });
}

void ZUMTransparentOverlayPresenter::composeTransparentInterstitialViewsForPresentation() {
  auto controller = presented_.lock();
  if (!controller) return;
  auto view = controller->view();
  view->setBackgroundColor(platform::Color::clear());
  pivotView_->setFrame(frameWithSize(pivotView_->bounds().size, applicationFrame()));
  pivotView_->setOpaque(false);
  pivotView_->setBackgroundColor(platform::Color::clear());
  const auto orientation = statusBarOrientation();
  cropView_->setFrame(pivotedApplicationFrameForOrientation(orientation));
  view->setFrame(cropView_->bounds());
  view->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  pivotView_->addSubview(cropView_);
  cropView_->addSubview(view);
  pivotView_->setTransform(transformForOrientation(orientation));
  controller->viewChangedToOrientation(orientation);

  stopObserving();
  auto& center = platform::NotificationCenter::defaultCenter();
  std::weak_ptr<ZUMTransparentOverlayPresenter> weak = weak_from_this();
  orientationChangeListener_ = center.addObserver(platform::kApplicationDidChangeStatusBarOrientationNotification,
                                                  nullptr, nullptr, [weak](const platform::Notification&) {
                                                    if (auto self = weak.lock())
                                                      self->updateTransparentInterstitialOrientation();
                                                  });
  if (auto slot = controller->slot()) {
    std::weak_ptr<ZUMViewController> weakController = controller;
    placementDisappearanceObserver_ =
        center.addObserver(kZUMSlotDidLeaveWindowNotification, slot, platform::OperationQueue::main(),
                           [weakController](const platform::Notification&) {
                             auto strong = weakController.lock();
                             auto shown = strong ? strong->viewIfLoaded() : nullptr;
                             if (shown && shown->window()) strong->relinquishScreenWithCompletion(nullptr);
                           });
  }
}

void ZUMTransparentOverlayPresenter::animateTransparentInterstitialPresentationWithCompletionHandler(
    std::function<void()> handler) {
  const double drop = applicationFrame().height();
  auto center = pivotView_->center();
  pivotView_->setCenter({center.x, center.y + drop});
  platform::Animation::animate(
      kSlideInDuration, [pivot = pivotView_, center] { pivot->setCenter(center); },
      [handler = std::move(handler)](bool) {
        if (handler) handler();
      });
}

void ZUMTransparentOverlayPresenter::updateTransparentInterstitialOrientation() {
  const auto orientation = statusBarOrientation();
  std::weak_ptr<ZUMTransparentOverlayPresenter> weak = weak_from_this();
  platform::Animation::animate(
      platform::Application::shared().statusBarOrientationAnimationDuration(),
      [weak, orientation] {
        auto self = weak.lock();
        if (!self) return;
        self->cropView_->setFrame(self->pivotedApplicationFrameForOrientation(orientation));
        const auto frame = applicationFrame();
        self->pivotView_->setCenter({frame.midX(), frame.midY()});
        self->pivotView_->setTransform(transformForOrientation(orientation));
      },
      [weak, orientation](bool) {
        auto self = weak.lock();
        auto controller = self ? self->presented_.lock() : nullptr;
        if (controller) controller->viewChangedToOrientation(orientation);
      });
}

// --- Dismissing ----------------------------------------------------------------------------------

void ZUMTransparentOverlayPresenter::dismissWithCompletionHandler(std::function<void()> handler) {
  platform::assertMainThread();
  stopObserving();
  auto controller = presented_.lock();
  auto view = controller ? controller->viewIfLoaded() : nullptr;
  if (controller) controller->viewWillDisappear(false);
  std::weak_ptr<ZUMViewController> weak = controller;
  platform::Animation::animate(
      kFadeOutDuration,
      [view] {
        if (view) view->setAlpha(0);
      },
      [pivot = pivotView_, view, weak, handler = std::move(handler)](bool) {
        pivot->removeFromSuperview();
        if (view) view->removeFromSuperview();
        if (auto gone = weak.lock()) gone->viewDidDisappear(false);
        if (handler) handler();
      });
}
