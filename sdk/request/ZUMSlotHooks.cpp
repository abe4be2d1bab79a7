#include "sdk/request/ZUMSlotHooks.h"

#include <mutex>
#include <utility>

#include "sdk/foundation/ZUMRegistrationPoint.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMSDKCoreController.h"

namespace {

// Guards the shared controller and the fetcher factory.
std::mutex& seamMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<ZUMSDKCoreController>& sharedController() {
  static std::shared_ptr<ZUMSDKCoreController> controller;
  return controller;
}

std::function<std::shared_ptr<ZUMAdFetcher>()>& fetcherFactory() {
  static std::function<std::shared_ptr<ZUMAdFetcher>()> factory;
  return factory;
}

}  // namespace

void ZUMRegisterSlotHooks(const std::function<void(ZUMSlotHooks&)>& fill) {
  ZUMRegistrationPoint<ZUMSlotHooks>::fill(fill);
}

ZUMSlotHooks ZUMCurrentSlotHooks() { return ZUMRegistrationPoint<ZUMSlotHooks>::current(); }

std::shared_ptr<ZUMSDKCoreController> ZUMSDKCoreController::sharedInstance() {
  std::lock_guard lock(seamMutex());
  return sharedController();
}

void ZUMSDKCoreController::setSharedInstance(std::shared_ptr<ZUMSDKCoreController> controller) {
  {
    std::lock_guard lock(seamMutex());
    std::swap(sharedController(), controller);
  }
  // The replaced controller, if any, goes here, outside the lock.
}

std::shared_ptr<ZUMAdFetcher> ZUMAdFetcher::create() {
  std::function<std::shared_ptr<ZUMAdFetcher>()> factory;
  {
    std::lock_guard lock(seamMutex());
    factory = fetcherFactory();
  }
  return factory ? factory() : nullptr;
}

void ZUMAdFetcher::setFactory(std::function<std::shared_ptr<ZUMAdFetcher>()> factory) {
  {
    std::lock_guard lock(seamMutex());
    std::swap(fetcherFactory(), factory);
  }
}
