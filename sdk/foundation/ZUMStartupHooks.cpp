#include "sdk/foundation/ZUMStartupHooks.h"

#include <mutex>

namespace {

std::mutex& hooksMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}

ZUMStartupHooks& hooks() {
  static auto* instance = new ZUMStartupHooks();
  return *instance;
}

}  // namespace

void ZUMRegisterStartupHooks(const std::function<void(ZUMStartupHooks&)>& fill) {
  if (!fill) return;
  std::lock_guard lock(hooksMutex());
  fill(hooks());
}

ZUMStartupHooks ZUMCurrentStartupHooks() {
  std::lock_guard lock(hooksMutex());
  return hooks();
}
