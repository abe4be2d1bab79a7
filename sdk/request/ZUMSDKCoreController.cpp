#include "sdk/request/ZUMSDKCoreController.h"

#include <utility>

#include "sdk/foundation/ZUMRegistrationPoint.h"

std::shared_ptr<ZUMSDKCoreController> ZUMSDKCoreController::sharedInstance() {
  return ZUMRegistrationPoint<std::shared_ptr<ZUMSDKCoreController>>::current();
}

void ZUMSDKCoreController::setSharedInstance(std::shared_ptr<ZUMSDKCoreController> controller) {
  ZUMRegistrationPoint<std::shared_ptr<ZUMSDKCoreController>>::set(std::move(controller));
}
