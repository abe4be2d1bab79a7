#include "sdk/request/ZUMAdHooks.h"

#include <mutex>

namespace {

std::mutex& hooksMutex() {
  static std::mutex mutex;
  return mutex;
}

ZUMAdHooks& hooks() {
  static ZUMAdHooks value;
  return value;
}

}  // namespace

void ZUMRegisterAdHooks(const std::function<void(ZUMAdHooks&)>& fill) {
  if (!fill) return;
  std::lock_guard lock(hooksMutex());
  fill(hooks());
}

ZUMAdHooks ZUMCurrentAdHooks() {
  std::lock_guard lock(hooksMutex());
  return hooks();
}
