// Which Fennick logger an ad object logs through. Ad objects form trees (an interstitial
// below its slot, the slot's ad view below the slot); only a tree's root has a logger,
// and every object of the tree finds it here. The hierarchy records each object's root
// and each root's logger without keeping either alive: the root (or whoever made the
// logger) holds the logger.
//
// Objects are known by the identity of their shared ownership, which no later object
// can take while the hierarchy remembers it: a new object is never mistaken for a dead
// one that happened to live at the same address. Entries of objects, roots and loggers
// that have gone read as absent and are purged as the tables grow, so the tables keep
// pace with the living ad objects, not with every ad ever made.
//
// Rules the callers rely on:
// - linkObject() works downward from an object already in the hierarchy (a root, or an
//   object linked below one); below an object without a root it changes nothing, so a
//   root registers itself (setLogger(nullptr, root)) before linking its children.
// - kZUMLoggingHierarchyRootObjectLoggerDidChangeNotification is posted with the root
//   as its object. Observers must name a real root as the object they observe: an
//   observer of no object would hear every root's change.
//
// Any thread. Lookups see every change made before them; the notification is posted on
// the caller's thread after the tables have changed.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/base/NotificationCenter.h"

class ZUMFennickLogger;

inline constexpr const char* kZUMLoggingHierarchyRootObjectLoggerDidChangeNotification =
    "ZUMLoggingHierarchyRootObjectLoggerDidChangeNotification";

class ZUMLoggingHierarchy {
 public:
  // Made once; dropped between tests.
  static std::shared_ptr<ZUMLoggingHierarchy> sharedInstance();

  // Makes `root` a root (its own root) with `logger` (nullptr: none any more), then posts
  // the change. Nothing for no root.
  void setLogger(const std::shared_ptr<ZUMFennickLogger>& logger, const std::shared_ptr<void>& root);
  // Gives each child the object's current root, replacing any earlier one. Nothing when
  // the object has no root.
  void linkObject(const std::shared_ptr<void>& object, const std::vector<std::shared_ptr<void>>& children);
  // The logger of the object's root; nullptr for no object, no root, or a root without a
  // living logger.
  std::shared_ptr<ZUMFennickLogger> loggerForObject(const std::shared_ptr<void>& object) const;
  std::shared_ptr<void> rootObjectForObject(const std::shared_ptr<void>& object) const;
  // Links `child` below `object` (as linkObject()) and observes the root that gives it:
  // `changed` runs on the main thread after each change of that root's logger. The
  // observer to remove; none when the child got no root.
  platform::NotificationCenter::Token linkObjectObservingRootLogger(const std::shared_ptr<void>& object,
                                                                    const std::shared_ptr<void>& child,
                                                                    std::function<void()> changed);
  // Forgets the object, as a child and as a root. A weak reference names it too, so an
  // object may remove itself while it ends.
  void removeObject(const std::weak_ptr<void>& object);

  // Entries held in both tables, living or not yet purged.
  std::size_t entryCount() const;

 private:
  using Identity = std::weak_ptr<void>;
  using IdentityLess = std::owner_less<Identity>;

  std::shared_ptr<void> rootLocked(const std::shared_ptr<void>& object) const;  // under mutex_
  void purgeIfGrown();                                                          // under mutex_

  mutable std::mutex mutex_;
  std::map<Identity, std::weak_ptr<void>, IdentityLess> objectsRootLoggingObject_;
  std::map<Identity, std::weak_ptr<ZUMFennickLogger>, IdentityLess> objectLogger_;
  std::size_t purgeThreshold_ = kMinimumPurgeThreshold;
  static constexpr std::size_t kMinimumPurgeThreshold = 64;
};
