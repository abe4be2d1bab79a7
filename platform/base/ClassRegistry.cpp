#include "platform/base/ClassRegistry.h"

#include <algorithm>
#include <set>

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

void ClassRegistry::add(std::string name, std::type_index base, ErasedFactory factory, ClassDescriptor descriptor) {
  std::lock_guard lock(mutex_);
  entries_.insert_or_assign(std::move(name), Entry{base, std::move(factory), std::move(descriptor)});
}

std::optional<ClassDescriptor> ClassRegistry::descriptor(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(name);
  if (it == entries_.end()) return std::nullopt;
  return it->second.descriptor;
}

bool ClassRegistry::inherits(std::string_view name, Member member, std::string_view value) const {
  std::lock_guard lock(mutex_);
  std::set<std::string_view> seen;
  for (auto it = entries_.find(name); it != entries_.end(); it = entries_.find(it->second.descriptor.superclass)) {
    if (!seen.insert(it->first).second) return false;
    const auto& values = it->second.descriptor.*member;
    if (std::find(values.begin(), values.end(), value) != values.end()) return true;
  }
  return false;
}

bool ClassRegistry::conformsToProtocol(std::string_view name, std::string_view protocol) const {
  return inherits(name, &ClassDescriptor::protocols, protocol);
}

bool ClassRegistry::instancesRespondToOperation(std::string_view name, std::string_view operation) const {
  return inherits(name, &ClassDescriptor::operations, operation);
}

bool ClassRegistry::respondsToClassOperation(std::string_view name, std::string_view operation) const {
  return inherits(name, &ClassDescriptor::classOperations, operation);
}

bool ClassRegistry::hasInitialiser(std::string_view name, std::string_view initialiser) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(name);
  if (it == entries_.end()) return false;
  const auto& initialisers = it->second.descriptor.initialisers;
  return std::find(initialisers.begin(), initialisers.end(), initialiser) != initialisers.end();
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
