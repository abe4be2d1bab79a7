#include "platform/ui/LocationManager.h"

#include <algorithm>
#include <mutex>

#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"

namespace platform {

namespace {

struct DeviceSide {
  std::mutex mutex;
  LocationAuthorizationStatus status = LocationAuthorizationStatus::NotDetermined;
  bool servicesEnabled = true;
  bool requested = false;
  std::optional<Location> location;
  std::vector<std::weak_ptr<LocationManager>> managers;
};

DeviceSide& side() {
  static DeviceSide* s = [] {
    auto* made = new DeviceSide();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~DeviceSide();
      new (made) DeviceSide();
    });
    return made;
  }();
  return *s;
}

std::vector<std::shared_ptr<LocationManager>> liveManagers() {
  auto& s = side();
  std::lock_guard lock(s.mutex);
  std::erase_if(s.managers, [](const auto& weak) { return weak.expired(); });
  std::vector<std::shared_ptr<LocationManager>> live;
  for (const auto& weak : s.managers) {
    if (auto manager = weak.lock()) live.push_back(std::move(manager));
  }
  return live;
}

bool isAuthorized(LocationAuthorizationStatus status) {
  return status == LocationAuthorizationStatus::AuthorizedAlways ||
         status == LocationAuthorizationStatus::AuthorizedWhenInUse;
}

}  // namespace

void LocationManager::registerClass() {
  ClassRegistry::shared().registerClass<Factory>(kClassName, [] { return std::make_shared<Factory>(); });
}

std::shared_ptr<LocationManager> LocationManager::create() {
  auto manager = std::make_shared<LocationManager>();
  auto& s = side();
  std::lock_guard lock(s.mutex);
  s.managers.push_back(manager);
  return manager;
}

LocationAuthorizationStatus LocationManager::authorizationStatus() {
  auto& s = side();
  std::lock_guard lock(s.mutex);
  return s.status;
}

bool LocationManager::locationServicesEnabled() {
  auto& s = side();
  std::lock_guard lock(s.mutex);
  return s.servicesEnabled;
}

bool LocationManager::canDeliver() {
  auto& s = side();
  std::lock_guard lock(s.mutex);
  return s.servicesEnabled && isAuthorized(s.status);
}

void LocationManager::requestWhenInUseAuthorization() {
  auto& s = side();
  std::lock_guard lock(s.mutex);
  if (s.status == LocationAuthorizationStatus::NotDetermined) s.requested = true;
}

void LocationManager::startUpdatingLocation() {
  if (updating_) return;
  updating_ = true;
  std::weak_ptr<LocationManager> weak = weak_from_this();
  DispatchQueue::main()->async([weak] {
    auto self = weak.lock();
    if (!self || !self->updating_ || !canDeliver()) return;
    std::optional<Location> current;
    {
      auto& s = side();
      std::lock_guard lock(s.mutex);
      current = s.location;
    }
    if (current) self->deliver(*current);
  });
}

void LocationManager::stopUpdatingLocation() { updating_ = false; }

void LocationManager::deliver(const Location& location) {
  location_ = location;
  if (auto delegate = delegate_.lock()) {
    delegate->locationManagerDidUpdateLocations(*this, {location});
  }
}

void LocationManager::setAuthorizationStatus(LocationAuthorizationStatus status) {
  {
    auto& s = side();
    std::lock_guard lock(s.mutex);
    if (s.status == status) return;
    s.status = status;
    s.requested = false;
  }
  for (auto& manager : liveManagers()) {
    std::weak_ptr<LocationManager> weak = manager;
    DispatchQueue::main()->async([weak, status] {
      auto self = weak.lock();
      if (!self) return;
      if (auto delegate = self->delegate_.lock()) {
        delegate->locationManagerDidChangeAuthorizationStatus(*self, status);
      }
    });
  }
}

void LocationManager::setLocationServicesEnabled(bool enabled) {
  auto& s = side();
  std::lock_guard lock(s.mutex);
  s.servicesEnabled = enabled;
}

void LocationManager::setDeviceLocation(std::optional<Location> location) {
  {
    auto& s = side();
    std::lock_guard lock(s.mutex);
    s.location = location;
  }
  if (!location) return;
  for (auto& manager : liveManagers()) {
    std::weak_ptr<LocationManager> weak = manager;
    DispatchQueue::main()->async([weak, fix = *location] {
      auto self = weak.lock();
      if (self && self->updating_ && canDeliver()) self->deliver(fix);
    });
  }
}

bool LocationManager::wasAuthorizationRequested() {
  auto& s = side();
  std::lock_guard lock(s.mutex);
  return s.requested;
}

}  // namespace platform
