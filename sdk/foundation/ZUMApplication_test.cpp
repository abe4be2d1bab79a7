#include "sdk/foundation/ZUMApplication.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMAudioVideoManager.h"
#include "ZUMMobileAds.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMScheduler.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

using json = nlohmann::ordered_json;

namespace {

class ZUMApplicationTest : public testenv::PlatformTest {
 protected:
  // Every start-up step a later subsystem fills, recorded in the order it ran.
  void recordStartupSteps() {
    ZUMRegisterStartupHooks([this](ZUMStartupHooks& hooks) {
      auto step = [this](std::string name) { return [this, name] { steps.push_back(name); }; };
      hooks.registerURLInterception = step("interception");
      hooks.enableInAppPurchaseReporting = step("purchases");
      hooks.installCrashReporter = step("crashes");
      hooks.startPingerRetrySchedule = step("retries");
      hooks.startContentHashing = step("hashing");
      hooks.warmInterstitialPool = step("pool");
      hooks.createRewardedAd = step("rewarded");
      hooks.executeSDKCoreScript = [this](std::function<std::string()> block) { scripts.push_back(block()); };
      hooks.sendForegroundPing = [this](const std::string& url) { pings.push_back(url); };
    });
  }

  std::vector<std::string> steps;
  std::vector<std::string> scripts;
  std::vector<std::string> pings;
};

TEST_F(ZUMApplicationTest, FinishingLaunchRunsBothBatchesOnceInOrder) {
  recordStartupSteps();
  EXPECT_TRUE(platform::UserDefaults::standard().setObject("1", "/vantor/ads/zums:interstitial_ad_pool:enabled"));
  ZUMApplication::load();
  ZUMApplication::load();
  testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
  env.runUntilIdle();
  // Content hashing stays off: its switch is absent.
  EXPECT_EQ(steps, (std::vector<std::string>{"interception", "purchases", "crashes", "retries", "pool", "rewarded"}));
  ZUMApplication::sharedInstance()->runEarlyActivities();
  EXPECT_EQ(steps.size(), 6u);
  EXPECT_TRUE(scripts.empty());  // no application identifier stored yet
}

TEST_F(ZUMApplicationTest, DelayedAdditionalBatchWaitsForTheConfigureCall) {
  recordStartupSteps();
  platform::Bundle::main().setObjectForInfoDictionaryKey("ZUMDelayEarlyActivities", true);
  auto hub = ZUMApplication::sharedInstance();
  hub->runEarlyActivities();
  EXPECT_EQ(steps, (std::vector<std::string>{"interception", "purchases", "crashes"}));

  ZUMMobileAds::configureWithApplicationID("app-123");
  env.runUntilIdle();
  EXPECT_EQ(steps.back(), "rewarded");
  EXPECT_EQ(hub->configuration()->priorityForKey("app_id"), 999);
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_EQ(scripts[0].rfind("setTimeout(function(){QYRA_fetchAppSettings({", 0), 0u);
  EXPECT_NE(scripts[0].find(R"("app_id":"app-123")"), std::string::npos);
  EXPECT_NE(scripts[0].find(R"("is_init":1)"), std::string::npos);
}

TEST_F(ZUMApplicationTest, SettingsScriptCannotBeBrokenOutOfByTheIdentifier) {
  recordStartupSteps();
  ZUMMobileAds::configureWithApplicationID(
      "a'</script>\xE2\x80\xA8"
      "b");
  env.runUntilIdle();
  ASSERT_FALSE(scripts.empty());
  const std::string& script = scripts.back();
  EXPECT_NE(script.find(R"("app_id":"a\u0027\u003c/script\u003e\u2028b")"), std::string::npos) << script;
}

TEST_F(ZUMApplicationTest, ServerFlagDelaysTheAdditionalBatchToo) {
  recordStartupSteps();
  ZUMBoolCacheSetValueForKey("init_delay", true);
  ZUMApplication::sharedInstance()->runEarlyActivities();
  EXPECT_EQ(steps.size(), 3u);
}

TEST_F(ZUMApplicationTest, EmptyApplicationIdentifierIsRefused) {
  recordStartupSteps();
  ZUMMobileAds::configureWithApplicationID("  ");
  env.runUntilIdle();
  EXPECT_FALSE(ZUMApplication::sharedInstance()->configuration()->objectForKey("app_id"));
  EXPECT_TRUE(scripts.empty());
}

TEST_F(ZUMApplicationTest, StoredConfigurationSurvivesARelaunchButNotItsPerLaunchFlag) {
  // What the previous launch left behind.
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(
      json{{"values", {{"app_id", "app-9"}, {"app_config_refreshed_since_app_start", true}, {"x", 1}}},
           {"priorities", {{"app_id", 999}, {"x", "not a number"}}}},
      "/vantor/ads/application_configuration"));
  recordStartupSteps();
  auto hub = ZUMApplication::sharedInstance();
  auto configuration = hub->configuration();
  EXPECT_EQ(configuration->priorityForKey("app_id"), 999);
  EXPECT_EQ(configuration->priorityForKey("x"), 500);
  EXPECT_FALSE(configuration->objectForKey("app_config_refreshed_since_app_start"));

  // A stored identifier makes the additional batch ask for the settings at once.
  hub->runAdditionalEarlyActivities();
  ASSERT_EQ(scripts.size(), 1u);
  // Configuring with the same identifier asks again.
  ZUMMobileAds::configureWithApplicationID("app-9");
  env.runUntilIdle();
  ASSERT_EQ(scripts.size(), 2u);
  EXPECT_NE(scripts[1].find(R"("app_id":"app-9")"), std::string::npos);
  configuration->addEntriesFromDictionary(json{{"app_config_refreshed_since_app_start", true}}, 500);
  env.runUntilIdle();
  hub->loadServerSideConfigurationIfNeeded();  // already refreshed in this launch
  EXPECT_EQ(scripts.size(), 2u);
}

// Each opt-out reaches telemetry once, whichever comes first: the opt-out or the hook.
// The state is per process, so each order has its own test.
void expectOptOutsInEitherOrder(void (ZUMMobileAds::*remembered)(), void (ZUMMobileAds::*atOnce)(),
                                std::function<void()> ZUMStartupHooks::*rememberedHook,
                                std::function<void()> ZUMStartupHooks::*atOnceHook) {
  auto ads = ZUMMobileAds::sharedInstance();
  std::vector<std::string> calls;
  ZUMRegisterStartupHooks([&](ZUMStartupHooks& hooks) { hooks.*atOnceHook = [&] { calls.push_back("at once"); }; });
  ((*ads).*remembered)();
  EXPECT_TRUE(calls.empty()) << "neither asked for before its hook came";
  ((*ads).*atOnce)();
  EXPECT_EQ(calls, std::vector<std::string>{"at once"});
  ZUMRegisterStartupHooks(
      [&](ZUMStartupHooks& hooks) { hooks.*rememberedHook = [&] { calls.push_back("remembered"); }; });
  EXPECT_EQ(calls, (std::vector<std::string>{"at once", "remembered"}));
  ((*ads).*remembered)();
  ((*ads).*atOnce)();
  ZUMRegisterStartupHooks([](ZUMStartupHooks&) {});
  EXPECT_EQ(calls.size(), 2u);
}

TEST_F(ZUMApplicationTest, PurchaseOptOutWaitsForTelemetryCrashOptOutActsAtOnce) {
  expectOptOutsInEitherOrder(&ZUMMobileAds::disableAutomatedInAppPurchaseReporting,
                             &ZUMMobileAds::disableAutomatedCrashReporting,
                             &ZUMStartupHooks::disableInAppPurchaseReporting, &ZUMStartupHooks::disableCrashReporting);
}

TEST_F(ZUMApplicationTest, CrashOptOutWaitsForTelemetryPurchaseOptOutActsAtOnce) {
  expectOptOutsInEitherOrder(&ZUMMobileAds::disableAutomatedCrashReporting,
                             &ZUMMobileAds::disableAutomatedInAppPurchaseReporting,
                             &ZUMStartupHooks::disableCrashReporting, &ZUMStartupHooks::disableInAppPurchaseReporting);
}

TEST_F(ZUMApplicationTest, RequestersAreCountedOncePerRequester) {
  auto hub = ZUMApplication::sharedInstance();
  int notices = 0;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMApplicationStatisticsCurrentAdRequestCountChangedNotification, nullptr, nullptr,
      [&](const platform::Notification&) { ++notices; });
  int a = 0, b = 0;
  hub->requesterWillBeginRequest(&a);
  hub->requesterWillBeginRequest(&a);
  hub->requesterWillBeginRequest(&b);
  EXPECT_EQ(hub->currentAdRequestCount(), 2);
  hub->requesterDidEndRequest(&a);
  hub->requesterDidEndRequest(&a);
  hub->requesterDidEndRequest(nullptr);  // never began: no notice
  EXPECT_EQ(hub->currentAdRequestCount(), 1);
  EXPECT_EQ(notices, 3);
  EXPECT_EQ(hub->statistics()->objectForKey("crqc"), json(2));

  hub->nextRequestStatisticsDictionaryForSlot(nullptr);
  const json second = hub->nextRequestStatisticsDictionaryForSlot(nullptr);
  EXPECT_EQ(second["seq_num"], 2);
  EXPECT_EQ(second["currts"], static_cast<std::int64_t>(env.clock().wallNow() * 1000));
}

TEST_F(ZUMApplicationTest, AdStatisticsThatChangeWaitOnceAndAreHandedBack) {
  auto hub = ZUMApplication::sharedInstance();
  // An ad's statistics tell the hub, their delegate, of each change.
  auto adStatistics = ZUMStatisticDictionary::create(hub);
  adStatistics->setObject(1, "a");
  adStatistics->setObject(2, "b");
  env.runUntilIdle();
  adStatistics->incrementNumberForKey("a", true);
  hub->statistics()->incrementNumberForKey("crqc", true);  // the hub's own: not an ad's
  env.runUntilIdle();
  auto taken = hub->pendingAdStatistics();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0]->dictionary(), (json{{"a", 2}, {"b", 2}}));
  EXPECT_TRUE(hub->pendingAdStatistics().empty());
  adStatistics->setObject(3, "c");  // waiting again, and handed back: still one entry
  env.runUntilIdle();
  hub->didNotSendAdStatistics(taken);
  hub->didNotSendAdStatistics({nullptr});
  ASSERT_EQ(hub->pendingAdStatistics().size(), 1u);
}

// Ads whose statistics no request carries away (loaded from a direct ad URL) must not
// pile up in the hub: the newest wait, the oldest are dropped, counted and logged once.
TEST_F(ZUMApplicationTest, PendingAdStatisticsAreBoundedKeepingTheNewest) {
  constexpr std::size_t kBound = ZUMApplication::kMaximumPendingAdStatistics;
  auto hub = ZUMApplication::sharedInstance();
  platform::SystemLog::Capture capture(true);
  std::vector<std::shared_ptr<ZUMStatisticDictionary>> ads;
  for (int i = 0; i < 3000; ++i) {
    ads.push_back(ZUMStatisticDictionary::create(hub));
    ads.back()->setObject(i, "ad");
    ads.back()->setObject(i, "again");  // a second change of one ad is the same entry
  }
  env.runUntilIdle();
  EXPECT_EQ(hub->droppedAdStatisticsCount(), 3000 - kBound);
  auto taken = hub->pendingAdStatistics();
  ASSERT_EQ(taken.size(), kBound);
  EXPECT_EQ(taken.front()->dictionary()["ad"], 3000 - static_cast<int>(kBound));
  EXPECT_EQ(taken.back()->dictionary()["ad"], 2999);
  const auto messages = capture.messages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.find("Dropped the statistics") != std::string::npos; }),
            1);
  // Handed back with a plain dictionary past the bound: the oldest of them goes.
  taken.push_back(ZUMAdStatistics::create(json{{"plain", 1}}));
  hub->didNotSendAdStatistics(taken);
  taken = hub->pendingAdStatistics();
  ASSERT_EQ(taken.size(), kBound);
  EXPECT_EQ(taken.back()->dictionary(), (json{{"plain", 1}}));
  EXPECT_FALSE(taken.back()->statistics());
  EXPECT_EQ(hub->droppedAdStatisticsCount(), 3001 - kBound);
}

TEST_F(ZUMApplicationTest, AvailableAdaptersAreTheNamesMediationKnowsAsAdapters) {
  struct Adapter {};
  struct Other {};
  auto& registry = platform::ClassRegistry::shared();
  registry.registerClass<Adapter>("ZUMMAdapterHTML", [] { return std::make_shared<Adapter>(); });
  registry.registerClass<Other>("ZUMMAdURLAdapter", [] { return std::make_shared<Other>(); });
  registry.registerClass<Adapter>("VendorAdapter", [] { return std::make_shared<Adapter>(); });
  auto hub = ZUMApplication::sharedInstance();
  hub->updateAvailableAdapterNamesWithPotentialAdapterNames(std::vector<std::string>{"VendorHelper", "VendorAdapter"});
  EXPECT_TRUE(hub->availableAdapterNames().empty()) << "no class is an adapter before mediation registers";
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.availableAdapterNamesInSet = [](const std::vector<std::string>& names) {
      std::vector<std::string> adapters;
      for (const auto& name : names) {
        if (platform::ClassRegistry::shared().isRegistered<Adapter>(name)) adapters.push_back(name);
      }
      return adapters;
    };
  });
  EXPECT_EQ(hub->availableAdapterNames(), (std::vector<std::string>{"ZUMMAdapterHTML", "VendorAdapter"}));
  hub->updateAvailableAdapterNamesWithPotentialAdapterNames(std::nullopt);
  EXPECT_EQ(hub->availableAdapterNames(), std::vector<std::string>{"ZUMMAdapterHTML"});
}

TEST_F(ZUMApplicationTest, ContentHashingStartsOnceAndItsStopKeepsTheContentQueue) {
  auto hub = ZUMApplication::sharedInstance();
  EXPECT_FALSE(hub->scheduler()) << "hashing is off until started";
  auto queue = platform::DispatchQueue::serial("com.vantor.morvane.content-hashing");
  auto scheduler = ZUMScheduler::create(10);
  EXPECT_FALSE(hub->startContentHashingWith(queue, nullptr, nullptr));
  ASSERT_TRUE(hub->startContentHashingWith(queue, scheduler, nullptr));
  EXPECT_FALSE(hub->startContentHashingWith(queue, ZUMScheduler::create(5), nullptr));
  EXPECT_EQ(hub->stopContentHashingAndTakeScheduler(), scheduler);
  EXPECT_FALSE(hub->serialQueue());
  EXPECT_FALSE(hub->stopContentHashingAndTakeScheduler());
  EXPECT_TRUE(hub->startContentHashingWith(queue, ZUMScheduler::create(5), nullptr));
}

TEST_F(ZUMApplicationTest, AudioVideoManagerIsMadeOnceByVideo) {
  class Manager : public ZUMAudioVideoManager {
   public:
    bool audioSessionIsApplicationManaged() const override { return false; }
    void setAudioSessionIsApplicationManaged(bool) override {}
    std::shared_ptr<ZUMAudioVideoManagerDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::weak_ptr<ZUMAudioVideoManagerDelegate>) override {}
  };
  auto ads = ZUMMobileAds::sharedInstance();
  EXPECT_FALSE(ads->audioVideoManager()) << "no video, no manager";
  int made = 0;
  ZUMRegisterStartupHooks([&](ZUMStartupHooks& hooks) {
    hooks.makeAudioVideoManager = [&]() -> std::shared_ptr<ZUMAudioVideoManager> {
      ++made;
      return std::make_shared<Manager>();
    };
  });
  auto manager = ads->audioVideoManager();
  EXPECT_TRUE(manager && ads->audioVideoManager() == manager);
  EXPECT_EQ(made, 1);
}

TEST_F(ZUMApplicationTest, LongAbsenceStartsANewSessionAndForegroundPingFollowsItsDelay) {
  recordStartupSteps();
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_TRUE(defaults.setObject(60000, "zums:app_activity_tracker:app_session_timeout_ms"));
  EXPECT_TRUE(defaults.setObject("1", "/vantor/ads/foreground_ping_enabled"));
  EXPECT_TRUE(defaults.setObject("https://ads.example/fg", "/vantor/ads/foreground_ping_url"));
  EXPECT_TRUE(defaults.setObject("2", "/vantor/ads/foreground_ping_delay"));
  auto hub = ZUMApplication::sharedInstance();
  hub->runEarlyActivities();
  env.runUntilIdle();
  const std::string firstSession = hub->sessionIdentifier();
  EXPECT_EQ(hub->nextSequenceNumberAsString(), "1");

  testenv::AppControls::background();
  env.advance(30);
  testenv::AppControls::foreground();
  env.runUntilIdle();
  EXPECT_EQ(hub->sessionIdentifier(), firstSession);  // back within the time-out
  EXPECT_TRUE(pings.empty());
  env.advance(2);
  // The ping carries the request signal, as an ad request does.
  ASSERT_EQ(pings.size(), 1u);
  EXPECT_EQ(pings[0].rfind("https://ads.example/fg?", 0), 0u) << pings[0];

  testenv::AppControls::background();
  env.advance(61);
  testenv::AppControls::foreground();
  env.runUntilIdle();
  EXPECT_NE(hub->sessionIdentifier(), firstSession);
  // Switched off, the signal stays away.
  EXPECT_TRUE(defaults.setObject("0", "/vantor/ads/zums:rdiim_signal"));
  env.advance(2);
  EXPECT_EQ(pings.back(), "https://ads.example/fg");
}

TEST_F(ZUMApplicationTest, HostileSwitchesFallBackToDefaults) {
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_TRUE(defaults.setObject(json::array({1, 2}), "/vantor/ads/bg_reload_enabled"));
  EXPECT_TRUE(defaults.setObject(json{{"a", 1}}, "/vantor/ads/application_supports_split_screen"));
  EXPECT_TRUE(defaults.setObject("not a number", "zums:app_activity_tracker:app_session_timeout_ms"));
  EXPECT_TRUE(defaults.setObject(json{{"values", "oops"}}, "/vantor/ads/application_configuration"));
  EXPECT_TRUE(defaults.setObject("1", "/vantor/ads/foreground_ping_enabled"));
  EXPECT_TRUE(defaults.setObject("https://ads.example/fg", "/vantor/ads/foreground_ping_url"));
  EXPECT_TRUE(defaults.setObject("-3", "/vantor/ads/foreground_ping_delay"));
  recordStartupSteps();
  auto hub = ZUMApplication::sharedInstance();
  hub->runEarlyActivities();
  hub->setBackgroundLoadingEnabled(true);
  EXPECT_FALSE(hub->backgroundReloadingEnabled());
  EXPECT_FALSE(hub->isSplitScreenEnabled());
  testenv::AppControls::background();
  testenv::AppControls::foreground();
  env.runUntilIdle();
  EXPECT_EQ(pings.size(), 1u) << "a negative delay sends at once";
  env.runUntilIdle();
  EXPECT_TRUE(hub->configuration()->dictionary().empty()) << "a stored configuration that is no dictionary";
  EXPECT_FALSE(hub->placeholderWindow()->isHidden()) << "parked views stay in a shown window";
}

TEST_F(ZUMApplicationTest, ServerSettingsOfAnyTypeAreStoredAndAnnounced) {
  auto hub = ZUMApplication::sharedInstance();
  int changes = 0;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMApplicationConfigurationChangedNotification, nullptr, nullptr,
      [&](const platform::Notification&) { ++changes; });
  // The page writes the per-launch flag with whatever type it likes.
  hub->configuration()->addEntriesFromDictionary(json{{"app_config_refreshed_since_app_start", "yes"}}, 500);
  env.runUntilIdle();
  hub->configuration()->setObject(1, "app_config_refreshed_since_app_start", 500);
  env.runUntilIdle();
  EXPECT_EQ(changes, 2);
  auto stored = platform::UserDefaults::standard().dictionaryForKey("/vantor/ads/application_configuration");
  ASSERT_TRUE(stored);
  EXPECT_EQ((*stored)["values"]["app_config_refreshed_since_app_start"], 1);
}

TEST_F(ZUMApplicationTest, StrictUniversalLinksOnlyForWebSchemes) {
  testenv::AppControls::setUniversalLinkHosts({"shop.example"});
  testenv::AppControls::setInstalledURLSchemes({"shopapp", "https"});  // a browser
  auto hub = ZUMApplication::sharedInstance();
  std::vector<bool> results;
  hub->openURL(*platform::URL::fromString("https://web.example/x"), true, [&](bool ok) { results.push_back(ok); });
  hub->openURL(*platform::URL::fromString("https://shop.example/x"), true, [&](bool ok) { results.push_back(ok); });
  hub->openURL(*platform::URL::fromString("https://web.example/x"), false, [&](bool ok) { results.push_back(ok); });
  env.runUntilIdle();
  EXPECT_EQ(results, (std::vector<bool>{false, true, true}));
}

TEST_F(ZUMApplicationTest, VolumeChangesAreAnnouncedOnceAndClamped) {
  auto ads = ZUMMobileAds::sharedInstance();
  int notices = 0;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMMobileAdsApplicationVolumeDidChangeNotification, nullptr, nullptr,
      [&](const platform::Notification&) { ++notices; });
  ads->setApplicationVolume(3.5f);
  ads->setApplicationVolume(3.5f);
  ads->setApplicationMuted(true);
  ads->setApplicationVolume(std::nanf(""));
  EXPECT_EQ(notices, 2);
  EXPECT_TRUE(ads->applicationMuted());
  EXPECT_FLOAT_EQ(ads->clampedApplicationVolume(), 1.0f);
}

TEST_F(ZUMApplicationTest, SignalsNeedInitialisationAndFollowTouches) {
  ZUMSignalsResetForTesting();
  std::string signal;
  EXPECT_FALSE(ZUMSignalsRequestSignal(signal, true));
  ZUMSignalsInitialize(kZUMSDKVersion);
  EXPECT_FALSE(ZUMSignalsRequestSignal(signal, false));
  ASSERT_TRUE(ZUMSignalsRequestSignal(signal, true));
  EXPECT_EQ(signal.rfind("ms=", 0), 0u);

  std::string click;
  ASSERT_TRUE(ZUMSignalsClickSignal("ad-1", click));
  // A touch on an ad view reaches the provider and changes later signals.
  auto window = platform::Window::create(platform::Rect{{0, 0}, {320, 480}});
  window->setHidden(false);
  auto adView = platform::View::create();
  adView->setFrame(platform::Rect{{0, 0}, {320, 50}});
  window->addSubview(adView);
  adView->addGestureRecognizer(ZUMGestureRecognizer::create());
  testenv::TouchControls::tap(window, {10, 10});
  std::string after;
  ASSERT_TRUE(ZUMSignalsClickSignal("ad-1", after));
  EXPECT_NE(after, click);
}

}  // namespace
