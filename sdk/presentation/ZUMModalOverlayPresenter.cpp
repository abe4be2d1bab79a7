#include "sdk/presentation/ZUMModalOverlayPresenter.h"

#include <numbers>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMOrientation.h"
#include "sdk/presentation/ZUMAdOrientationControlling.h"
#include "sdk/presentation/ZUMIntermission.h"
#include "sdk/presentation/ZUMViewController.h"

namespace {

using platform::InterfaceOrientationMask;

constexpr InterfaceOrientationMask kLandscapeBits = platform::kInterfaceOrientationMaskLandscape;
constexpr InterfaceOrientationMask kPortraitBits =
    platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown;

// What the application allows where the platform decides rotations: the key window.
InterfaceOrientationMask applicationOrientations() {
  return platform::Application::shared().supportedInterfaceOrientationsForWindow(platform::Window::keyWindow());
}

}  // namespace

std::shared_ptr<ZUMModalOverlayPresenter> ZUMModalOverlayPresenter::create() {
  return std::shared_ptr<ZUMModalOverlayPresenter>(new ZUMModalOverlayPresenter());
}

ZUMModalOverlayPresenter::~ZUMModalOverlayPresenter() { stopObservingForeground(); }

void ZUMModalOverlayPresenter::stopObservingForeground() {
  if (appForegroundObserver_) {
    platform::NotificationCenter::defaultCenter().removeObserver(std::exchange(appForegroundObserver_, nullptr));
  }
}

std::shared_ptr<platform::ViewController> ZUMModalOverlayPresenter::presentationViewController() const {
  return presented_.lock();
}

// --- Presenting and dismissing ------------------------------------------------------------------

void ZUMModalOverlayPresenter::presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                                         std::function<void()> completion) {
  platform::assertMainThread();
  auto controller = presented_.lock();
  if (!host || !controller) return;
  hideStatusBar();
  stopObservingForeground();
  std::weak_ptr<ZUMModalOverlayPresenter> weak = weak_from_this();
  appForegroundObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationWillEnterForegroundNotification, nullptr, platform::OperationQueue::main(),
      ZUMBindWeak(weak, &ZUMModalOverlayPresenter::appDidEnterForeground));
  host->presentViewController(controller, true, std::move(completion));
}

void ZUMModalOverlayPresenter::hideStatusBar() {
  auto controller = presented_.lock();
  if (!controller || controller->modalPresentationStyle() != platform::ModalPresentationStyle::FullScreen) return;
  if (auto session = controller->intermission()) session->participantWillOverrideStatusBarVisibility(*controller);
  platform::Application::shared().setStatusBarHidden(true);
}

void ZUMModalOverlayPresenter::dismissWithCompletionHandler(std::function<void()> handler) {
  platform::assertMainThread();
  auto controller = presented_.lock();
  auto presenting = controller ? controller->presentingViewController() : nullptr;
  stopObservingForeground();
  if (!presenting || presenting->presentedViewController() != controller) {
    if (handler) handler();
    return;
  }
  // The platform refuses a dismissal while a transition runs; ask again once it is over,
  // so the controller does not stay up holding its session.
  if (controller->isInTransition()) {
    platform::DispatchQueue::main()->after(platform::Animation::kDefaultDuration,
                                           [self = shared_from_this(), handler = std::move(handler)]() mutable {
                                             self->dismissWithCompletionHandler(std::move(handler));
                                           });
    return;
  }
  presenting->dismissViewControllerAnimated(true, std::move(handler));
}

// --- Orientation ------------------------------------------------------------------------------------

void ZUMModalOverlayPresenter::setNeedsUpdateOrientation() {
  auto controller = presented_.lock();
  auto* ad = dynamic_cast<ZUMAdOrientationControlling*>(controller.get());
  // An ad that asks for nothing (mask 0) is left alone by both updates.
  if (!ad || !controller->presentingViewController()) return;
  if (ZUMViewControllerOnlySupportsApplicationOrientation()) {
    updateViewControllerOrientation(controller);
  } else {
    forceUpdateViewControllerOrientation(controller);
  }
}

void ZUMModalOverlayPresenter::updateViewControllerOrientation(const std::shared_ptr<ZUMViewController>& controller) {
  auto* ad = dynamic_cast<ZUMAdOrientationControlling*>(controller.get());
  if (!ad) return;
  const InterfaceOrientationMask mask = ad->adOrientations();
  if ((mask & applicationOrientations()) == 0) return;
  controller->setSupportedInterfaceOrientations(mask);
  auto& application = platform::Application::shared();
  if (mask & platform::interfaceOrientationMask(application.statusBarOrientation())) return;

  // Each step waits for the previous platform transition to finish.
  std::weak_ptr<ZUMViewController> weak = controller;
  auto main = platform::DispatchQueue::main();
  main->async([weak, main] {
    auto controller = weak.lock();
    if (!controller) return;
    auto blank = ZUMViewController::create();
    blank->setSlot(controller->slot());
    blank->setSupportedInterfaceOrientations(controller->supportedInterfaceOrientations());
    blank->view()->setAlpha(0);
    controller->presentViewController(blank, false, [weak, main] {
      main->async([weak] {
        auto controller = weak.lock();
        if (!controller) return;
        controller->dismissViewControllerAnimated(false, [weak] {
          auto controller = weak.lock();
          if (controller) controller->viewChangedToOrientation(platform::Application::shared().statusBarOrientation());
        });
      });
    });
  });
}

// With o the status-bar orientation and bit its mask bit: a mask holding both families
// allows all four; otherwise the controller stays in o and the ad's family is allowed.
// Then the first row that matches:
//   allowed holds bit           oriented screen bounds   forced 0   no turn
//   o portrait or upside down   landscape bounds         forced 3   1 quarter turn
//   o landscape left (16)       portrait bounds          forced 1   1 quarter turn
//   o landscape right (8)       portrait bounds          forced 1   3 quarter turns
void ZUMModalOverlayPresenter::forceUpdateViewControllerOrientation(
    const std::shared_ptr<ZUMViewController>& controller) {
  auto* ad = dynamic_cast<ZUMAdOrientationControlling*>(controller.get());
  if (!ad) return;
  const InterfaceOrientationMask mask = ad->adOrientations();
  if (mask == 0) return;
  // Unknown (0): no bit, so no row matches and nothing turns.
  const InterfaceOrientationMask bit =
      platform::interfaceOrientationMask(platform::Application::shared().statusBarOrientation());

  InterfaceOrientationMask allowed;
  InterfaceOrientationMask supported;
  if (ZUMInterfaceOrientationMaskHasPortraitAndLandscape(mask)) {
    allowed = supported = platform::kInterfaceOrientationMaskAll;
  } else {
    supported = bit;
    allowed = (mask & kLandscapeBits) ? kLandscapeBits : kPortraitBits;
  }
  if (supported & applicationOrientations()) controller->setSupportedInterfaceOrientations(supported);

  auto device = ZUMDevice::sharedInstance();
  platform::Rect frame;
  platform::InterfaceOrientation forced = 0;
  int turns = 0;
  if (allowed & bit) {
    frame = device->standardizedOrientedScreenBounds();
  } else if (bit == 2 || bit == 4) {
    frame = device->standardizedLandscapeScreenBounds();
    forced = platform::kInterfaceOrientationLandscapeRight;
    turns = 1;
  } else if (bit == 16) {
    frame = device->standardizedPortraitScreenBounds();
    forced = platform::kInterfaceOrientationPortrait;
    turns = 1;
  } else if (bit == 8) {
    frame = device->standardizedPortraitScreenBounds();
    forced = platform::kInterfaceOrientationPortrait;
    turns = 3;
  } else {
    return;
  }
  ad->setForcedAdOrientation(forced);

  auto view = controller->view();
  platform::Animation::animate(ad->orientationUpdateAnimationDuration(), [view, frame, turns] {
    view->setTransform(platform::AffineTransform::identity());
    view->setFrame(frame);
    if (turns == 0) return;
    const platform::Size size = view->frame().size;
    platform::AffineTransform transform = view->transform();
    if (turns % 2 == 1) {
      const double d = size.width * 0.5 - size.height * 0.5;
      transform = transform.translated(-d, d);
    }
    view->setTransform(transform.rotated(turns * std::numbers::pi / 2));
    view->setNeedsLayout();
  });
  controller->viewChangedToOrientation(ad->forcedAdOrientation());
}
