#include "sdk/presentation/ZUMSKStoreProductViewControllerDelegate.h"

#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "sdk/presentation/ZUMOverlayProxy.h"

std::shared_ptr<ZUMSKStoreProductViewControllerDelegate> ZUMSKStoreProductViewControllerDelegate::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMSKStoreProductViewControllerDelegate>(
      [] { return std::make_shared<ZUMSKStoreProductViewControllerDelegate>(); });
  return shared->get();
}

void ZUMSKStoreProductViewControllerDelegate::productViewControllerDidFinish(
    platform::StoreProductViewController& controller) {
  platform::assertMainThread();
  auto shared = std::static_pointer_cast<platform::ViewController>(controller.shared_from_this());
  if (auto proxy = ZUMOverlayProxy::overlayProxyForViewController(shared)) {
    proxy->relinquishScreenWithCompletion(nullptr);
    return;
  }
  auto presenting = controller.presentingViewController();
  if (!presenting) return;
  presenting->dismissViewControllerAnimated(true, [presenting] { presenting->becomeFirstResponder(); });
}
