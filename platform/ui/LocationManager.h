// The device's location service: the application's authorisation, whether location
// services are on, and position updates delivered to the manager's delegate on the
// main queue while it is updating. A manager is created and driven on the main thread.
//
// The device side (authorisation, services switch, the current position) is set by
// the device profile or by tests through the static setters, from any thread; each
// change reaches every live manager on a later turn of the main queue.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/Location.h"

namespace platform {

class LocationManager;

enum class LocationAuthorizationStatus {
  NotDetermined = 0,
  Restricted = 1,
  Denied = 2,
  AuthorizedAlways = 3,
  AuthorizedWhenInUse = 4,
};

class LocationManagerDelegate {
 public:
  virtual ~LocationManagerDelegate() = default;
  virtual void locationManagerDidUpdateLocations(LocationManager&, const std::vector<Location>&) {}
  virtual void locationManagerDidChangeAuthorizationStatus(LocationManager&, LocationAuthorizationStatus) {}
};

class LocationManager : public std::enable_shared_from_this<LocationManager> {
 public:
  // An optional class found by name, as on the platform: registerClass() puts a
  // Factory under kClassName in the shared class registry.
  static constexpr const char* kClassName = "CLLocationManager";
  class Factory {
   public:
    std::shared_ptr<LocationManager> create() const { return LocationManager::create(); }
  };
  static void registerClass();

  static std::shared_ptr<LocationManager> create();

  static LocationAuthorizationStatus authorizationStatus();
  static bool locationServicesEnabled();

  void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) { delegate_ = std::move(delegate); }
  std::shared_ptr<LocationManagerDelegate> delegate() const { return delegate_.lock(); }
  void setDesiredAccuracy(double metres) { desiredAccuracy_ = metres; }
  double desiredAccuracy() const { return desiredAccuracy_; }
  void setDistanceFilter(double metres) { distanceFilter_ = metres; }
  double distanceFilter() const { return distanceFilter_; }

  // Asks the user; only while undetermined. The answer is whatever the device side
  // later sets with setAuthorizationStatus().
  void requestWhenInUseAuthorization();
  // While updating, every new device position is delivered (the current one first,
  // soon after the start), provided services are on and the application authorised.
  void startUpdatingLocation();
  void stopUpdatingLocation();
  bool isUpdatingLocation() const { return updating_; }
  // The most recent fix delivered to this manager.
  std::optional<Location> location() const { return location_; }

  // The device side.
  static void setAuthorizationStatus(LocationAuthorizationStatus status);
  static void setLocationServicesEnabled(bool enabled);
  static void setDeviceLocation(std::optional<Location> location);
  static bool wasAuthorizationRequested();

  LocationManager() = default;

 private:
  static bool canDeliver();
  void deliver(const Location& location);

  std::weak_ptr<LocationManagerDelegate> delegate_;
  double desiredAccuracy_ = -1;  // best
  double distanceFilter_ = -1;   // none
  bool updating_ = false;
  std::optional<Location> location_;
};

}  // namespace platform
