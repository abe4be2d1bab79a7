#include "sdk/presentation/ZUMOverlayProxy.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/presentation/ZUMIntermission.h"

namespace {

// The key under which a controller keeps its proxy.
const char kProxyKey = 0;

}  // namespace

std::shared_ptr<ZUMOverlayProxy> ZUMOverlayProxy::overlayProxyForViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  if (!controller) return nullptr;
  return std::static_pointer_cast<ZUMOverlayProxy>(controller->associatedObject(&kProxyKey));
}

std::shared_ptr<ZUMOverlayProxy> ZUMOverlayProxy::create(const std::shared_ptr<platform::ViewController>& controller) {
  if (!controller || controller->associatedObject(&kProxyKey)) return nullptr;
  std::shared_ptr<ZUMOverlayProxy> proxy(new ZUMOverlayProxy(controller));
  controller->setAssociatedObject(&kProxyKey, proxy);
  return proxy;
}

ZUMOverlayProxy::~ZUMOverlayProxy() {
  // Its controller is gone while the proxy still holds the screen: leave explicitly.
  if (auto session = std::exchange(intermission_, nullptr)) session->participantDidRelinquishScreen(*this);
}

void ZUMOverlayProxy::presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                                std::function<void()> completion) {
  platform::assertMainThread();
  if (intermission_) return;
  auto controller = viewController();
  if (!host || !controller) return;
  intermission_ = ZUMIntermission::intermissionForSlot(slot());
  if (intermission_) intermission_->addParticipant(shared_from_this());
  host->presentViewController(controller, true, std::move(completion));
  // Refused by the platform (the host presents another controller, or is not on screen).
  if (!controller->presentingViewController()) relinquishScreenWithCompletion(nullptr);
}

void ZUMOverlayProxy::relinquishScreenWithCompletion(std::function<void()> completion) {
  platform::assertMainThread();
  if (intermission_) intermission_->participantWillRelinquishScreen(*this);
  auto finish = [self = shared_from_this(), completion = std::move(completion)] {
    if (completion) completion();
    if (auto session = std::exchange(self->intermission_, nullptr)) session->participantDidRelinquishScreen(*self);
  };
  dismiss(std::move(finish));
}

void ZUMOverlayProxy::dismiss(std::function<void()> finish) {
  auto controller = viewController();
  auto presenting = controller ? controller->presentingViewController() : nullptr;
  if (!presenting) {
    finish();  // it already left the screen by other means
  } else if (controller->isInTransition()) {
    // The platform refuses a dismissal during a transition: ask again once it is over.
    platform::DispatchQueue::main()->after(
        platform::Animation::kDefaultDuration,
        [self = shared_from_this(), finish = std::move(finish)]() mutable { self->dismiss(std::move(finish)); });
  } else {
    presenting->dismissViewControllerAnimated(true, std::move(finish));
  }
}
