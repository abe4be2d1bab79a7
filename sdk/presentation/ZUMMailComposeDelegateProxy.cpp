#include "sdk/presentation/ZUMMailComposeDelegateProxy.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "sdk/presentation/ZUMPlatformControllerDismissal.h"

std::shared_ptr<ZUMMailComposeDelegateProxy> ZUMMailComposeDelegateProxy::associatedDelegateProxyForController(
    const std::shared_ptr<platform::MailComposeViewController>& controller) {
  std::shared_ptr<ZUMMailComposeDelegateProxy> proxy(new ZUMMailComposeDelegateProxy());
  proxy->setMailComposeViewController(controller);
  return proxy;
}

void ZUMMailComposeDelegateProxy::setMailComposeViewController(
    const std::shared_ptr<platform::MailComposeViewController>& controller) {
  platform::assertMainThread();
  if (controller == controller_) return;
  if (controller_) {
    controller_->setMailComposeDelegate({});
    controller_ = nullptr;
  }
  auto self = std::move(strongSelf_);  // released last, after the fields are settled
  if (!controller) return;
  controller_ = controller;
  controller_->setMailComposeDelegate(weak_from_this());
  strongSelf_ = shared_from_this();
}

void ZUMMailComposeDelegateProxy::mailComposeControllerDidFinishWithResult(
    platform::MailComposeViewController& controller, platform::MailComposeResult result, platform::ErrorPtr error) {
  if (auto delegate = delegate_.lock()) {
    delegate->mailComposeControllerDidFinishWithResult(controller, result, std::move(error));
    return;
  }
  platform::DispatchQueue::main()->async([self = shared_from_this(), controller = controller_] {
    ZUMDismissPlatformController(controller, [self] { self->stopProxying(); });
  });
}

void ZUMMailComposeDelegateProxy::stopProxying() {
  auto keep = shared_from_this();
  setMailComposeViewController(nullptr);
  delegate_.reset();
}
