#include "sdk/foundation/ZUMDevice.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/ui/AudioSession.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/DeviceProfile.h"
#include "platform/ui/Window.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

class ZUMDeviceTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::DeviceProfile::apply(ordered_json::parse(R"({
      "advertisingIdentifier": "5D9D8B4C-1E4A-4E3B-9C59-1B7B2F0A6C11",
      "advertisingTrackingEnabled": true,
      "model": "TestPhone", "systemVersion": "12.4.1", "hardwareModel": "TestPhone10,4",
      "simulator": false, "canSendText": true,
      "audio": {"outputVolume": 0.25, "outputPortNames": ["Speaker"], "otherAudioPlaying": true,
                "secondaryAudioShouldBeSilenced": null}})")));
    EXPECT_TRUE(
        platform::Bundle::main().setInfoDictionary(ordered_json{{"CFBundleIdentifier", "com.example.reader"},
                                                                {"CFBundleShortVersionString", "2.1"},
                                                                {"LSApplicationQueriesSchemes", {"tel", "fb"}}}));
  }
};

TEST_F(ZUMDeviceTest, RequestKeysFromTheDeviceProfile) {
  auto window = platform::Window::create({0, 0, 375, 667});
  window->makeKeyAndVisible();
  auto device = ZUMDevice::sharedInstance();
  EXPECT_EQ(device->parameters(), (ordered_json{{"device_model", "TestPhone"},
                                                {"device_submodel", "TestPhone10,4"},
                                                {"os_version", "12.4.1"},
                                                {"lat", "0"},
                                                {"screen_width", 375.0},
                                                {"screen_height", 667.0},
                                                {"screen_density", 2.0},
                                                {"orientation", "p"},
                                                {"window_width", 375.0},
                                                {"window_height", 667.0},
                                                {"device_volume", 0.25},
                                                {"can_text", "1"},
                                                {"can_call", "1"},
                                                {"app_bundle_id", "com.example.reader"},
                                                {"app_version", "2.1"}}));
  EXPECT_FALSE(device->isOSAtLeastMajor(12, 4, 2));
}

TEST_F(ZUMDeviceTest, DeviceIdentifierIsTheMD5OfTheAdvertisingIdentifierUnlessLimited) {
  auto device = ZUMDevice::sharedInstance();
  // MD5 of "5D9D8B4C-1E4A-4E3B-9C59-1B7B2F0A6C11".
  EXPECT_EQ(device->deviceIdentifier(), "6d99677cc1d276688df0e21e2fd7c28c");
  EXPECT_TRUE(platform::DeviceProfile::apply({{"advertisingTrackingEnabled", false}}));
  EXPECT_EQ(device->deviceIdentifier(), "");
  EXPECT_EQ(device->parameters()["lat"], "1");
}

TEST_F(ZUMDeviceTest, OrientationFollowsRotationAndAudioStateIsCachedUntilRefreshed) {
  auto device = ZUMDevice::sharedInstance();
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  env.runUntilIdle();
  EXPECT_EQ(device->standardizedOrientedApplicationFrame(), platform::Rect(0, 20, 667, 355));
  EXPECT_EQ(device->parameters()["orientation"], "l");

  auto& audio = platform::AudioSession::shared();
  audio.setOutputVolume(0.75f);
  audio.setCurrentRouteOutputPortNames(std::nullopt);
  EXPECT_FLOAT_EQ(device->audioVolume(), 0.25f);
  device->updateDynamicParameters();
  EXPECT_FLOAT_EQ(device->audioVolume(), 0.75f);
}

TEST_F(ZUMDeviceTest, CanOpenURLsAnswersOnlyForListedSchemesThatOpen) {
  auto device = ZUMDevice::sharedInstance();
  testenv::AppControls::setInstalledURLSchemes({"http", "https", "tel", "fb"});
  EXPECT_EQ(device->canOpenURLs({"FB://x", "mailto:a@b.c", "not a url"}),
            (ordered_json{{"FB://x", true}, {"mailto:a@b.c", false}, {"not a url", false}}));
}

}  // namespace
