#include "sdk/telemetry/ZUMLoggingHierarchy.h"

#include <algorithm>

#include "platform/base/NotificationCenter.h"
#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/telemetry/ZUMFennickLogger.h"

namespace {

template <class Map>
void eraseDead(Map& map) {
  std::erase_if(map, [](const auto& entry) { return entry.first.expired() || entry.second.expired(); });
}

}  // namespace

std::shared_ptr<ZUMLoggingHierarchy> ZUMLoggingHierarchy::sharedInstance() {
  static auto* shared =
      new platform::ResettableShared<ZUMLoggingHierarchy>([] { return std::make_shared<ZUMLoggingHierarchy>(); });
  return shared->get();
}

void ZUMLoggingHierarchy::setLogger(const std::shared_ptr<ZUMFennickLogger>& logger,
                                    const std::shared_ptr<void>& root) {
  if (!root) return;
  {
    std::lock_guard lock(mutex_);
    if (logger) {
      objectLogger_[root] = logger;
    } else {
      objectLogger_.erase(root);
    }
    objectsRootLoggingObject_[root] = root;
    purgeIfGrown();
  }
  platform::NotificationCenter::defaultCenter().post(kZUMLoggingHierarchyRootObjectLoggerDidChangeNotification, root);
}

void ZUMLoggingHierarchy::linkObject(const std::shared_ptr<void>& object,
                                     const std::vector<std::shared_ptr<void>>& children) {
  if (!object) return;
  std::shared_ptr<void> root;  // released after the lock: it may be the last owner
  std::lock_guard lock(mutex_);
  root = rootLocked(object);
  if (!root) {
    ZUMLog(kZUMLogLevelDebug, "Fennick: children linked below an object without a root are not linked.");
    return;
  }
  for (const auto& child : children) {
    if (child) objectsRootLoggingObject_[child] = root;
  }
  purgeIfGrown();
}

std::shared_ptr<ZUMFennickLogger> ZUMLoggingHierarchy::loggerForObject(const std::shared_ptr<void>& object) const {
  std::shared_ptr<void> root;  // released after the lock: it may be the last owner
  std::lock_guard lock(mutex_);
  root = rootLocked(object);
  if (!root) return nullptr;
  auto logger = objectLogger_.find(root);
  return logger == objectLogger_.end() ? nullptr : logger->second.lock();
}

std::shared_ptr<void> ZUMLoggingHierarchy::rootObjectForObject(const std::shared_ptr<void>& object) const {
  std::lock_guard lock(mutex_);
  return rootLocked(object);  // handed to the caller, released outside the lock
}

void ZUMLoggingHierarchy::removeObject(const std::weak_ptr<void>& object) {
  std::lock_guard lock(mutex_);
  objectsRootLoggingObject_.erase(object);
  objectLogger_.erase(object);
}

std::size_t ZUMLoggingHierarchy::entryCount() const {
  std::lock_guard lock(mutex_);
  return objectsRootLoggingObject_.size() + objectLogger_.size();
}

std::shared_ptr<void> ZUMLoggingHierarchy::rootLocked(const std::shared_ptr<void>& object) const {
  if (!object) return nullptr;
  auto entry = objectsRootLoggingObject_.find(object);
  return entry == objectsRootLoggingObject_.end() ? nullptr : entry->second.lock();
}

void ZUMLoggingHierarchy::purgeIfGrown() {
  if (objectsRootLoggingObject_.size() + objectLogger_.size() < purgeThreshold_) return;
  eraseDead(objectsRootLoggingObject_);
  eraseDead(objectLogger_);
  // Twice what lives: purging stays a small constant cost per entry added.
  purgeThreshold_ = std::max(kMinimumPurgeThreshold, 2 * (objectsRootLoggingObject_.size() + objectLogger_.size()));
}

platform::NotificationCenter::Token ZUMLoggingHierarchy::linkObjectObservingRootLogger(
    const std::shared_ptr<void>& object, const std::shared_ptr<void>& child, std::function<void()> changed) {
  linkObject(object, {child});
  auto root = rootObjectForObject(child);
  // Only a real root is observed: an observer of no object would hear every tree.
  if (!root) return {};
  return platform::NotificationCenter::defaultCenter().addObserver(
      kZUMLoggingHierarchyRootObjectLoggerDidChangeNotification, root, nullptr,
      [changed = std::move(changed)](const platform::Notification&) { ZUMRunOnMainThread(changed); });
}
