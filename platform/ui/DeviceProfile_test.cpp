#include "platform/ui/DeviceProfile.h"

#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/Locale.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/AdvertisingIdentifierManager.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "platform/ui/LocationManager.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/Reachability.h"
#include "platform/ui/SystemSound.h"
#include "platform/ui/TelephonyNetworkInfo.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

// The device services and the profile that fills them.
using DeviceServicesTest = testenv::PlatformTest;

TEST_F(DeviceServicesTest, ProfileFillsEveryService) {
  const auto path = env.root() / "device.json";
  std::ofstream(path) << R"({
    "advertisingIdentifier": "11111111-2222-3333-4444-555555555555",
    "advertisingTrackingEnabled": false,
    "carrier": {"name": "Carrier", "mobileCountryCode": "310", "mobileNetworkCode": "260", "isoCountryCode": "us"},
    "radioAccessTechnology": "CTRadioAccessTechnologyLTE",
    "reachability": "wwan",
    "model": "TestTablet", "systemVersion": "10.3", "hardwareModel": "TestTablet6,11", "idiom": "pad", "simulator": true,
    "localeIdentifier": "fr_CA", "canSendMail": false,
    "audio": {"outputVolume": 0.25, "outputPortNames": null, "otherAudioPlaying": true,
              "secondaryAudioShouldBeSilenced": null, "category": "AVAudioSessionCategoryRecord"},
    "location": {"servicesEnabled": true, "authorizationStatus": 4, "latitude": 48.85, "longitude": 2.35}
  })";
  ASSERT_TRUE(DeviceProfile::load(path.string()));

  auto& ads = AdvertisingIdentifierManager::shared();
  EXPECT_FALSE(ads.isAdvertisingTrackingEnabled());
  EXPECT_EQ(ads.advertisingIdentifier(), AdvertisingIdentifierManager::kZeroIdentifier) << "tracking limited";
  ads.setAdvertisingTrackingEnabled(true);
  EXPECT_EQ(ads.advertisingIdentifier(), "11111111-2222-3333-4444-555555555555");

  auto carrier = TelephonyNetworkInfo::shared().subscriberCellularProvider();
  EXPECT_EQ(carrier ? carrier->mobileCountryCode : "", "310");
  EXPECT_EQ(TelephonyNetworkInfo::shared().currentRadioAccessTechnology(), kRadioAccessTechnologyLTE);
  EXPECT_EQ(Reachability::shared().flags(), Reachability::kFlagReachable | Reachability::kFlagIsWWAN);

  auto& device = Device::current();
  EXPECT_EQ(device.userInterfaceIdiom(), Device::UserInterfaceIdiom::Pad);
  EXPECT_EQ(device.operatingSystemVersion(), (Device::OperatingSystemVersion{10, 3, 0}));
  EXPECT_FALSE(device.isOperatingSystemAtLeast({10, 3, 1}));
  EXPECT_EQ(Locale::currentLocaleIdentifier(), "fr_CA");
  EXPECT_FALSE(MailComposeViewController::canSendMail());

  auto& audio = AudioSession::shared();
  EXPECT_FALSE(audio.currentRouteOutputPortNames()) << "unknown route";
  EXPECT_FALSE(audio.secondaryAudioShouldBeSilencedHint());
  EXPECT_EQ(audio.category(), kAudioSessionCategoryRecord);

  EXPECT_EQ(LocationManager::authorizationStatus(), LocationAuthorizationStatus::AuthorizedWhenInUse);

  // The next test starts from the device's own locale.
  runTestingResets();
  EXPECT_EQ(Locale::currentLocaleIdentifier(), "en_US");
}

TEST_F(DeviceServicesTest, HostileProfilesChangeNothingTheyCannotSay) {
  auto& device = Device::current();
  const auto before = device.systemVersion();
  EXPECT_FALSE(DeviceProfile::apply(nlohmann::ordered_json::array()));
  EXPECT_TRUE(DeviceProfile::apply(nlohmann::ordered_json::parse(R"({
    "systemVersion": 12, "localeIdentifier": "", "carrier": "x", "reachability": 3, "idiom": "watch",
    "audio": {"outputVolume": 1e308, "outputPortNames": [1, "Headphones"], "category": "Bogus"},
    "location": {"authorizationStatus": 9, "latitude": 400, "longitude": 0}
  })")));
  EXPECT_EQ(device.systemVersion(), before);
  EXPECT_EQ(Locale::currentLocaleIdentifier(), "en_US");
  EXPECT_FLOAT_EQ(AudioSession::shared().outputVolume(), 1.0f) << "clamped";
  EXPECT_EQ(AudioSession::shared().currentRouteOutputPortNames(), std::vector<std::string>{"Headphones"});
  EXPECT_EQ(AudioSession::shared().category(), kAudioSessionCategorySoloAmbient);
  EXPECT_EQ(LocationManager::authorizationStatus(), LocationAuthorizationStatus::NotDetermined);

  const auto bad = env.root() / "bad.json";
  std::ofstream(bad) << "{\"model\": ";
  EXPECT_FALSE(DeviceProfile::load(bad.string()));
  device.setSystemVersion("99999999999999999999999.1");
  EXPECT_EQ(device.operatingSystemVersion().majorVersion, 0);
}

TEST_F(DeviceServicesTest, ReachabilityChangesReachObserversOnTheMainQueue) {
  auto& reachability = Reachability::shared();
  std::vector<Reachability::Status> seen;
  const int token = reachability.addObserver([&](Reachability::Status s) { seen.push_back(s); });
  const int removed = reachability.addObserver([&](Reachability::Status) { ADD_FAILURE(); });
  reachability.setStatus(Reachability::Status::NotReachable);
  reachability.setStatus(Reachability::Status::NotReachable);  // no change
  reachability.removeObserver(removed);
  EXPECT_TRUE(seen.empty());
  env.runUntilIdle();
  EXPECT_EQ(seen, std::vector<Reachability::Status>{Reachability::Status::NotReachable});
  reachability.removeObserver(token);
}

struct LocationRecorder : LocationManagerDelegate {
  void locationManagerDidUpdateLocations(LocationManager&, const std::vector<Location>& l) override {
    fixes.insert(fixes.end(), l.begin(), l.end());
  }
  void locationManagerDidChangeAuthorizationStatus(LocationManager&, LocationAuthorizationStatus s) override {
    statuses.push_back(s);
  }
  std::vector<Location> fixes;
  std::vector<LocationAuthorizationStatus> statuses;
};

TEST_F(DeviceServicesTest, LocationUpdatesNeedAuthorisationAndServices) {
  auto manager = LocationManager::create();
  auto delegate = std::make_shared<LocationRecorder>();
  manager->setDelegate(delegate);
  LocationManager::setDeviceLocation(Location{1, 2, 5, 100});
  manager->startUpdatingLocation();
  env.runUntilIdle();
  EXPECT_TRUE(delegate->fixes.empty()) << "not authorised";

  manager->requestWhenInUseAuthorization();
  LocationManager::setAuthorizationStatus(LocationAuthorizationStatus::AuthorizedWhenInUse);
  LocationManager::setDeviceLocation(Location{3, 4, 5, 101});
  env.runUntilIdle();
  EXPECT_EQ(delegate->statuses,
            std::vector<LocationAuthorizationStatus>{LocationAuthorizationStatus::AuthorizedWhenInUse});
  ASSERT_EQ(delegate->fixes.size(), 1u);
  EXPECT_EQ(manager->location(), (Location{3, 4, 5, 101}));

  LocationManager::setLocationServicesEnabled(false);
  LocationManager::setDeviceLocation(Location{5, 6, 5, 102});
  manager->stopUpdatingLocation();
  LocationManager::setLocationServicesEnabled(true);
  LocationManager::setDeviceLocation(Location{7, 8, 5, 103});
  env.runUntilIdle();
  EXPECT_EQ(delegate->fixes.size(), 1u);
}

TEST_F(DeviceServicesTest, SmallServicesKeepWhatTheyAreGiven) {
  auto& audio = AudioSession::shared();
  EXPECT_FALSE(audio.setCategory("nonsense"));
  audio.setCategoryChangesFail(true);
  EXPECT_FALSE(audio.setCategory(kAudioSessionCategoryPlayAndRecord));

  auto& bundle = Bundle::main();
  const auto info = env.root() / "info.json";
  std::ofstream(info) << R"({"ZUMDelayEarlyActivities": true, "LSApplicationQueriesSchemes": ["tel", 3]})";
  ASSERT_TRUE(bundle.loadInfoDictionary(info.string()));
  EXPECT_EQ(bundle.boolForInfoDictionaryKey("ZUMDelayEarlyActivities"), true);
  EXPECT_EQ(bundle.stringArrayForInfoDictionaryKey("LSApplicationQueriesSchemes"), std::vector<std::string>{"tel"});
  std::ofstream(info, std::ios::trunc) << "[1]";
  EXPECT_FALSE(bundle.loadInfoDictionary(info.string()));
  EXPECT_EQ(bundle.boolForInfoDictionaryKey("ZUMDelayEarlyActivities"), true) << "kept";
}

}  // namespace
}  // namespace platform
