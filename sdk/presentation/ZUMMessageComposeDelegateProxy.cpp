#include "sdk/presentation/ZUMMessageComposeDelegateProxy.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "sdk/presentation/ZUMPlatformControllerDismissal.h"

std::shared_ptr<ZUMMessageComposeDelegateProxy> ZUMMessageComposeDelegateProxy::associatedDelegateProxyForController(
    const std::shared_ptr<platform::MessageComposeViewController>& controller) {
  std::shared_ptr<ZUMMessageComposeDelegateProxy> proxy(new ZUMMessageComposeDelegateProxy());
  proxy->setMessageComposeViewController(controller);
  return proxy;
}

void ZUMMessageComposeDelegateProxy::setMessageComposeViewController(
    const std::shared_ptr<platform::MessageComposeViewController>& controller) {
  platform::assertMainThread();
  if (controller == controller_) return;
  if (controller_) {
    controller_->setMessageComposeDelegate({});
    controller_ = nullptr;
  }
  auto self = std::move(strongSelf_);  // released last, after the fields are settled
  if (!controller) return;
  controller_ = controller;
  controller_->setMessageComposeDelegate(weak_from_this());
  strongSelf_ = shared_from_this();
}

void ZUMMessageComposeDelegateProxy::messageComposeViewControllerDidFinishWithResult(
    platform::MessageComposeViewController& controller, platform::MessageComposeResult result) {
  if (auto delegate = delegate_.lock()) {
    delegate->messageComposeViewControllerDidFinishWithResult(controller, result);
    return;
  }
  platform::DispatchQueue::main()->async([self = shared_from_this(), controller = controller_] {
    ZUMDismissPlatformController(controller, [self] { self->stopProxying(); });
  });
}

void ZUMMessageComposeDelegateProxy::stopProxying() {
  auto keep = shared_from_this();
  setMessageComposeViewController(nullptr);
  delegate_.reset();
}
