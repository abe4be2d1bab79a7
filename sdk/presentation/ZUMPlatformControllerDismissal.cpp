#include "sdk/presentation/ZUMPlatformControllerDismissal.h"

#include "platform/ui/ViewController.h"
#include "sdk/presentation/ZUMOverlayProxy.h"

void ZUMDismissPlatformController(const std::shared_ptr<platform::ViewController>& controller,
                                  std::function<void()> completion) {
  if (auto proxy = ZUMOverlayProxy::overlayProxyForViewController(controller)) {
    proxy->relinquishScreenWithCompletion(std::move(completion));
    return;
  }
  auto presenting = controller ? controller->presentingViewController() : nullptr;
  if (!presenting) {
    if (completion) completion();
    return;
  }
  presenting->dismissViewControllerAnimated(true, std::move(completion));
}
