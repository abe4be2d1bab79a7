#include "platform/ui/AdvertisingIdentifierManager.h"

#include "platform/base/TestingReset.h"

namespace platform {

AdvertisingIdentifierManager& AdvertisingIdentifierManager::shared() {
  static AdvertisingIdentifierManager* manager = [] {
    auto* made = new AdvertisingIdentifierManager();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~AdvertisingIdentifierManager();
      new (made) AdvertisingIdentifierManager();
    });
    return made;
  }();
  return *manager;
}

std::string AdvertisingIdentifierManager::advertisingIdentifier() const {
  std::lock_guard lock(mutex_);
  return trackingEnabled_ ? identifier_ : std::string(kZeroIdentifier);
}

bool AdvertisingIdentifierManager::isAdvertisingTrackingEnabled() const {
  std::lock_guard lock(mutex_);
  return trackingEnabled_;
}

void AdvertisingIdentifierManager::setAdvertisingIdentifier(std::string identifier) {
  std::lock_guard lock(mutex_);
  identifier_ = std::move(identifier);
}

void AdvertisingIdentifierManager::setAdvertisingTrackingEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  trackingEnabled_ = enabled;
}

}  // namespace platform
