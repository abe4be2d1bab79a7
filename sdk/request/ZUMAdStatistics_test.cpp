// An ad's statistics, once changed, travel with the next request of any slot.
#include <memory>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

using ZUMAdStatisticsTest = testenv::PlatformTest;

TEST_F(ZUMAdStatisticsTest, ChangedStatisticsOfAnAdReachTheNextRequestOnce) {
  auto ad = ZUMAd::create();
  ad->statistics()->setObject("shown", "state");
  ad->statistics()->incrementNumberForKey("taps", true);
  env.runUntilIdle();
  auto slot = ZUMSlot::create({});
  slot->setAdType(ZUMAdType::createForInterstitial(), false);
  ordered_json parameters = slot->requestParametersForRequest(ZUMRequest::create());
  EXPECT_EQ(parameters["quality_signals"]["ads"], ordered_json::parse(R"([{"state": "shown", "taps": 1}])"));
  // Taken by that request: the next one sends them only after they change again.
  auto other = ZUMSlot::create({});
  other->setAdType(ZUMAdType::createForInterstitial(), false);
  EXPECT_FALSE(other->requestParametersForRequest(ZUMRequest::create())["quality_signals"].contains("ads"));
}

}  // namespace
