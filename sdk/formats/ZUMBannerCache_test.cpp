#include "sdk/formats/ZUMBannerCache.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMExtras.h"
#include "platform/base/UserDefaults.h"
#include "sdk/formats/ZUMBannerPool.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;
using Generation = ZUMBannerCache::Generation;
using Slots = std::vector<std::shared_ptr<ZUMSlot>>;

void store(const char* key, const std::optional<Json>& value) {
  auto& defaults = platform::UserDefaults::standard();
  if (!value) return defaults.removeObjectForKey(key);
  ASSERT_TRUE(defaults.setObject(*value, key));
}

class ZUMBannerCacheTest : public formatstest::FormatsTest {
 protected:
  // A banner of `unit` and `size` at `origin` in the window, under `root`.
  std::shared_ptr<ZUMBannerView> banner(const std::string& unit, const std::shared_ptr<platform::ViewController>& root,
                                        platform::Point origin = {}, const ZUMAdSize& size = kZUMAdSizeBanner) {
    auto made = ZUMBannerView::create(size, origin);
    made->setAdUnitID(unit);
    made->setRootViewController(root);
    window->addSubview(made);
    banners.push_back(made);
    return made;
  }
  static std::shared_ptr<ZUMRequest> request(const Json& extras = nullptr) {
    auto made = ZUMRequest::create();
    if (!extras.is_null()) {
      auto registered = ZUMExtras::create();
      registered->setAdditionalParameters(extras);
      made->registerAdNetworkExtras(registered);
    }
    return made;
  }
  // What a banner of a new screen would do: ask for a slot, else load and file its own.
  // One load at a time: the built-in page answers requests that overlap on later turns
  // of virtual time.
  std::shared_ptr<ZUMSlot> show(const std::shared_ptr<ZUMBannerView>& b) {
    auto entry = cache->cacheEntryForBannerView(b, request());
    if (!entry) {
      cache->loadRequest(request(), b);
      settle();
    }
    return entry;
  }
  // Lets every load end, so that none outlives the test.
  void settle() {
    ASSERT_TRUE(env.runUntil([&] {
      for (const auto& b : banners) {
        if (b->slot()->state() != ZUMSlot::State::kValidAd && b->slot()->state() != ZUMSlot::State::kIdle) return false;
      }
      return true;
    })) << states();
    env.runUntilIdle();
  }
  std::string states() const {
    std::string text;
    for (const auto& b : banners) text += std::to_string(static_cast<int>(b->slot()->state())) + " ";
    return text;
  }
  Json keyOf(const std::shared_ptr<ZUMBannerView>& b) { return *ZUMBannerCache::keyForBannerView(b, request()); }

  std::shared_ptr<ZUMBannerCache> cache = ZUMBannerCache::create();
  std::shared_ptr<platform::ViewController> screenA = platform::ViewController::create();
  std::shared_ptr<platform::ViewController> screenB = platform::ViewController::create();
  std::vector<std::shared_ptr<ZUMBannerView>> banners;
};

TEST_F(ZUMBannerCacheTest, BannersOfOneUnitSizeAndExtrasGetEqualKeysWherever) {
  const Json extras = {{"tone", "calm"}};
  const ZUMAdSize rectangle = kZUMAdSizeMediumRectangle;
  const struct {
    const char* name;
    std::string unit;
    platform::Point origin;
    ZUMAdSize size;
    Json extras;
    bool equal;
  } rows[] = {
      {"elsewhere", "unit-A", {40, 300}, kZUMAdSizeBanner, extras, true},
      {"other unit", "unit-B", {0, 0}, kZUMAdSizeBanner, extras, false},
      {"other size", "unit-A", {0, 0}, rectangle, extras, false},
      {"other extras", "unit-A", {0, 0}, kZUMAdSizeBanner, Json{{"tone", "loud"}}, false},
      {"no extras", "unit-A", {0, 0}, kZUMAdSizeBanner, nullptr, false},
  };
  const auto first = banner("unit-A", screenA, {0, 10});
  const Json key = *ZUMBannerCache::keyForBannerView(first, request(extras));
  EXPECT_EQ(key.dump(), R"({"ad_unit_id":"unit-A","ad_frame":{"width":320.0,"height":50.0},)"
                        R"("ad_bounds":{"width":320.0,"height":50.0},"extras":{"tone":"calm"}})");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto other = banner(row.unit, screenA, row.origin, row.size);
    const auto otherKey = ZUMBannerCache::keyForBannerView(other, request(row.extras));
    EXPECT_EQ(otherKey == key, row.equal) << otherKey->dump();
  }
  EXPECT_FALSE(ZUMBannerCache::keyForBannerView(first, nullptr));
  EXPECT_FALSE(ZUMBannerCache::keyForBannerView(nullptr, request()));
}

TEST_F(ZUMBannerCacheTest, TheSchemaComesFromTheDefaultsAndCannotReplaceTheUnit) {
  const Json parameters = {{"ad_unit_id", "unit-Z"},
                           {"format", "320x50_mb"},
                           {"fluid", "height"},
                           {"ad_frame", {{"x", 1}, {"y", 2}, {"width", 3}}},
                           {"kw", "tea"}};
  const struct {
    const char* name;
    std::optional<Json> stored;
    Json key;
  } rows[] = {
      {"absent",
       std::nullopt,
       {{"ad_unit_id", "unit-A"}, {"ad_frame", {{"width", 3}}}, {"format", "320x50_mb"}, {"fluid", "height"}}},
      {"empty",
       Json::array(),
       {{"ad_unit_id", "unit-A"}, {"ad_frame", {{"width", 3}}}, {"format", "320x50_mb"}, {"fluid", "height"}}},
      {"no strings",
       Json{1, true},
       {{"ad_unit_id", "unit-A"}, {"ad_frame", {{"width", 3}}}, {"format", "320x50_mb"}, {"fluid", "height"}}},
      {"a list", Json{"kw", "ad_unit_id", "missing"}, {{"ad_unit_id", "unit-A"}, {"kw", "tea"}}},
      {"a list as text", R"(["fluid"])", {{"ad_unit_id", "unit-A"}, {"fluid", "height"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    store(kZUMBannerPoolSchemaKey, row.stored);
    EXPECT_EQ(ZUMBannerCache::keyFromParameters("unit-A", parameters, ZUMBannerCache::schema()), row.key);
  }
}

TEST_F(ZUMBannerCacheTest, LimitsAreClampedAndAValueThatIsNoNumberKeepsThree) {
  const struct {
    Json stored;
    std::int64_t limit;
  } rows[] = {{nullptr, 3}, {"abc", 3}, {0, 1}, {-1, 1}, {"2", 2}, {1e9, 20}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stored.dump());
    store(kZUMBannerPoolMaxPoolsKey, row.stored.is_null() ? std::nullopt : std::optional<Json>(row.stored));
    store(kZUMBannerPoolMaxQueuesKey, row.stored.is_null() ? std::nullopt : std::optional<Json>(row.stored));
    EXPECT_EQ(ZUMBannerCache::maxPools(), row.limit);
    EXPECT_EQ(ZUMBannerPool::maxQueues(), row.limit);
  }
}

TEST_F(ZUMBannerCacheTest, OnlyThePreviousScreenHandsOutSlotsEachOnceAndNeverAnInvalidatedOne) {
  auto a1 = banner("unit-A", screenA), a2 = banner("unit-A", screenA), a3 = banner("unit-A", screenA);
  for (const auto& b : {a1, a2, a3}) EXPECT_FALSE(show(b)) << "nothing from the current screen's own generation";
  settle();
  const Json key = keyOf(a1);
  EXPECT_EQ(cache->entryCount(Generation::Current, key), 3u);
  EXPECT_FALSE(cache->cacheEntryForBannerView(banner("unit-A", screenA), key));

  const auto a2Slot = a2->slot();
  std::erase(banners, a2);
  a2->removeFromSuperview();
  a2.reset();  // the banner goes away and cancels its slot
  ASSERT_EQ(a2Slot->state(), ZUMSlot::State::kInvalidated);

  const auto b1 = banner("unit-A", screenB), b2 = banner("unit-A", screenB), b3 = banner("unit-A", screenB);
  EXPECT_EQ(cache->cacheEntryForBannerView(b1, key), a1->slot()) << "the oldest first";
  EXPECT_EQ(cache->entryCount(Generation::Current, key), 1u) << "filed in the new generation";
  EXPECT_FALSE(cache->cacheEntryForBannerView(a1, std::nullopt)) << "no key: nothing asked, no generation started";
  EXPECT_FALSE(cache->cacheEntryForBannerView(nullptr, key));
  EXPECT_EQ(cache->cacheEntryForBannerView(b2, key), a3->slot()) << "the invalidated slot was skipped";
  EXPECT_FALSE(cache->cacheEntryForBannerView(b3, key)) << "each slot once";
  EXPECT_EQ(cache->entryCount(Generation::Previous, key), 0u);
  EXPECT_EQ(a1->slot()->state(), ZUMSlot::State::kValidAd) << "handed out with its ad";
}

TEST_F(ZUMBannerCacheTest, TheFourthKeyEvictsTheLeastRecentlyUsedAndTheFourthSlotTheOldest) {
  const auto k1 = banner("unit-1", screenA), k2 = banner("unit-2", screenA), k3 = banner("unit-3", screenA);
  for (const auto& b : {k1, k2, k3}) show(b);
  const auto again = banner("unit-1", screenA);
  show(again);  // unit-1 is the most recently used now
  const auto k4 = banner("unit-4", screenA);
  show(k4);
  settle();
  const std::vector<Json> expected = {keyOf(k3), keyOf(k1), keyOf(k4)};
  EXPECT_EQ(cache->recentlyAccessedKeys(), expected) << "unit-2 went";

  Slots same;
  for (int i = 0; i < 4; ++i) {
    auto b = banner("unit-4", screenA);
    show(b);
    same.push_back(b->slot());
  }
  settle();
  EXPECT_EQ(cache->entryCount(Generation::Current, keyOf(k4)), 3u);
  show(banner("unit-4", screenB));
  EXPECT_EQ(cache->entryCount(Generation::Previous, keyOf(k4)), 2u);
  EXPECT_EQ(cache->recentlyAccessedKeys(), std::vector<Json>{keyOf(k4)}) << "the new generation's own keys only";
  EXPECT_EQ(cache->cacheEntryForBannerView(banner("unit-4", screenB), keyOf(k4)), same[2]) << "the oldest were dropped";
  settle();
}

TEST_F(ZUMBannerCacheTest, ReKeyingMovesTheSlotAndDropsTheEmptiedPool) {
  const auto b = banner("unit-1", screenA);
  show(b);
  const Json oldKey = keyOf(b);
  b->setAdUnitID("unit-2");
  cache->loadRequest(request(), b);
  settle();
  EXPECT_EQ(b->bannerKey(), keyOf(b));
  EXPECT_EQ(cache->recentlyAccessedKeys(), std::vector<Json>{keyOf(b)});
  EXPECT_EQ(cache->entryCount(Generation::Current, oldKey), 0u);
  EXPECT_EQ(cache->poolCount(Generation::Current), 1u);
}

TEST_F(ZUMBannerCacheTest, LimitsOfZeroAndBelowStillEnd) {
  store(kZUMBannerPoolMaxPoolsKey, 0);
  store(kZUMBannerPoolMaxQueuesKey, -1);
  for (const char* unit : {"unit-1", "unit-1", "unit-2"}) show(banner(unit, screenA));
  settle();
  EXPECT_EQ(cache->poolCount(Generation::Current), 1u);
  EXPECT_EQ(cache->entryCount(Generation::Current, keyOf(banners.back())), 1u);
}

TEST_F(ZUMBannerCacheTest, AReleasedScreenIsNotKeptAliveAndItsSuccessorIsAnotherScreen) {
  std::weak_ptr<platform::ViewController> released = screenA;
  const auto a = banner("unit-A", screenA);
  show(a);
  settle();
  const Json key = keyOf(a);
  screenA.reset();
  EXPECT_TRUE(released.expired());
  // A screen made now may take the old one's address: it still starts a new generation.
  auto next = platform::ViewController::create();
  a->setRootViewController(next);
  EXPECT_EQ(cache->cacheEntryForBannerView(a, key), a->slot());
  EXPECT_FALSE(cache->cacheEntryForBannerView(a, key));
  auto orphan = banner("unit-A", nullptr);
  EXPECT_FALSE(cache->cacheEntryForBannerView(orphan, key)) << "no root view controller, nothing handed out";
  EXPECT_EQ(cache->poolCount(Generation::Previous), 1u) << "the switch to no screen starts a generation";
}

TEST_F(ZUMBannerCacheTest, APoolKeepsEachSlotOnceNewestLastAndTakesTheOldestFirst) {
  const auto s1 = ZUMSlot::create({}), s2 = ZUMSlot::create({}), s3 = ZUMSlot::create({});
  ZUMBannerPool pool;
  pool.addEntry(nullptr);
  for (const auto& slot : {s1, s2, s1}) pool.addEntry(slot);
  EXPECT_EQ(pool.count(), 2u) << "adding a slot again moves it";
  pool.addEntry(s3);
  EXPECT_EQ(pool.nextEntry(), s2);
  EXPECT_EQ(pool.nextEntry(), s1);
  EXPECT_EQ(pool.nextEntry(), s3);
  EXPECT_FALSE(pool.nextEntry());
  pool.removeEntry(nullptr);
  EXPECT_EQ(pool.count(), 0u);
}

}  // namespace
