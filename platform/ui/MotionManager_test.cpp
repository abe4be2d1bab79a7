#include "platform/ui/MotionManager.h"

#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/ui/DeviceProfile.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using MotionManagerTest = testenv::PlatformTest;

const RotationMatrix kTilted{{{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}}};

TEST_F(MotionManagerTest, UpdatesRunOnlyWhereMotionIsAvailableAndReadTheDevicesAttitude) {
  auto manager = MotionManager::create();
  manager->startDeviceMotionUpdates();
  EXPECT_FALSE(manager->isDeviceMotionActive()) << "no motion by default";
  EXPECT_EQ(manager->deviceMotion(), std::nullopt);

  MotionManager::setDeviceMotionAvailable(true);
  manager->startDeviceMotionUpdates();
  ASSERT_TRUE(manager->isDeviceMotionActive());
  ASSERT_TRUE(manager->deviceMotion());
  EXPECT_EQ(manager->deviceMotion()->attitudeRotationMatrix, RotationMatrix{}) << "identity until set";

  ASSERT_TRUE(MotionManager::setAttitudeRotationMatrix(kTilted));
  RotationMatrix broken = kTilted;
  broken.m[2][1] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(MotionManager::setAttitudeRotationMatrix(broken));
  EXPECT_EQ(manager->deviceMotion()->attitudeRotationMatrix, kTilted);
  EXPECT_EQ(manager->deviceMotion()->timestamp, env.clock().timeSinceBoot());

  manager->stopDeviceMotionUpdates();
  EXPECT_FALSE(manager->isDeviceMotionActive());
  EXPECT_EQ(manager->deviceMotion(), std::nullopt);
}

TEST_F(MotionManagerTest, TheDeviceProfileSetsAvailabilityAndAUsableAttitude) {
  const struct {
    const char* name;
    const char* motion;
    bool available;
    RotationMatrix attitude;
  } rows[] = {
      {"both", R"({"available": true, "attitude": [0, -1, 0, 1, 0, 0, 0, 0, 1]})", true, kTilted},
      {"eight numbers", R"({"available": true, "attitude": [0, -1, 0, 1, 0, 0, 0, 0]})", true, {}},
      {"a string among them", R"({"available": true, "attitude": [0, -1, 0, 1, "0", 0, 0, 0, 1]})", true, {}},
      {"availability of the wrong type", R"({"available": 1, "attitude": [0, -1, 0, 1, 0, 0, 0, 0, 1]})", false,
       kTilted},
      {"not an object", R"([true])", false, {}},
  };
  for (const auto& row : rows) {
    MotionManager::setDeviceMotionAvailable(false);
    ASSERT_TRUE(MotionManager::setAttitudeRotationMatrix({}));
    ASSERT_TRUE(DeviceProfile::apply({{"motion", nlohmann::ordered_json::parse(row.motion)}})) << row.name;
    auto manager = MotionManager::create();
    EXPECT_EQ(MotionManager::isDeviceMotionAvailable(), row.available) << row.name;
    MotionManager::setDeviceMotionAvailable(true);
    manager->startDeviceMotionUpdates();
    EXPECT_EQ(manager->deviceMotion()->attitudeRotationMatrix, row.attitude) << row.name;
  }
}

}  // namespace
}  // namespace platform
