#include "sdk/formats/ZUMInterstitialCache.h"

#include <algorithm>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMAdNetworkExtras.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/base/TestingReset.h"
#include "platform/base/UserDefaults.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/formats/ZUMInterstitialPool.h"
#include "sdk/formats/ZUMInterstitialPoolKey.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnDismissPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnPopPolicy.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;
using formatstest::HostDelegate;
using formatstest::Log;

void setDefault(const std::string& key, const Json& value) {
  static_cast<void>(platform::UserDefaults::standard().setObject(value, key));
}

std::shared_ptr<ZUMRequest> targeted(Json targeting, Json keywords = Json::array()) {
  auto request = ZUMRequest::create();
  request->setCustomTargeting(std::move(targeting));
  request->setKeywords(std::move(keywords));
  return request;
}

struct OtherExtras : ZUMAdNetworkExtras {
  std::string className() const override { return "OtherExtras"; }
};

class ZUMInterstitialCacheTest : public formatstest::FormatsTest {
 protected:
  ZUMInterstitialCacheTest() {
    setDefault(kZUMInterstitialPoolEnabledKey, "1");
    setDefault(kZUMInterstitialPoolMaxDepthKey, "0");  // no preloading unless a test asks
  }
  std::shared_ptr<ZUMInterstitialCache> cache = ZUMInterstitialCache::sharedInstance();
  // The pool of unit-A's plain request, holding one finished entry.
  std::shared_ptr<ZUMInterstitialPool> preloadOne() {
    setDefault(kZUMInterstitialPoolMaxDepthKey, "1");
    cache->loadRequest(ZUMRequest::create(), "unit-A");
    env.runUntilIdle();
    auto pool = cache->poolForRequest(ZUMRequest::create(), "unit-A");
    EXPECT_TRUE(env.runUntil([&] { return pool->entryCount() == 1 && pings("/ad") == 1; }));
    EXPECT_TRUE(env.runUntil([&] { return ZUMApplication::sharedInstance()->currentAdRequestCount() == 0; }));
    setDefault(kZUMInterstitialPoolMaxDepthKey, "0");  // taking the entry loads no other
    return pool;
  }
};

TEST_F(ZUMInterstitialCacheTest, PoolKeys) {
  const Json plain{{"custom_targeting", {{"k", "v"}}}, {"kw", "news"}};
  const struct {
    const char* name;
    Json defaults;  // user-default name -> value
    Json parameters;
    const char* adUnitID;
    Json fields;  // null: no key
  } rows[] = {
      {"no ad unit", {}, plain, "", nullptr},
      {"default schema", {}, plain, "unit-A", {{"customTargeting", {{"k", "v"}}}}},
      {"excluded unit", {{"ad_unit_exclusions", "^unit-"}}, plain, "unit-A", nullptr},
      {"invalid exclusions", {{"ad_unit_exclusions", "("}}, plain, "unit-A", {{"customTargeting", {{"k", "v"}}}}},
      {"schema of another type", {{"schema", 7}}, plain, "unit-A", {{"customTargeting", {{"k", "v"}}}}},
      {"null field name", {{"schema", Json{"networkExtras", "keywords"}}}, plain, "unit-A", {{"keywords", "news"}}},
      {"renamed and own field names",
       {{"schema", Json{"keywords", "kw"}}, {"field_names", {{"keywords", "custom_targeting"}}}},
       plain,
       "unit-A",
       {{"keywords", {{"k", "v"}}}, {"kw", "news"}}},
      {"path missing",
       {{"allowed_schema_patterns", {{"custom_targeting.x", "^a$"}}}},
       plain,
       "unit-A",
       {{"customTargeting", {{"k", "v"}}}}},
      {"value fails", {{"allowed_schema_patterns", {{"custom_targeting.k", "^a$"}}}}, plain, "unit-A", nullptr},
      {"value passes",
       {{"allowed_schema_patterns", {{"kw", "ew"}}}},
       plain,
       "unit-A",
       {{"customTargeting", {{"k", "v"}}}}},
      {"invalid pattern",
       {{"allowed_schema_patterns", {{"kw", "("}}}},
       plain,
       "unit-A",
       {{"customTargeting", {{"k", "v"}}}}},
      {"array all match",
       {{"allowed_schema_patterns", {{"a.b", "^1$"}}}},
       {{"a", Json::array({{{"b", 1}}, 1})}},
       "unit-A",
       Json::object()},
      {"array one fails", {{"allowed_schema_patterns", {{"a", "^1$"}}}}, {{"a", {1, 2}}}, "unit-A", nullptr},
      {"empty array", {{"allowed_schema_patterns", {{"a", "^1$"}}}}, {{"a", Json::array()}}, "unit-A", Json::object()},
      {"deep within the limit",
       {{"allowed_schema_patterns", {{"a", "1"}}}},
       {{"a", Json::parse(std::string(20, '[') + "1" + std::string(20, ']'))}},
       "unit-A",
       Json::object()},
      {"too deep",
       {{"allowed_schema_patterns", {{"a", "1"}}}},
       {{"a", Json::parse(std::string(40, '[') + "1" + std::string(40, ']'))}},
       "unit-A",
       nullptr},
  };
  for (const auto& row : rows) {
    for (const auto& [name, value] : row.defaults.items())
      setDefault("/vantor/ads/zums:interstitial_ad_pool:" + name, value);
    const auto key =
        ZUMInterstitialPoolKeyForParameters(row.adUnitID, row.parameters, ZUMInterstitialPoolKeySettings::read());
    EXPECT_EQ(key.has_value(), !row.fields.is_null()) << row.name;
    EXPECT_EQ(key ? key->fields : Json(), row.fields) << row.name;
    for (const auto& [name, value] : row.defaults.items())
      setDefault("/vantor/ads/zums:interstitial_ad_pool:" + name, nullptr);
  }
}

TEST_F(ZUMInterstitialCacheTest, RequestsShareAPoolOnlyWhenTheirMappedParametersAgree) {
  const auto key = [](const std::shared_ptr<ZUMRequest>& request) {
    return ZUMInterstitialPoolKeyForRequest(request, "unit-A").value_or(ZUMInterstitialPoolKey("none", nullptr));
  };
  EXPECT_EQ(key(targeted({{"a", 1}, {"b", 2}}, {"x"})), key(targeted({{"b", 2}, {"a", 1}}, {"y"})));
  EXPECT_FALSE(key(targeted({{"a", 1}})) == key(targeted({{"a", 2}})));
  cache->loadRequest(targeted({{"a", 1}}, {"x"}), "unit-A");
  cache->loadRequest(targeted({{"a", 1}}, {"y"}), "unit-A");
  EXPECT_EQ(cache->poolForRequest(targeted({{"a", 1}}), "unit-A")->request()->keywords(), Json{"y"});
  auto withExtras = ZUMRequest::create();
  withExtras->registerAdNetworkExtras(std::make_shared<OtherExtras>());
  EXPECT_FALSE(ZUMInterstitialPoolKeyForRequest(withExtras, "unit-A"));
  EXPECT_EQ(cache->cacheEntryForRequest(withExtras, "unit-A"), nullptr);
  EXPECT_EQ(cache->poolCount(), 1u);
}

TEST_F(ZUMInterstitialCacheTest, AFourthKeyDropsTheLeastRecentlyAccessedPoolAndMaxPoolsBelowOneMeansOne) {
  for (const char* unit : {"unit-A", "unit-B", "unit-C", "unit-A", "unit-D"})
    cache->loadRequest(ZUMRequest::create(), unit);
  EXPECT_EQ(cache->poolCount(), 3u);
  EXPECT_FALSE(cache->poolForRequest(ZUMRequest::create(), "unit-B"));
  EXPECT_TRUE(cache->poolForRequest(ZUMRequest::create(), "unit-A"));
  EXPECT_EQ(platform::UserDefaults::standard().objectForKey(kZUMInterstitialRequestsToPreloadKey)->size(), 3u);
  for (const char* max : {"0", "-1"}) {
    setDefault(kZUMInterstitialPoolMaxPoolsKey, max);
    cache->loadRequest(ZUMRequest::create(), max);
    EXPECT_EQ(cache->poolCount(), 1u) << max;
    EXPECT_TRUE(cache->poolForRequest(ZUMRequest::create(), max)) << max;
  }
}

TEST_F(ZUMInterstitialCacheTest, AConstantsUpdateReplacesThePolicyOnlyWhenItsNameChanges) {
  cache->loadRequest(ZUMRequest::create(), "unit-A");
  const auto post = [&](const char* name) {
    setDefault(kZUMInterstitialPoolRefillPolicyKey, name);
    platform::NotificationCenter::defaultCenter().post(kZUMSDKCoreDidUpdateConstantsNotification);
    env.runUntilIdle();
    return cache->refillPolicy();
  };
  const auto onPop = cache->refillPolicy();
  EXPECT_EQ(cache->poolForRequest(ZUMRequest::create(), "unit-A")->delegate(), onPop);
  EXPECT_EQ(post("sometimes"), onPop);
  const auto onDismiss = post("onDismiss");
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMInterstitialPoolRefillOnDismissPolicy>(onDismiss));
  EXPECT_EQ(cache->poolForRequest(ZUMRequest::create(), "unit-A")->delegate(), onDismiss);
  EXPECT_EQ(post("onDismiss"), onDismiss);
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMInterstitialPoolRefillOnDismissPolicy>(
      ZUMInterstitialCache::create()->refillPolicy()))
      << "a new cache starts with the stored policy";
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMInterstitialPoolRefillOnPopPolicy>(post("whatever")));
}

TEST_F(ZUMInterstitialCacheTest, AReadyEntryIsReceivedWithoutARequestAndKeepsTheRewardMessages) {
  preloadOne();
  auto interstitial = ZUMInterstitial::create("unit-A");
  auto delegate = std::make_shared<HostDelegate>();
  interstitial->setDelegate(delegate);
  load(*interstitial, *delegate);
  EXPECT_EQ(delegate->log, Log{"received"});
  EXPECT_EQ(pings("/ad"), 1u);
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(interstitial->slot()->adView());
  EXPECT_EQ(adView->rewardBasedVideoAdTOLMHandlerDelegate(), interstitial);
  EXPECT_EQ(interstitial->slot()->slotDelegate(), interstitial);
  auto another = ZUMInterstitialCacheEntry::create(ZUMRequest::create(), "unit-A");
  interstitial->loadSlotFromCacheEntry(another);
  EXPECT_NE(interstitial->slot(), another->slot()) << "an interstitial keeps the slot it has";

  interstitial->setHasBeenUsed(true);
  load(*interstitial, *delegate);
  EXPECT_EQ(delegate->log, (Log{"received", "failed 6"}));
}

TEST_F(ZUMInterstitialCacheTest, AFailedEntryDeliversItsErrorAndALoadingOneItsLaterOutcome) {
  hosts.server.route("/ad", {.status = 500});
  auto pool = preloadOne();
  auto failed = ZUMInterstitial::create("unit-A");
  auto delegate = std::make_shared<HostDelegate>();
  failed->setDelegate(delegate);
  load(*failed, *delegate);
  ASSERT_EQ(delegate->log.size(), 1u);
  EXPECT_EQ(delegate->log[0].rfind("failed ", 0), 0u);
  EXPECT_EQ(pings("/ad"), 1u);

  hosts.server.route("/ad", {.body = "<html><body>Ad</body></html>", .held = true});
  setDefault(kZUMInterstitialPoolMaxDepthKey, "1");
  pool->fill();
  setDefault(kZUMInterstitialPoolMaxDepthKey, "0");
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.heldCount("/ad") == 1; }));
  auto loading = ZUMInterstitial::create("unit-A");
  auto later = std::make_shared<HostDelegate>();
  loading->setDelegate(later);
  loading->loadRequest(ZUMRequest::create());
  env.runUntilIdle();
  EXPECT_TRUE(later->log.empty());
  hosts.server.release("/ad");
  ASSERT_TRUE(env.runUntil([&] { return !later->log.empty(); }));
  EXPECT_EQ(later->log, Log{"received"});
  EXPECT_EQ(pings("/ad"), 2u);
}

TEST_F(ZUMInterstitialCacheTest, TheMostRecentSavedRequestsPreloadAfterARestartAndDamagedOnesAreDropped) {
  for (const char* unit : {"unit-A", "unit-B", "unit-C"}) cache->loadRequest(targeted({{"k", unit}}), unit);
  env.runUntilIdle();
  auto saved = *platform::UserDefaults::standard().objectForKey(kZUMInterstitialRequestsToPreloadKey);
  saved.insert(saved.begin(), {Json("junk"), Json{{"ad_unit_id", 5}}});
  setDefault(kZUMInterstitialRequestsToPreloadKey, saved);
  setDefault(kZUMInterstitialPoolMaxPoolsKey, "2");
  setDefault(kZUMInterstitialPoolMaxDepthKey, "1");

  // A new process over the same defaults file.
  platform::SystemLog::Capture log(true);
  const auto file = platform::UserDefaults::standard().file();
  cache.reset();
  platform::runTestingResets();
  platform::UserDefaults::setStandardFile(file);
  ZUMMobileAds::load();
  ZUMApplication::sharedInstance()->runAdditionalEarlyActivities();
  ASSERT_TRUE(env.runUntil([&] { return pings("/ad") == 2; }));
  cache = ZUMInterstitialCache::sharedInstance();
  EXPECT_EQ(cache->poolCount(), 2u);
  EXPECT_FALSE(cache->poolForRequest(targeted({{"k", "unit-A"}}), "unit-A"));
  EXPECT_TRUE(cache->poolForRequest(targeted({{"k", "unit-C"}}), "unit-C"));
  std::set<std::string> units;
  for (const auto& request : hosts.server.requests("/ad")) units.insert(request.query.value_or("").substr(0, 11));
  EXPECT_EQ(units, (std::set<std::string>{"unit=unit-B", "unit=unit-C"}));
  const auto messages = log.messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "A damaged saved interstitial request was dropped."), 2);

  setDefault(kZUMInterstitialRequestsToPreloadKey, "not a list");
  platform::runTestingResets();
  platform::UserDefaults::setStandardFile(file);
  EXPECT_EQ(ZUMInterstitialCache::sharedInstance()->poolCount(), 0u);
  env.runUntilIdle();
  EXPECT_TRUE(log.contains("The saved interstitial requests are not a list: none is preloaded."));
}

}  // namespace
