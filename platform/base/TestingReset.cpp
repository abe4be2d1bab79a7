#include "platform/base/TestingReset.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::pair<const void*, std::function<void()>>> resets;
};

Registry& registry() {
  static auto* instance = new Registry();  // resets may be registered while the process exits
  return *instance;
}

}  // namespace

void registerTestingReset(const void* key, std::function<void()> reset) {
  if (!reset) return;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  if (std::any_of(r.resets.begin(), r.resets.end(), [&](const auto& entry) { return entry.first == key; })) return;
  r.resets.emplace_back(key, std::move(reset));
}

void runTestingResets() {
  std::vector<std::pair<const void*, std::function<void()>>> resets;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    resets = r.resets;  // a reset may make and register another owner
  }
  for (auto it = resets.rbegin(); it != resets.rend(); ++it) it->second();
}

}  // namespace platform
