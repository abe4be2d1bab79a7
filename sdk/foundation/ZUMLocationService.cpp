#include "sdk/foundation/ZUMLocationService.h"

#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMLocation.h"
#include "sdk/foundation/ZUMThreading.h"

std::shared_ptr<ZUMLocationService> ZUMLocationService::sharedInstance() {
  static auto* shared =
      new platform::ResettableShared<ZUMLocationService>([] { return std::make_shared<ZUMLocationService>(); });
  return shared->get();
}

bool ZUMLocationService::isAllowed() const { return featureEnabled_ && publisherAuthorized_; }

std::shared_ptr<ZUMLocation> ZUMLocationService::location() const {
  std::lock_guard lock(mutex_);
  return isAllowed() ? location_ : nullptr;
}

void ZUMLocationService::setFeatureEnabled(bool enabled) {
  ZUMRunOnMainThread([self = shared_from_this(), enabled] {
    {
      std::lock_guard lock(self->mutex_);
      self->featureEnabled_ = enabled;
      if (!enabled) self->location_.reset();
    }
    if (!enabled) self->stop();
  });
}

void ZUMLocationService::setPublisherAuthorized(bool authorized) {
  ZUMRunOnMainThread([self = shared_from_this(), authorized] {
    {
      std::lock_guard lock(self->mutex_);
      self->publisherAuthorized_ = authorized;
      if (!authorized) self->location_.reset();
    }
    if (!authorized) self->stop();
  });
}

void ZUMLocationService::updateLocation() {
  ZUMRunOnMainThread([self = shared_from_this()] {
    {
      std::lock_guard lock(self->mutex_);
      if (!self->isAllowed()) return;
    }
    using platform::LocationAuthorizationStatus;
    const auto status = platform::LocationManager::authorizationStatus();
    if (status != LocationAuthorizationStatus::AuthorizedAlways &&
        status != LocationAuthorizationStatus::AuthorizedWhenInUse) {
      return;
    }
    if (!platform::LocationManager::locationServicesEnabled()) return;
    if (!self->manager_) {
      auto factory = platform::ClassRegistry::shared().create<platform::LocationManager::Factory>(
          platform::LocationManager::kClassName);
      if (!factory) return;
      self->manager_ = factory->create();
      if (!self->manager_) return;
      self->manager_->setDelegate(self);
    }
    self->manager_->startUpdatingLocation();
  });
}

void ZUMLocationService::stop() {
  if (manager_) manager_->stopUpdatingLocation();
}

void ZUMLocationService::locationManagerDidUpdateLocations(platform::LocationManager& manager,
                                                           const std::vector<platform::Location>& locations) {
  std::shared_ptr<ZUMLocation> latest;
  for (const auto& fix : locations) {
    if (fix.horizontalAccuracy < 0) continue;  // invalid fix
    if (auto location = ZUMLocation::create(fix.latitude, fix.longitude, fix.horizontalAccuracy, fix.timestamp)) {
      latest = std::move(location);
    }
  }
  if (!latest) return;
  {
    std::lock_guard lock(mutex_);
    if (!isAllowed()) return;
    location_ = std::move(latest);
  }
  manager.stopUpdatingLocation();
}
