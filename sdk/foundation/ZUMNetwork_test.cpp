#include "sdk/foundation/ZUMNetwork.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/ui/DeviceProfile.h"
#include "platform/ui/Reachability.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

class ZUMNetworkTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::DeviceProfile::apply(ordered_json::parse(R"({
      "carrier": {"name": "Carrier", "mobileCountryCode": "310", "mobileNetworkCode": "260",
                  "isoCountryCode": "us"},
      "radioAccessTechnology": "CTRadioAccessTechnologyLTE",
      "reachability": "wwan"})")));
  }
};

TEST_F(ZUMNetworkTest, RequestKeysFromTheDeviceProfile) {
  auto network = ZUMNetwork::sharedInstance();
  EXPECT_EQ(network->requestDictionary(), (ordered_json{{"net", "cell"},
                                                        {"net_last", 2},
                                                        {"radio", "LTE"},
                                                        {"mcc", "310"},
                                                        {"mnc", "260"},
                                                        {"carrier_country", "us"}}));
}

TEST_F(ZUMNetworkTest, FollowsReachabilityNotices) {
  auto network = ZUMNetwork::sharedInstance();
  ASSERT_TRUE(platform::DeviceProfile::apply(
      ordered_json::parse(R"({"carrier": null, "radioAccessTechnology": null, "reachability": "wifi"})")));
  // "net" is read now; "net_last" waits for the notice on the main queue.
  EXPECT_EQ(network->requestDictionary(), (ordered_json{{"net", "wifi"}, {"net_last", 2}}));
  platform::Reachability::shared().setStatus(platform::Reachability::Status::NotReachable);
  env.runUntilIdle();
  EXPECT_EQ(network->requestDictionary(), (ordered_json{{"net", "none"}, {"net_last", 0}}));
}

TEST_F(ZUMNetworkTest, KeepsOnlyANonEmptyUserAgent) {
  auto network = ZUMNetwork::sharedInstance();
  EXPECT_EQ(network->userAgentString(), "");
  network->setUserAgentString("Mozilla/5.0 (test)");
  network->setUserAgentString("");
  EXPECT_EQ(network->userAgentString(), "Mozilla/5.0 (test)");
}

}  // namespace
