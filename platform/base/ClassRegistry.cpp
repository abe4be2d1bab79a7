#include "platform/base/ClassRegistry.h"

#include "platform/base/TestingReset.h"

namespace platform {

ClassRegistry& ClassRegistry::shared() {
  static ClassRegistry* registry = [] {
    auto* made = new ClassRegistry();
    // Classes a test registered end with it.
    registerTestingReset(made, [made] {
      std::lock_guard lock(made->mutex_);
      made->entries_.clear();
    });
    return made;
  }();
  return *registry;
}

void ClassRegistry::add(std::string name, std::type_index base, ErasedFactory factory) {
  std::lock_guard lock(mutex_);
  entries_.insert_or_assign(std::move(name), Entry{base, std::move(factory)});
}

ClassRegistry::ErasedFactory ClassRegistry::find(std::string_view name, std::type_index base) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(name);
  if (it == entries_.end() || it->second.base != base) return {};
  return it->second.factory;
}

bool ClassRegistry::isRegistered(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return entries_.find(name) != entries_.end();
}

void ClassRegistry::unregisterClass(std::string_view name) {
  std::lock_guard lock(mutex_);
  if (auto it = entries_.find(name); it != entries_.end()) entries_.erase(it);
}

std::vector<std::string> ClassRegistry::names() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  result.reserve(entries_.size());
  for (const auto& entry : entries_) result.push_back(entry.first);
  return result;
}

}  // namespace platform
