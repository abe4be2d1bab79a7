// The user's location, collected only while both switches allow it: the feature switch
// (the server setting "auto_collect_location", off at start) and the publisher's
// authorisation (from the ad response, on at start). Collection never asks the user:
// it runs only when location services are on and the application is already
// authorised, and only where the platform's location manager class exists (looked up by
// name). updateLocation() asks for one fresh fix and stops once it has it.
//
// location() may be read from any thread; every other operation runs on the main thread
// (called from another thread, it is carried there).
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/ui/LocationManager.h"

class ZUMLocation;

class ZUMLocationService : public platform::LocationManagerDelegate,
                           public std::enable_shared_from_this<ZUMLocationService> {
 public:
  static std::shared_ptr<ZUMLocationService> sharedInstance();

  void updateLocation();
  // The latest fix while collection is allowed; nullptr otherwise. Turning either switch
  // off forgets it.
  std::shared_ptr<ZUMLocation> location() const;

  // Whether collection is allowed; false also stops it.
  void setFeatureEnabled(bool enabled);
  // Whether the ad response allows collection; false stops it.
  void setPublisherAuthorized(bool authorized);

  // platform::LocationManagerDelegate
  void locationManagerDidUpdateLocations(platform::LocationManager& manager,
                                         const std::vector<platform::Location>& locations) override;

  ZUMLocationService() = default;

 private:
  bool isAllowed() const;  // under mutex_
  // Main thread.
  void stop();

  mutable std::mutex mutex_;
  bool featureEnabled_ = false;
  bool publisherAuthorized_ = true;
  std::shared_ptr<ZUMLocation> location_;
  std::shared_ptr<platform::LocationManager> manager_;  // main thread
};
