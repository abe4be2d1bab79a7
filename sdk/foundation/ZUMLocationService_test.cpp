#include "sdk/foundation/ZUMLocationService.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/ui/DeviceProfile.h"
#include "platform/ui/LocationManager.h"
#include "sdk/foundation/ZUMLocation.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

class ZUMLocationServiceTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::LocationManager::registerClass();
    ASSERT_TRUE(platform::DeviceProfile::apply(ordered_json::parse(R"({
      "location": {"servicesEnabled": true, "authorizationStatus": 4,
                   "latitude": 47.3768866, "longitude": 8.541694, "accuracy": 25}})")));
  }
  std::shared_ptr<ZUMLocationService> service = ZUMLocationService::sharedInstance();
};

TEST_F(ZUMLocationServiceTest, CollectsOneFixWhileEnabledAndAuthorisedAndForgetsItWhenEitherIsOff) {
  service->updateLocation();
  env.runUntilIdle();
  EXPECT_EQ(service->location(), nullptr);  // the feature is off at start

  service->setFeatureEnabled(true);
  service->updateLocation();
  env.runUntilIdle();
  ASSERT_NE(service->location(), nullptr);

  // One fix per update: later device positions are not taken until asked.
  platform::LocationManager::setDeviceLocation(platform::Location{1, 2, 5, 10});
  env.runUntilIdle();
  EXPECT_EQ((*service->location()->dictionaryRepresentation())["lat"], 473768866);
  service->updateLocation();
  env.runUntilIdle();
  EXPECT_EQ((*service->location()->dictionaryRepresentation())["lat"], 10000000);

  // Either switch off forgets the location.
  service->setPublisherAuthorized(false);
  EXPECT_EQ(service->location(), nullptr);
}

TEST_F(ZUMLocationServiceTest, NeverAsksTheUserAndNeedsTheClass) {
  platform::LocationManager::setAuthorizationStatus(platform::LocationAuthorizationStatus::NotDetermined);
  service->setFeatureEnabled(true);
  service->updateLocation();
  env.runUntilIdle();
  EXPECT_EQ(service->location(), nullptr);
  EXPECT_FALSE(platform::LocationManager::wasAuthorizationRequested());

  platform::LocationManager::setAuthorizationStatus(platform::LocationAuthorizationStatus::AuthorizedAlways);
  platform::ClassRegistry::shared().unregisterClass(platform::LocationManager::kClassName);
  service->updateLocation();
  env.runUntilIdle();
  EXPECT_EQ(service->location(), nullptr);
}

}  // namespace
