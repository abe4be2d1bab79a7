// The waterfall of a real slot over the real banner and interstitial connectors and
// scripted adapters answering on virtual time: the order networks are asked in, their
// time-outs, the exit codes and fill states of each outcome, the one fill-or-no-fill
// ping of a pass (at the loopback server), the CSI parameters, and answers of attempts
// that have ended (a late network, a refresh of the shown network) changing nothing.
#include "sdk/mediation/ZUMMAdManager.h"

#include <algorithm>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/View.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/native/ZUMMediatedAd.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMAdType.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using namespace connectortest;
using namespace std::chrono_literals;
using Connector = ZUMMAdNetworkConnectorImpl;

constexpr const char* kPings = "https://ads.adnetwork.example";

// The owner of the slot's ad: makes a connector of its format per entry (none for the
// networks it cannot serve), may process mediated ads, and writes the slot's outcome.
struct Owner : ZUMSlotDelegate, ZUMSlotAdLoadDelegate, ZUMAdMediationDelegate {
  std::shared_ptr<Connector> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& entry) override {
    frames.insert(__builtin_frame_address(0));  // how deep the waterfall asks from
    if (entry->networkID() == unservable) return nullptr;
    std::shared_ptr<Connector> connector;
    if (interstitial)
      connector = ZUMMAdNetworkConnectorInterstitial::create(config, entry);
    else
      connector = ZUMMAdNetworkConnectorBanner::create(config, entry);
    connectors.push_back(connector);
    return connector;
  }
  bool processesMediatedAds() const override { return processes; }
  void adProcessMediatedAd(const std::shared_ptr<ZUMAd>&, const std::shared_ptr<ZUMMediatedAd>& ad,
                           std::function<void(const platform::ErrorPtr&)> done) override {
    board->note("process");
    mediatedAd = ad;
    completion = std::move(done);
  }
  void slotFinishedLoadingAdContent(ZUMSlot&) override { board->note("slot loaded"); }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) override {
    board->note("slot failed " + std::to_string(error->code()) + " " + error->localizedDescription());
  }
  std::shared_ptr<Board> board;
  bool interstitial = false;
  bool processes = false;
  std::string unservable;
  std::vector<std::shared_ptr<Connector>> connectors;
  std::set<const void*> frames;
  std::shared_ptr<ZUMMediatedAd> mediatedAd;
  std::function<void(const platform::ErrorPtr&)> completion;
};

// Fails inside its own request, as an adapter missing what it needs does.
struct FailingAdapter : Adapter {
  using Adapter::Adapter;
  void getBannerWithSize(const ZUMAdSize&) override {
    report([](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(kZUMErrorNoFill)); });
  }
};
struct FailingClass : AdapterClass {
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    return std::make_shared<FailingAdapter>(name, connector, board, false);
  }
};

class ZUMMAdManagerTest : public testenv::PlatformTest {
 public:  // the scenario table's steps drive the fixture
  using testenv::PlatformTest::env;
  void SetUp() override {
    ZUMMobileAds::load();
    platform::URLLoading::mapHostForTesting("ads.adnetwork.example", "127.0.0.1", server.port());
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", server.port());
    owner->board = board;
    for (const char* name : {"WfA", "WfB", "WfC"}) classes[name] = registerAdapter(name, board);
    classes["WfS"] = registerSizingAdapter("WfS", board);
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setAdUnitID("unit-W");
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(owner);
    auto ad = ZUMAd::create();
    ad->setMediationDelegate(owner);
    slot->setAd(ad);
    auto csi = ZUMCSI::create();
    csi->configuration()->setReportingEnabled(true);
    slot->setCSI(csi);
    manager = ZUMMAdManager::create(slot);
  }
  void TearDown() override {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    platform::URLLoading::removeHostMappingsForTesting();
  }
  // A response over the networks (names of scripted adapters, "-" for none), with the
  // ping templates at the loopback server; each entry's id is its adapter's "n" + index.
  std::shared_ptr<const ZUMMConfig> config(const std::vector<std::string>& adapters, Json settings = Json::object()) {
    Json networks = Json::array();
    for (std::size_t i = 0; i < adapters.size(); ++i) {
      networks.push_back(
          {{"id", "n" + std::to_string(i + 1)},
           {"adapters", {adapters[i] == "-" ? "Missing" : adapters[i]}},
           {"allocation_id", "a" + std::to_string(i + 1)},
           {"fill_urls", {std::string(kPings) + prefix + "/fill?fs=@pw_adnetstatus@&nr=@pw_adnetrefresh@"}}});
    }
    if (!settings.contains("nofill_urls")) {
      settings["nofill_urls"] = {std::string(kPings) + prefix + "/nofill?aec=@pw_aec@&fs=@pw_adnetstatus@"};
    }
    auto made = ZUMMConfig::create("unit-W", {{"settings", settings}, {"ad_networks", networks}}, nullptr);
    EXPECT_TRUE(made);
    return made;
  }
  void mediate(const std::vector<std::string>& adapters, Json settings = Json::object()) {
    manager->mediateForAdType(
        owner->interstitial ? ZUMAdType::createForInterstitial() : ZUMAdType::create(kZUMAdSizeBanner),
        config(adapters, std::move(settings)));
    env.runUntilIdle();
  }
  // The newest adapter of the class.
  std::shared_ptr<Adapter> adapter(const std::string& name) { return classes[name]->adapters->back(); }
  void fill(const std::string& name) {
    auto view = platform::View::create({0, 0, 320, 50});
    adapter(name)->report([&](ZUMMAdNetworkConnector& c, Adapter& a) {
      if (owner->interstitial) return c.adapterDidReceiveInterstitial(a);
      c.adapterDidReceiveAdView(a, view);
    });
    env.runUntilIdle();
  }
  void fail(const std::string& name, const platform::ErrorPtr& error) {
    adapter(name)->report([&](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidFailAd(a, error); });
    env.runUntilIdle();
  }
  static platform::ErrorPtr noFill() { return ZUMMakeErrorWithCode(kZUMErrorNoFill); }
  // The queries of the pings at `path` once the trackers are done.
  Log pings(const std::string& path) {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    Log result;
    for (const auto& request : server.requests(prefix + path)) result.push_back(request.query.value_or(""));
    return result;
  }
  Log takeLog() { return std::exchange(board->log, {}); }

  std::string prefix;  // of the ping paths, one per scenario

  testenv::LoopbackServer server;
  std::shared_ptr<Board> board = std::make_shared<Board>();
  std::map<std::string, std::shared_ptr<AdapterClass>> classes;
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMMAdManager> manager;
};

TEST_F(ZUMMAdManagerTest, EachOutcomeWritesItsExitCodeAndFillStateAndOnePingPerPass) {
  enum class Kind { kBanner, kInterstitial, kMediated };
  const struct {
    const char* name;
    Kind kind;
    std::vector<std::string> adapters;
    std::function<void(ZUMMAdManagerTest&)> act;
    Log log;            // after the networks' requests
    Log fillPings;      // queries at /fill
    Log noFillPings;    // queries at /nofill
    std::string exits;  // left in the statistics for the impression ping
  } rows[] = {
      {"banner (its impression ping takes the exit codes)",
       Kind::kBanner,
       {"WfA"},
       [](auto& t) { t.fill("WfA"); },
       {"slot loaded"},
       {"fs=a1.0.0&nr=0"},
       {},
       ""},
      {"interstitial",
       Kind::kInterstitial,
       {"WfA"},
       [](auto& t) { t.fill("WfA"); },
       {"slot loaded"},
       {"fs=a1.0.0&nr=0"},
       {},
       "0"},
      {"no fill",
       Kind::kBanner,
       {"WfA"},
       [](auto& t) { t.fail("WfA", noFill()); },
       {"slot failed 9 Request Error: No ad to show from all configured ad networks."},
       {},
       {"aec=1&fs=a1.1.0"},
       ""},
      {"no fill of another domain is an error",
       Kind::kBanner,
       {"WfA"},
       [](auto& t) { t.fail("WfA", ZUMMakeErrorWithDomain("other.example", kZUMErrorNoFill, "none")); },
       {"slot failed 9 Request Error: No ad to show from all configured ad networks."},
       {},
       {"aec=2&fs=a1.6.0"},
       ""},
      {"time-out",
       Kind::kBanner,
       {"WfA"},
       [](auto& t) { t.env.advance(10s); },
       {"WfA stop", "slot failed 9 Request Error: No ad to show from all configured ad networks."},
       {},
       {"aec=3&fs=a1.2.10000"},
       ""},
      {"no adapter class, then a fill",
       Kind::kInterstitial,
       {"-", "WfA"},
       [](auto& t) { t.fill("WfA"); },
       {"slot loaded"},
       {"fs=a1.3.0_a2.0.0&nr=0"},
       {},
       "4,0"},
      {"cancel while asking",
       Kind::kBanner,
       {"WfA", "WfB"},
       [](auto& t) { t.manager->cancel(); },
       {"WfA stop"},
       {},
       {"aec=&fs=a1.4.0"},
       ""},
      {"mediated ad accepted",
       Kind::kMediated,
       {"WfA"},
       [](auto& t) {
         t.fill("WfA");
         t.owner->completion(nullptr);
         t.env.runUntilIdle();
       },
       {"process", "slot loaded"},
       {"fs=a1.0.0&nr=0"},
       {},
       ""},
      {"mediated ad rejected",
       Kind::kMediated,
       {"WfA"},
       [](auto& t) {
         t.fill("WfA");
         t.owner->completion(ZUMMakeErrorWithCode(kZUMErrorInternalError));
         t.env.runUntilIdle();
       },
       {"process", "slot failed 9 Request Error: No ad to show from all configured ad networks."},
       {},
       {"aec=&fs=a1.6.0"},
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    prefix = "/" + std::to_string(&row - rows);
    owner->interstitial = row.kind == Kind::kInterstitial;
    owner->processes = row.kind == Kind::kMediated;
    mediate(row.adapters);
    takeLog();
    row.act(*this);
    EXPECT_EQ(takeLog(), row.log);
    EXPECT_EQ(pings("/fill"), row.fillPings);
    EXPECT_EQ(pings("/nofill"), row.noFillPings);
    EXPECT_EQ(slot->slotStats()->adapterExitCodesParameter(), row.exits);
    manager->cancel();  // after the fill ping: nothing more is sent
    EXPECT_EQ(pings("/nofill"), row.noFillPings);
  }
}

TEST_F(ZUMMAdManagerTest, ManyNetworksFailingAtOnceEndInOneNoFillFromOneStackDepthWithOneSave) {
  auto failing = std::make_shared<FailingClass>();
  failing->name = "WfF";
  failing->board = std::make_shared<Board>();
  ZUMMRegisterAdapterClass("WfF", failing,
                           {.protocols = {kZUMMAdNetworkAdapterProtocol},
                            .operations = {kZUMMGetBannerWithSizeOperation},
                            .initialisers = {kZUMMInitWithAdNetworkConnector}});
  prefix = "/many";
  const auto saves = slot->slotStats()->saveCount();
  platform::SystemLog::Capture capture(true);
  mediate(std::vector<std::string>(10000, "WfF"));
  EXPECT_EQ(takeLog(), (Log{"slot failed 9 Request Error: No ad to show from all configured ad networks."}));
  EXPECT_EQ(owner->connectors.size(), kZUMMMaximumAdNetworks);
  EXPECT_EQ(owner->frames.size(), 1u);
  EXPECT_EQ(slot->slotStats()->saveCount() - saves, 1u);
  EXPECT_TRUE(capture.contains("names more than 1000 ad networks; the remaining 9000 entries are dropped."));
}

TEST_F(ZUMMAdManagerTest, ANoFillNamingThousandsOfURLsSendsTheCappedNumberWithOneLogLine) {
  prefix = "/capped";
  Json urls = Json::array();
  for (int n = 0; n < 2000; ++n) urls.push_back(std::string(kPings) + prefix + "/nofill?n=" + std::to_string(n));
  auto hub = ZUMApplication::sharedInstance();
  const auto sequenceBefore = std::stoull(hub->nextSequenceNumberAsString());
  platform::SystemLog::Capture capture(true);
  mediate({"WfA"}, {{"nofill_urls", urls}});
  fail("WfA", noFill());
  EXPECT_EQ(pings("/nofill").size(), kZUMMaximumPingURLsPerEvent);
  const auto messages = capture.messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(),
                       "A ping event names 2000 URLs; the 1900 past the first 100 are dropped."),
            1);
  // Only the templates sent are filled, each taking a sequence number.
  EXPECT_EQ(std::stoull(hub->nextSequenceNumberAsString()) - sequenceBefore, kZUMMaximumPingURLsPerEvent + 1);
}

TEST_F(ZUMMAdManagerTest, NetworksAreAskedInTurnEachUnderItsTimeOut) {
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("2", kZUMMAdNetworkTimeoutKey));
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("5", kZUMMFinalAdNetworkTimeoutKey));
  prefix = "/turns";
  mediate({"WfA", "-", "WfB"});
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50"}));
  env.advance(1999ms);
  EXPECT_EQ(takeLog(), Log{});
  env.advance(1ms);  // the entry without adapter still counts: not the final time-out
  EXPECT_EQ(takeLog(), (Log{"WfA stop", "WfB banner 320x50"}));
  env.advance(4999ms);
  EXPECT_EQ(takeLog(), Log{});
  env.advance(1ms);
  EXPECT_EQ(takeLog(),
            (Log{"WfB stop", "slot failed 9 Request Error: No ad to show from all configured ad networks."}));
  EXPECT_EQ(pings("/nofill"), (Log{"aec=3,4,3&fs=a1.2.2000_a2.3.0_a3.2.5000"}));
  EXPECT_FALSE(manager->hasTimeoutTimer());
  EXPECT_EQ(manager->requestingConnector(), nullptr);
}

TEST_F(ZUMMAdManagerTest, TimeOutsThatAreNoPositiveNumberAreDueAtOnceAndHugeOnesNeverComeDue) {
  prefix = "/negative";
  mediate({"WfA"}, {{"ad_network_timeout_millis", -5}});
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "WfA stop",
                            "slot failed 9 Request Error: No ad to show from all configured ad networks."}));
  prefix = "/huge";
  mediate({"WfB"}, {{"ad_network_timeout_millis", 1e300}});
  env.advance(std::chrono::hours(1));
  EXPECT_EQ(takeLog(), (Log{"WfB banner 320x50"}));
  EXPECT_TRUE(manager->requestInProgress());
  fill("WfB");
  EXPECT_EQ(takeLog(), (Log{"slot loaded"}));
  prefix = "/fraction";  // under a second is still a time-out of its own
  mediate({"WfC"}, {{"ad_network_timeout_millis", 500}});
  env.advance(499ms);
  EXPECT_EQ(takeLog(), (Log{"WfC banner 320x50"}));
  env.advance(2ms);
  EXPECT_EQ(takeLog(),
            (Log{"WfC stop", "slot failed 9 Request Error: No ad to show from all configured ad networks."}));
}

TEST_F(ZUMMAdManagerTest, NoConnectorEndsThePassWithCode8AndLeavesTheRestUntried) {
  prefix = "/noconnector";
  owner->unservable = "n2";
  mediate({"WfA", "WfB", "WfC"});
  fail("WfA", noFill());
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50",
                            "slot failed 8 Request Error: Cannot find an ad network adapter for mediation."}));
  EXPECT_EQ(pings("/nofill"), (Log{"aec=1&fs=a1.1.0"}));
  EXPECT_TRUE(classes["WfC"]->adapters->empty());
}

TEST_F(ZUMMAdManagerTest, AnswersOfAnEndedAttemptChangeNothing) {
  prefix = "/stale";
  mediate({"WfA", "WfB"});
  env.advance(10s);
  auto timedOut = owner->connectors.at(0);
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "WfA stop", "WfB banner 320x50"}));
  // Whatever the timed-out network's connector still says reaches no one.
  manager->adRequestReturnsFromConnectorWithView(*timedOut, platform::View::create({0, 0, 320, 50}));
  manager->adRequestReturnsFromConnectorWithInterstitial(*timedOut, nullptr);
  manager->adRequestReturnsFromConnectorWithMediatedAd(*timedOut, ZUMMediatedAd::create());
  manager->adRequestFailedFromConnectorWithError(*timedOut, noFill());
  env.runUntilIdle();
  EXPECT_EQ(takeLog(), Log{});
  EXPECT_EQ(manager->requestingConnector(), owner->connectors.at(1));
  EXPECT_EQ(timedOut->adManager(), nullptr);
  EXPECT_TRUE(manager->requestInProgress());
  env.advance(10s);  // the second network's time-out still fires on time
  EXPECT_EQ(takeLog(),
            (Log{"WfB stop", "slot failed 9 Request Error: No ad to show from all configured ad networks."}));
  EXPECT_EQ(pings("/nofill"), (Log{"aec=3,3&fs=a1.2.10000_a2.2.10000"}));
}

TEST_F(ZUMMAdManagerTest, TheShownNetworksRefreshesNeverTouchANewerAttempt) {
  prefix = "/refresh";
  mediate({"WfA"});
  fill("WfA");
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "slot loaded"}));
  // A refresh outside a pass: shown, no ping, the requesting network stays.
  fill("WfA");
  EXPECT_EQ(takeLog(), (Log{"slot loaded"}));
  EXPECT_EQ(manager->requestingConnector(), manager->receivedConnector());

  mediate({"WfB"});
  env.advance(5s);
  fill("WfA");  // the shown network refreshes during the new pass
  fail("WfA", ZUMMakeErrorWithDescription(kZUMErrorInternalError, "network went away"));
  EXPECT_EQ(takeLog(), (Log{"WfB banner 320x50", "slot loaded", "slot failed 3 network went away"}));
  EXPECT_TRUE(slot->hasAutoRefreshed());
  EXPECT_TRUE(manager->requestInProgress());
  env.advance(4999ms);
  EXPECT_EQ(takeLog(), Log{});
  env.advance(2ms);  // (5 s + 4.999 s falls a hair short of 10 s in binary)
  EXPECT_EQ(takeLog(),
            (Log{"WfB stop", "slot failed 9 Request Error: No ad to show from all configured ad networks."}));
  EXPECT_EQ(pings("/fill"), (Log{"fs=a1.0.0&nr=0"}));
  EXPECT_EQ(pings("/nofill"), (Log{"aec=3&fs=a1.2.10000"}));
}

TEST_F(ZUMMAdManagerTest, ASelfRefreshingNetworksFailureEndsWithCode3AndNoFurtherNetwork) {
  prefix = "/selfrefresh";
  mediate({"WfA", "WfB"});
  fill("WfA");
  fail("WfA", ZUMMakeErrorWithDescription(kZUMErrorInternalError, "gone"));
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "slot loaded", "slot failed 3 gone"}));
  EXPECT_TRUE(classes["WfB"]->adapters->empty());
}

TEST_F(ZUMMAdManagerTest, AnswersFromOtherThreadsAreHandledOnTheMainThread) {
  prefix = "/threads";
  mediate({"WfA", "WfB"});
  platform::DispatchQueue::global()->async([adapter = adapter("WfA")] {
    adapter->report(
        [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(kZUMErrorNoFill)); });
  });
  env.runUntilIdle();
  platform::DispatchQueue::global()->async([adapter = adapter("WfB")] {
    adapter->report([](ZUMMAdNetworkConnector& c, Adapter& a) {
      c.adapterDidReceiveAdView(a, platform::View::create({0, 0, 320, 50}));
    });
  });
  env.runUntilIdle();
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "WfB banner 320x50", "slot loaded"}));
}

TEST_F(ZUMMAdManagerTest, AnOwnersLateWordAfterCancelChangesNothing) {
  prefix = "/late";
  owner->processes = true;
  mediate({"WfA", "WfB"});
  fill("WfA");
  manager->cancelPendingActions();
  owner->completion(ZUMMakeErrorWithCode(kZUMErrorInternalError));
  env.runUntilIdle();
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "process"}));
  prefix = "/late2";  // nor does a time-out after cancelPendingActions
  owner->processes = false;
  mediate({"WfC"});
  manager->cancelPendingActions();
  env.advance(11s);
  EXPECT_EQ(takeLog(), (Log{"WfC banner 320x50"}));
  EXPECT_TRUE(classes["WfB"]->adapters->empty());
}

TEST_F(ZUMMAdManagerTest, TheCSIParametersNameEachNetworkWithItsDuration) {
  prefix = "/csi";
  mediate({"WfA", "WfB", "WfC"});
  env.advance(120ms);
  fail("WfA", noFill());
  env.advance(340ms);
  fail("WfB", ZUMMakeErrorWithCode(kZUMErrorInternalError));
  env.advance(80ms);
  fill("WfC");
  auto parameters = slot->CSI()->timeRecorderForAction(kZUMMCSIActionLoadMediation)->customizedParameters();
  EXPECT_EQ(parameters[kZUMMCSINetworksFailParameter], "WfA.120.WfB.340");
  EXPECT_EQ(parameters[kZUMMCSINetworkSucceedParameter], "WfC.80");
  // The next pass names only its own failures.
  mediate({"WfB", "WfA"});
  env.advance(50ms);
  fail("WfB", noFill());
  env.advance(30ms);
  fill("WfA");
  parameters = slot->CSI()->timeRecorderForAction(kZUMMCSIActionLoadMediation)->customizedParameters();
  EXPECT_EQ(parameters[kZUMMCSINetworksFailParameter], "WfB.50");
  EXPECT_EQ(parameters[kZUMMCSINetworkSucceedParameter], "WfA.30");
}

TEST_F(ZUMMAdManagerTest, SizeChangesAndPresentationReachTheShownNetworkWhenItTakesThem) {
  prefix = "/sizes";
  EXPECT_FALSE(manager->changeAdTypeTo(ZUMAdType::create(kZUMAdSizeLargeBanner)));  // nothing shown yet
  mediate({"WfA"});
  fill("WfA");
  EXPECT_FALSE(manager->changeAdTypeTo(ZUMAdType::create(kZUMAdSizeLargeBanner)));  // the network does not answer it
  mediate({"WfS"});
  fill("WfS");
  EXPECT_TRUE(manager->changeAdTypeTo(ZUMAdType::create(kZUMAdSizeMediumRectangle)));
  EXPECT_TRUE(manager->changeAdTypeTo(nullptr));
  EXPECT_EQ(manager->adType(), nullptr);
  manager->presentInterstitialFromRootViewController(nullptr);
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "slot loaded", "WfS banner 320x50", "WfA stop", "slot loaded",
                            "WfS size 300x250", "WfS size 0x0", "WfS present"}));
}

TEST_F(ZUMMAdManagerTest, AMediatedAdOfANewPassReplacesTheShownNetwork) {
  prefix = "/replace";
  owner->processes = true;
  mediate({"WfA"});
  fill("WfA");
  owner->completion(nullptr);
  mediate({"WfB"});
  fill("WfB");  // the earlier network is still the received one: the pass must not hang
  owner->completion(nullptr);
  env.runUntilIdle();
  EXPECT_EQ(takeLog(), (Log{"WfA banner 320x50", "process", "slot loaded", "WfB banner 320x50", "process", "WfA stop",
                            "slot loaded"}));
  EXPECT_EQ(manager->receivedConnector(), owner->connectors.at(1));
  EXPECT_FALSE(manager->hasTimeoutTimer());
  EXPECT_EQ(pings("/fill"), (Log{"fs=a1.0.0&nr=0", "fs=a1.0.0&nr=0"}));
}

TEST_F(ZUMMAdManagerTest, AConnectorCallingFromAnotherThreadIsHeardOnTheMainThread) {
  prefix = "/offmain";
  owner->interstitial = true;
  mediate({"WfA"});
  auto interstitial = std::make_shared<int>(7);
  platform::DispatchQueue::global()->async([manager = manager, connector = owner->connectors.at(0), interstitial] {
    manager->adRequestReturnsFromConnectorWithInterstitial(*connector, interstitial);
  });
  env.runUntilIdle();
  EXPECT_EQ(takeLog(), (Log{"WfA interstitial", "slot loaded"}));
  EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
  EXPECT_EQ(manager->lastMediatedInterstitial(), interstitial);
  EXPECT_EQ(manager->requestingConnector(), nullptr);
  EXPECT_EQ(manager->receivedConnector(), owner->connectors.at(0));
}

}  // namespace
