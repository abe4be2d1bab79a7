#include "platform/base/NotificationCenter.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/OperationQueue.h"
#include "platform/base/TestingReset.h"

namespace platform {

struct NotificationCenter::Registration {
  std::string name;              // empty: any name
  const void* object = nullptr;  // nullptr: any object
  std::weak_ptr<void> objectAlive;
  const void* observer = nullptr;  // nullptr for block observers
  std::weak_ptr<void> observerAlive;
  std::shared_ptr<OperationQueue> queue;
  Block block;
  std::atomic<bool> removed{false};

  bool observerGone() const { return observer != nullptr && observerAlive.expired(); }

  bool live() const { return !removed.load() && !observerGone(); }

  bool matches(const Notification& notification) const {
    if (!name.empty() && name != notification.name()) return false;
    if (object == nullptr) return true;
    // An ending object is known by its control block, which no other object can share
    // while a weak reference to it remains.
    if (notification.endingObject() == object) {
      const auto& ending = notification.endingIdentity();
      return !ending.owner_before(objectAlive) && !objectAlive.owner_before(ending);
    }
    // An observed object that is gone matches nothing, even a new object that happens
    // to live at its address.
    return notification.object().get() == object && !objectAlive.expired();
  }
};

NotificationCenter& NotificationCenter::defaultCenter() {
  // Never destroyed: other threads may still post at exit.
  static NotificationCenter* const center = [] {
    auto* made = new NotificationCenter();
    // Observers registered by one test (and the locals they capture) end with it.
    registerTestingReset(made, [made] { made->removeIf([](const Registration&) { return true; }); });
    return made;
  }();
  return *center;
}

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

void NotificationCenter::add(std::shared_ptr<Registration> registration) {
  std::lock_guard lock(mutex_);
  registrations_.push_back(std::move(registration));
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, const std::shared_ptr<void>& object,
                                                          std::shared_ptr<OperationQueue> queue, Block block) {
  if (!block) return nullptr;
  auto registration = std::make_shared<Registration>();
  registration->name = std::move(name);
  registration->object = object.get();
  registration->objectAlive = object;
  registration->queue = std::move(queue);
  registration->block = std::move(block);
  add(registration);
  return registration;
}

void NotificationCenter::addObserver(const std::shared_ptr<void>& observer, Block block, std::string name,
                                     const std::shared_ptr<void>& object) {
  if (!observer || !block) return;
  auto registration = std::make_shared<Registration>();
  registration->name = std::move(name);
  registration->object = object.get();
  registration->objectAlive = object;
  registration->observer = observer.get();
  registration->observerAlive = observer;
  registration->block = std::move(block);
  add(std::move(registration));
}

void NotificationCenter::removeObserver(const void* observerOrToken) {
  if (!observerOrToken) return;
  removeIf([&](const Registration& r) { return &r == observerOrToken || r.observer == observerOrToken; });
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name, const void* object) {
  if (!observer) return;
  removeIf([&](const Registration& r) {
    return r.observer == observer && (name.empty() || r.name == name) && (object == nullptr || r.object == object);
  });
}

void NotificationCenter::removeIf(const std::function<bool(const Registration&)>& predicate) {
  // Released after the lock: the last reference to a block may own objects whose
  // destructors use this center.
  std::vector<std::shared_ptr<Registration>> removed;
  std::lock_guard lock(mutex_);
  if (std::none_of(registrations_.begin(), registrations_.end(),
                   [&](const auto& registration) { return predicate(*registration); })) {
    return;
  }
  std::vector<std::shared_ptr<Registration>> kept;
  kept.reserve(registrations_.size());
  for (auto& registration : registrations_) {
    if (predicate(*registration)) {
      registration->removed = true;
      removed.push_back(std::move(registration));
    } else {
      kept.push_back(std::move(registration));
    }
  }
  registrations_ = std::move(kept);
}

void NotificationCenter::post(const Notification& notification) {
  if (notification.name().empty()) return;
  removeIf([](const Registration& r) { return r.observerGone(); });
  std::vector<std::shared_ptr<Registration>> matching;
  {
    std::lock_guard lock(mutex_);
    for (const auto& registration : registrations_) {
      if (registration->matches(notification)) matching.push_back(registration);
    }
  }
  for (const auto& registration : matching) {
    if (!registration->live()) continue;
    // Held while its block runs, so that it cannot die halfway through (on another
    // thread, or by the block dropping its last owner).
    std::shared_ptr<void> observer = registration->observerAlive.lock();
    if (registration->observer && !observer) continue;
    if (registration->queue) {
      registration->queue->addOperation([registration, notification] {
        if (registration->live()) registration->block(notification);
      });
    } else {
      registration->block(notification);
    }
  }
}

void NotificationCenter::post(std::string name, std::shared_ptr<void> object) {
  post(Notification(std::move(name), std::move(object)));
}

void NotificationCenter::post(std::string name, std::shared_ptr<void> object, nlohmann::ordered_json userInfo) {
  post(Notification(std::move(name), std::move(object), std::move(userInfo)));
}

}  // namespace platform
