#include "sdk/formats/ZUMInterstitialPool.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMInterstitial.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnDismissPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnPopPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillWhenIdlePolicy.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/request/ZUMFullScreenNotifications.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;
using ScriptedAnswer = testenv::ScriptedResponse;

// Null and NaN are refused by the store, which leaves the key absent: what those rows need.
void setDefault(const char* key, Json value) {
  static_cast<void>(platform::UserDefaults::standard().setObject(std::move(value), key));
}

// Counts the pool's events (any thread).
struct CountingDelegate : ZUMInterstitialPoolDelegate {
  void interstitialPoolDidAddEntry(const std::shared_ptr<ZUMInterstitialPool>&) override { ++adds; }
  void interstitialPoolDidRemoveEntry(const std::shared_ptr<ZUMInterstitialPool>&) override { ++removes; }
  std::atomic<int> adds{0};
  std::atomic<int> removes{0};
};

std::optional<std::string> queryValue(const testenv::RecordedRequest& request, const char* key) {
  return ZUMQueryValueForKey(platform::URL::fromString("https://x.example/?" + request.query.value_or("")), key);
}

std::vector<testenv::RecordedRequest> cacheBeacons(const testenv::LoopbackServer& server) {
  std::vector<testenv::RecordedRequest> found;
  for (auto& beacon : server.requests("/csi")) {
    if (queryValue(beacon, "action") == kZUMInterstitialCacheEntryAction) found.push_back(std::move(beacon));
  }
  return found;
}

class ZUMInterstitialPoolTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", hosts.server.port());
    hosts.server.route("/csi", {.status = 204});
    hosts.server.route("/ad", {.body = "<html><body>Ad</body></html>"});
    setDefault(kZUMCSIReportingProbabilityKey, "1");
    setDefault("/vantor/ads/experiment_id_string", "e1,e2");
    pool->setDelegate(events);
    env.advance(1s);  // timings started at 0 are never valid
  }
  void TearDown() override {
    pool.reset();
    env.runUntilIdle();
    EXPECT_TRUE(env.runUntil([] { return ZUMCSIReporter::beaconsInFlight() == 0; }));
  }
  std::size_t adRequests() const { return hosts.server.requests("/ad").size(); }
  // The entries' beacons (slots send their own too).
  std::vector<testenv::RecordedRequest> entryBeacons() const { return cacheBeacons(hosts.server); }
  // Waits until the pool holds `count` entries, each loaded or failed.
  void waitForEntries(std::size_t count) {
    ASSERT_TRUE(env.runUntil(
        [&] { return pool->entryCount() == count && ZUMApplication::sharedInstance()->currentAdRequestCount() == 0; }));
  }
  // One entry whose answer takes two seconds (a timing of no length is never sent).
  void fillOneSlowly(ScriptedAnswer answer = {.body = "<html><body>Ad</body></html>"}) {
    answer.held = true;
    hosts.server.route("/ad", answer);
    pool->fill();
    ASSERT_TRUE(env.runUntil([&] { return hosts.server.heldCount("/ad") == 1; }));
    env.advance(2s);
    hosts.server.release("/ad");
    waitForEntries(1);
  }
  std::shared_ptr<ZUMInterstitialCacheEntry> takeLoaded() {
    auto entry = pool->nextEntry();
    EXPECT_TRUE(entry);
    if (entry) {
      EXPECT_TRUE(env.runUntil([&] { return entry->isLoaded() || entry->error(); }));
    }
    return entry;
  }
  // The "it" items of the only beacon, once it arrived.
  std::string onlyBeaconTimings() {
    EXPECT_TRUE(env.runUntil([&] { return !entryBeacons().empty(); }));
    env.runUntilIdle();
    const auto sent = entryBeacons();
    EXPECT_EQ(sent.size(), 1u);
    if (sent.empty()) return "";
    EXPECT_EQ(queryValue(sent[0], "action"), "cache_rq");
    EXPECT_EQ(queryValue(sent[0], "e"), "e1,e2");
    EXPECT_EQ(queryValue(sent[0], "sdkVersion"), ZUMRequest::sdkVersion());
    return queryValue(sent[0], "it").value_or("");
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<CountingDelegate> events = std::make_shared<CountingDelegate>();
  std::shared_ptr<ZUMInterstitialPool> pool = ZUMInterstitialPool::create(ZUMRequest::create(), "unit-A");
};

bool has(const std::string& timings, const std::string& name) { return timings.find(name + ".") != std::string::npos; }

// Three fills at once load two entries: those being made count against the depth.
TEST_F(ZUMInterstitialPoolTest, APoolHoldsAtMostItsDepthAndAnEmptyPoolGivesNothing) {
  EXPECT_EQ(pool->nextEntry(), nullptr);
  env.runUntilIdle();
  EXPECT_EQ(events->removes, 0);

  pool->fill();
  pool->fill();
  pool->fill();
  waitForEntries(2);
  EXPECT_EQ(adRequests(), 2u);
  EXPECT_EQ(events->adds, 2);
  pool->fill();  // full
  env.runUntilIdle();
  EXPECT_EQ(pool->entryCount(), 2u);
  EXPECT_EQ(adRequests(), 2u);
  auto entry = pool->nextEntry();
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->slot()->loadingRequest()->threadSafeParameters()["request_origin"], "cache");
  EXPECT_EQ(entry->slot()->adUnitID(), "unit-A");
}

TEST_F(ZUMInterstitialPoolTest, AnEntryNotTakenWithinTheTimeLimitIsDiscardedWithOneBeacon) {
  fillOneSlowly();
  env.advance(1197s);  // 1199 s after the entry was made
  EXPECT_EQ(pool->entryCount(), 1u);
  EXPECT_EQ(events->removes, 0);
  env.advance(2s);
  EXPECT_EQ(pool->entryCount(), 0u);
  env.runUntilIdle();
  EXPECT_EQ(events->removes, 1);
  const auto timings = onlyBeaconTimings();
  EXPECT_TRUE(has(timings, "cache:load")) << timings;
  EXPECT_TRUE(has(timings, "cache:discard")) << timings;
  EXPECT_FALSE(has(timings, "cache:pop") || has(timings, "cache:fail")) << timings;
}

TEST_F(ZUMInterstitialPoolTest, WithATimeLimitOfZeroAnEntryStaysUntilTaken) {
  setDefault(kZUMInterstitialPoolTimeLimitKey, 0);
  fillOneSlowly();
  env.advance(1h);
  EXPECT_EQ(pool->entryCount(), 1u);
  EXPECT_EQ(events->removes, 0);
}

TEST_F(ZUMInterstitialPoolTest, ATakenEntryReportsItsPopOnceAndKeepsItsSlot) {
  fillOneSlowly();
  auto entry = takeLoaded();
  ASSERT_TRUE(entry && entry->isLoaded());
  EXPECT_EQ(entry->slot()->state(), ZUMSlot::State::kValidAd);
  entry->slotDidMoveToPlacement();
  entry->slotDidMoveToPlacement();
  const auto timings = onlyBeaconTimings();
  EXPECT_TRUE(has(timings, "cache:load") && has(timings, "cache:pop")) << timings;
  EXPECT_FALSE(has(timings, "cache:discard")) << timings;
  auto slot = entry->slot();
  entry.reset();  // the taken slot is not torn down with its entry
  env.runUntilIdle();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
  EXPECT_EQ(entryBeacons().size(), 1u);
}

TEST_F(ZUMInterstitialPoolTest, AFailedEntryIsStillHandedOut) {
  fillOneSlowly({.status = 500});
  auto entry = takeLoaded();
  ASSERT_TRUE(entry);
  EXPECT_FALSE(entry->isLoaded());
  EXPECT_TRUE(entry->error());
  entry.reset();  // dropped untaken: a discard
  env.runUntilIdle();
  const auto timings = onlyBeaconTimings();
  EXPECT_TRUE(has(timings, "cache:fail") && has(timings, "cache:discard")) << timings;
  EXPECT_FALSE(has(timings, "cache:load")) << timings;
}

// Entries a pool still holds when it goes, from whatever queue, are torn down on the main
// thread (the slot's teardown checks it) and each sends its discard beacon.
TEST_F(ZUMInterstitialPoolTest, APoolDroppedOnAnotherQueueReleasesItsSlotsOnTheMainThread) {
  pool->fill();
  pool->fill();
  waitForEntries(2);
  std::weak_ptr<ZUMInterstitialPool> weak = pool;
  platform::DispatchQueue::global()->async([held = std::move(pool)]() mutable { held.reset(); });
  env.runUntilIdle();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(env.runUntil([&] { return entryBeacons().size() == 2; }));
}

TEST_F(ZUMInterstitialPoolTest, UntrustedSettingsAreClamped) {
  const Json absent;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    Json depth, limit;
    std::int64_t wantDepth;
    double wantLimit;
  } rows[] = {
      {absent, absent, 2, 1200}, {"3", "30", 3, 30},        {0, 1200.0, 0, 1200}, {-4, -1, 0, 0},
      {1e12, 1e300, 10, 86400},  {"many", "soon", 2, 1200}, {"5x", nan, 5, 1200}, {Json::array(), "0", 2, 0},
      {1, 0.5, 1, 10},
  };
  for (const auto& row : rows) {
    setDefault(kZUMInterstitialPoolMaxDepthKey, row.depth);
    setDefault(kZUMInterstitialPoolTimeLimitKey, row.limit);
    const auto settings = ZUMInterstitialPoolSettings::read();
    EXPECT_EQ(settings.depth, row.wantDepth) << row.depth.dump();
    EXPECT_EQ(settings.timeLimit, row.wantLimit) << row.limit.dump();
  }
  setDefault(kZUMInterstitialPoolMaxDepthKey, 0);  // no preloading
  pool->fill();
  env.runUntilIdle();
  EXPECT_EQ(adRequests(), 0u);
  EXPECT_EQ(events->adds, 0);
}

// --- Refill policies -------------------------------------------------------------------------

TEST_F(ZUMInterstitialPoolTest, OnPopFillsToTheDepthAndReplacesATakenEntryAtOnce) {
  auto policy = ZUMInterstitialPoolRefillOnPopPolicy::create();
  pool->setDelegate(policy);
  policy->addPool(pool);
  waitForEntries(2);
  EXPECT_EQ(adRequests(), 2u);
  auto taken = pool->nextEntry();
  ASSERT_TRUE(taken);
  EXPECT_TRUE(env.runUntil([&] { return adRequests() == 3u; }));
  waitForEntries(2);
  EXPECT_EQ(adRequests(), 3u);
}

class ZUMInterstitialPoolDismissTest : public ZUMInterstitialPoolTest {
 protected:
  // A real interstitial shown and closed: its full-screen session posts the dismissal.
  void showAndCloseAnInterstitial() {
    auto window = platform::Window::create();
    auto host = platform::ViewController::create();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    auto interstitial = ZUMInterstitial::create("unit-B");
    interstitial->loadRequest(ZUMRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return interstitial->isReady(); }));
    interstitial->presentFromRootViewController(host);
    env.advance(1s);
    interstitial->viewController()->closeButtonPressed();
    env.advance(1s);
  }
};

TEST_F(ZUMInterstitialPoolDismissTest, OnDismissFillsOnlyAfterAFullScreenAdWasDismissed) {
  auto policy = ZUMInterstitialPoolRefillOnDismissPolicy::create();
  pool->setDelegate(policy);
  policy->addPool(pool);
  env.advance(5s);
  EXPECT_EQ(pool->entryCount(), 0u);
  EXPECT_EQ(adRequests(), 0u);

  showAndCloseAnInterstitial();
  waitForEntries(2);
  EXPECT_EQ(adRequests(), 3u);  // the interstitial's own and two entries
  ASSERT_TRUE(pool->nextEntry());
  env.advance(5s);  // a removal does not refill
  EXPECT_EQ(pool->entryCount(), 1u);
  EXPECT_EQ(adRequests(), 3u);

  std::weak_ptr<ZUMInterstitialPoolRefillOnDismissPolicy> weak = policy;
  pool->setDelegate(nullptr);
  policy.reset();
  env.runUntilIdle();
  EXPECT_TRUE(weak.expired());
  platform::NotificationCenter::defaultCenter().post(kZUMAdModalViewControllerDidDismissFullScreenNotification);
  env.advance(5s);
  EXPECT_EQ(adRequests(), 3u);
}

TEST_F(ZUMInterstitialPoolTest, WhenIdleWaitsForTheLastRequestAndTheLastBufferingPlayer) {
  hosts.server.route("/ad", {.body = "<html><body>Ad</body></html>", .held = true});
  auto busy = ZUMSlot::create();
  busy->setAdUnitID("unit-C");
  busy->loadRequest(ZUMRequest::create());  // a request in flight, held by the server
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.heldCount("/ad") == 1; }));

  auto policy = ZUMInterstitialPoolRefillWhenIdlePolicy::create();
  pool->setDelegate(policy);
  policy->addPool(pool);
  auto& center = platform::NotificationCenter::defaultCenter();
  auto player = std::make_shared<int>(1);
  auto destroyed = std::make_shared<int>(2);
  center.post(kZUMVideoPlayerWillStartBufferingNotification, player);
  center.post(kZUMVideoPlayerWillStartBufferingNotification, destroyed);
  env.advance(5s);
  EXPECT_EQ(adRequests(), 1u);

  hosts.server.release("/ad");  // the request ends, but players buffer
  ASSERT_TRUE(env.runUntil([&] { return ZUMApplication::sharedInstance()->currentAdRequestCount() == 0; }));
  env.advance(5s);
  EXPECT_EQ(adRequests(), 1u);

  center.post(kZUMVideoPlayerDidStopBufferingNotification, player);  // one still buffers
  env.advance(5s);
  EXPECT_EQ(adRequests(), 1u);

  destroyed.reset();  // gone while buffering: stopped
  center.post(kZUMVideoPlayerDidStopBufferingNotification, player);
  waitForEntries(2);  // each entry's end is the next idle moment
  EXPECT_EQ(adRequests(), 3u);

  std::weak_ptr<ZUMInterstitialPoolRefillWhenIdlePolicy> weak = policy;
  pool->setDelegate(nullptr);
  policy.reset();
  env.runUntilIdle();
  EXPECT_TRUE(weak.expired());
  pool->nextEntry();
  center.post(kZUMApplicationStatisticsCurrentAdRequestCountChangedNotification);
  env.advance(5s);
  EXPECT_EQ(adRequests(), 3u);
}

TEST_F(ZUMInterstitialPoolTest, WhenIdleFillsAPoolAddedWhileIdle) {
  auto policy = ZUMInterstitialPoolRefillWhenIdlePolicy::create();
  pool->setDelegate(policy);
  policy->addPool(pool);
  waitForEntries(2);  // the add starts the first, the end of each load the next
  EXPECT_EQ(adRequests(), 2u);
}

// Takes, expiries and fills from several threads at once: every entry made ends in exactly
// one beacon, and every entry appended is taken, expired or still held.
TEST(ZUMInterstitialPoolThreadedTest, TakesExpiriesAndFillsFromSeveralThreads) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = true});
  ZUMMobileAds::load();
  testenv::LoopbackServer server;
  platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", server.port());
  server.route("/csi", {.status = 204});
  setDefault(kZUMCSIReportingProbabilityKey, "1");
  setDefault(kZUMInterstitialPoolMaxDepthKey, 3);
  setDefault(kZUMInterstitialPoolTimeLimitKey, 10);
  env.advance(1s);
  auto events = std::make_shared<CountingDelegate>();
  // An inactive application: each slot refuses its load at once, so only the pool and the
  // beacons run.
  testenv::AppControls::resignActive();
  auto pool = ZUMInterstitialPool::create(ZUMRequest::create(), "unit-A");
  pool->setDelegate(events);

  // The main thread moves time by ticks of 3 s (entries live 10 s). Fillers fill all the
  // time; at every fourth tick each taker takes one entry, so some entries are taken and
  // others expire.
  constexpr int kTicks = 40;
  constexpr int kTakers = 2;
  std::atomic<int> tick{0};
  std::atomic<int> tookAtTick{0};
  std::atomic<bool> stop{false};
  std::atomic<int> taken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 2 * kTakers; ++t) {
    threads.emplace_back([&, taker = t % 2 == 0] {
      for (int last = -1; !stop;) {
        pool->fill();
        if (const int now = tick; taker && now % 4 == 0 && now != last) {
          last = now;
          if (auto entry = pool->nextEntry()) {
            ++taken;
            ZUMRunOnMainThread([entry] { entry->slotDidMoveToPlacement(); });
          }
          ++tookAtTick;
        }
        std::this_thread::yield();
      }
    });
  }
  auto settle = [&] {
    // Beacons travel in real time: none may time out on the virtual clock.
    return env.runUntil([&] { return tookAtTick == kTakers && ZUMCSIReporter::beaconsInFlight() == 0; });
  };
  bool settled = true;
  for (int i = 0; i < kTicks && settled; ++i) {
    if (tick % 4 == 0) settled = settle();
    tookAtTick = 0;
    ++tick;
    env.advance(3s);
    settled = settled && env.runUntil([] { return ZUMCSIReporter::beaconsInFlight() == 0; });
  }
  stop = true;
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(settled);
  // Fills still on their way may add entries after the threads stopped: they expire too.
  // Then every appended entry has left and none was lost (the events arrive on the global
  // queue).
  auto drained = [&] { return pool->entryCount() == 0 && events->adds == events->removes; };
  bool allLeft = false;
  for (int i = 0; i < 10 && !allLeft; ++i) {
    env.advance(11s);
    allLeft = env.runUntil(drained, 500ms);
  }
  EXPECT_TRUE(allLeft) << events->adds << " added, " << events->removes << " removed";
  EXPECT_GT(taken, 0);
  EXPECT_GT(events->removes - taken, 0);  // expired
  pool.reset();
  const auto made = static_cast<std::size_t>(events->adds.load());
  ASSERT_TRUE(env.runUntil([&] { return cacheBeacons(server).size() >= made; }));
  // Slots send beacons of their own: every load ends before the environment goes.
  for (int settled = 0; settled < 2; ++settled) {
    env.runUntilIdle();
    ASSERT_TRUE(env.runUntil([] { return ZUMCSIReporter::beaconsInFlight() == 0; }));
  }
  EXPECT_EQ(cacheBeacons(server).size(), made);
  platform::URLLoading::removeHostMappingsForTesting();
}

}  // namespace
