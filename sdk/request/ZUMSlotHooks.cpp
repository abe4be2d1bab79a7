#include "sdk/request/ZUMSlotHooks.h"

#include <mutex>
#include <utility>

#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMSDKCoreController.h"

namespace {

std::mutex& hooksMutex() {
  static std::mutex mutex;
  return mutex;
}

ZUMSlotHooks& hooks() {
  static ZUMSlotHooks value;
  return value;
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
  if (!fill) return;
  std::lock_guard lock(hooksMutex());
  fill(hooks());
}

ZUMSlotHooks ZUMCurrentSlotHooks() {
  std::lock_guard lock(hooksMutex());
  return hooks();
}

std::shared_ptr<ZUMSDKCoreController> ZUMSDKCoreController::sharedInstance() {
  std::lock_guard lock(hooksMutex());
  return sharedController();
}

void ZUMSDKCoreController::setSharedInstance(std::shared_ptr<ZUMSDKCoreController> controller) {
  {
    std::lock_guard lock(hooksMutex());
    std::swap(sharedController(), controller);
  }
  // The replaced controller, if any, goes here, outside the lock.
}

std::shared_ptr<ZUMAdFetcher> ZUMAdFetcher::create() {
  std::function<std::shared_ptr<ZUMAdFetcher>()> factory;
  {
    std::lock_guard lock(hooksMutex());
    factory = fetcherFactory();
  }
  return factory ? factory() : nullptr;
}

void ZUMAdFetcher::setFactory(std::function<std::shared_ptr<ZUMAdFetcher>()> factory) {
  {
    std::lock_guard lock(hooksMutex());
    std::swap(fetcherFactory(), factory);
  }
}
