#include "sdk/mediation/ZUMMAdNetworkAdapterImpl.h"

#include <gtest/gtest.h>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMRewardBasedVideoAdNetworkAdapter.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMediationTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMMAdNetworkAdapterImplTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { zummtest::registerTestAdapterClasses(); }
};

TEST_F(ZUMMAdNetworkAdapterImplTest, ClassChecksFollowDescriptorsAndSuperclasses) {
  const struct {
    const char* name;
    bool isAdapter, currentAPI, listed;
  } rows[] = {
      {zummtest::kCurrentAdapter, true, true, true},
      {zummtest::kInterstitialOnlyAdapter, true, true, true},  // getInterstitial alone is current
      {zummtest::kOldAdapter, true, false, true},
      {zummtest::kRewardedOnlyAdapter, true, true, false},  // not a banner/interstitial adapter
      {zummtest::kSubclassAdapter, true, true, true},       // conforms through its superclass
      {zummtest::kPlainClass, false, false, false},
      {"UnregisteredAdapter", false, false, false},
  };
  std::vector<std::string> names;
  std::vector<std::string> expectedListed;
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMMAdNetworkAdapterImpl::classIsAdapterClass(row.name), row.isAdapter) << row.name;
    EXPECT_EQ(ZUMMAdNetworkAdapterImpl::classImplementsCurrentAdapterAPI(row.name), row.currentAPI) << row.name;
    names.push_back(row.name);
    if (row.listed) expectedListed.push_back(row.name);
  }
  EXPECT_EQ(ZUMMAdNetworkAdapterImpl::availableAdapterNamesInSet(names), expectedListed);
}

TEST_F(ZUMMAdNetworkAdapterImplTest, TheHubListsAdaptersOnceMediationRegisters) {
  auto hub = ZUMApplication::sharedInstance();
  hub->updateAvailableAdapterNamesWithPotentialAdapterNames(
      std::vector<std::string>{zummtest::kSubclassAdapter, zummtest::kPlainClass, zummtest::kRewardedOnlyAdapter});
  EXPECT_TRUE(hub->availableAdapterNames().empty());  // no mediation yet: none counts
  ZUMRegisterBuiltIns();
  // The SDK's own adapters are registered at start-up and listed first.
  EXPECT_EQ(hub->availableAdapterNames(),
            (std::vector<std::string>{"ZUMMAdapterVantorMorvaneAds", kZUMMAdapterCustomEventsClassName,
                                      "ZUMMAdapterHTML", "ZUMMAdURLAdapter", zummtest::kSubclassAdapter}));
}

TEST_F(ZUMMAdNetworkAdapterImplTest, AdapterClassesAreFoundByNameOnly) {
  EXPECT_EQ(ZUMMAdapterClassNamed(zummtest::kCurrentAdapter)->adapterVersion(), "1.2.3");
  EXPECT_EQ(ZUMMAdapterClassNamed(zummtest::kPlainClass), nullptr);  // registered under another base
  ZUMMRegisterAdapterClass("", std::make_shared<ZUMMAdapterClass>(), {});
  ZUMMRegisterAdapterClass("NoClassObject", nullptr, {});
  EXPECT_FALSE(ZUMMAdNetworkAdapterImpl::classExists(""));
  EXPECT_FALSE(ZUMMAdNetworkAdapterImpl::classExists("NoClassObject"));
}

}  // namespace
