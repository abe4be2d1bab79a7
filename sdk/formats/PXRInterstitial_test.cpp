#include "PXRInterstitial.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "PXRCustomRenderedAd.h"
#include "PXRCustomRenderedInterstitialDelegate.h"
#include "PXRRequest.h"
#include "ZUMAppEventDelegate.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/View.h"
#include "platform/web/WebView.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotTelemetry.h"

namespace {

using namespace std::chrono_literals;
using formatstest::Log;

// Hears custom-rendered ads and app events besides the plain callbacks.
struct PublisherHost : formatstest::HostDelegate, PXRCustomRenderedInterstitialDelegate, ZUMAppEventDelegate {
  void interstitialDidReceiveCustomRenderedAd(PXRInterstitial&,
                                              const std::shared_ptr<PXRCustomRenderedAd>& ad) override {
    customAd = ad;
    note("custom ad");
  }
  ZUMImplemented interstitialDidReceiveAppEvent(ZUMInterstitial&, const std::string& name,
                                                const std::optional<std::string>& info) override {
    return note("app event " + name + " " + info.value_or("-"));
  }
  std::shared_ptr<PXRCustomRenderedAd> customAd;
};

// An app-event delegate that does not answer app events.
struct SilentAppEvents : ZUMAppEventDelegate {};

// The SDK's own telemetry, counting the load timings reported (one per completed load).
struct CountingTelemetry : ZUMSlotTelemetry {
  explicit CountingTelemetry(std::shared_ptr<ZUMSlotTelemetry> real) : real(std::move(real)) {}
  std::shared_ptr<ZUMCSITimeRecorder> makeTimeRecorder(const std::string& action) override {
    return real->makeTimeRecorder(action);
  }
  void reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder) override {
    ++reports;
    real->reportTimeRecorder(recorder);
  }
  std::optional<std::string> contentFingerprint() override { return real->contentFingerprint(); }
  bool crashReportingEnabled() override { return real->crashReportingEnabled(); }
  bool addAnalyticsIdentifiers(nlohmann::ordered_json& p) override { return real->addAnalyticsIdentifiers(p); }
  void logAnalyticsEvent(const std::string& n, const std::string& id) override { real->logAnalyticsEvent(n, id); }
  std::shared_ptr<ZUMSlotTelemetry> real;
  int reports = 0;
};

constexpr const char* kCustomAdHTML = "<div id=\"creative\">Custom</div>";

class PXRInterstitialTest : public formatstest::FormatsTest {
 protected:
  PXRInterstitialTest() {
    interstitial->setDelegate(delegate);
    for (const char* path : {"/click_ping", "/manual_ping", "/impression_ping"})
      hosts.server.route(path, {.status = 204});
  }
  void serveCustomRenderingAd() {
    serveAd({{"X-Qyra-Custom-Rendering-Allowed", "1"},
             {"X-Qyra-Click-Tracking-Urls", "https://ads.adnetwork.example/click_ping"},
             {"X-Qyra-Manual-Tracking-Urls", "https://ads.adnetwork.example/manual_ping"},
             {"X-Qyra-Tracking-Urls", "https://ads.adnetwork.example/impression_ping"}},
            kCustomAdHTML);
  }
  std::optional<std::string> correlationIDOfRequest(std::size_t index) const {
    const auto requests = hosts.server.requests("/ad");
    const std::string query = requests.at(index).query.value_or("");
    const auto start = query.find("correlation_id=");
    if (start == std::string::npos) return std::nullopt;
    const auto end = query.find('&', start);
    return query.substr(start + 15, end == std::string::npos ? std::string::npos : end - start - 15);
  }

  std::shared_ptr<PXRInterstitial> interstitial = PXRInterstitial::create("unit-A");
  std::shared_ptr<PublisherHost> delegate = std::make_shared<PublisherHost>();
};

TEST_F(PXRInterstitialTest, ACorrelatorSetBeforeTheFirstLoadMakesTheSlotAndGoesWithTheRequest) {
  interstitial->setCorrelator(nullptr);
  EXPECT_EQ(interstitial->slot(), nullptr);
  EXPECT_EQ(interstitial->correlator(), nullptr);
  auto correlator = ZUMCorrelator::create();
  interstitial->setCorrelator(correlator);
  ASSERT_NE(interstitial->slot(), nullptr);
  EXPECT_EQ(interstitial->correlator(), correlator);
  interstitial->setCorrelator(nullptr);  // ignored
  EXPECT_EQ(interstitial->correlator(), correlator);
  // No load started yet: nothing to pre-empt, whatever the correlator does.
  correlator->reset();
  EXPECT_EQ(interstitial->slotShouldPreemptInProgressRequest(*interstitial->slot()), false);

  load(*interstitial, *delegate, PXRRequest::create());
  EXPECT_EQ(delegate->log, Log{"received"});
  EXPECT_EQ(correlationIDOfRequest(0), std::to_string(correlator->correlationID()));
  // Without custom rendering it shows as any interstitial.
  interstitial->presentFromRootViewController(host);
  env.advance(1s);
  EXPECT_EQ(host->presentedViewController(), interstitial->viewController());
  interstitial->viewController()->closeButtonPressed();
  env.advance(1s);
}

// A second load while the first still waits for its ad: it replaces the first only when
// the correlator was reset in between (a new page view); otherwise it is dropped. A
// correlator set only once the first load started finds nothing to compare with.
TEST_F(PXRInterstitialTest, ALoadInProgressIsPreemptedOnlyAfterTheCorrelatorWasReset) {
  enum class Between { Nothing, Reset, CorrelatorSet };
  for (Between between : {Between::Nothing, Between::Reset, Between::CorrelatorSet}) {
    const bool reset = between == Between::Reset;
    interstitial = PXRInterstitial::create("unit-A");
    interstitial->setDelegate(delegate);
    delegate->log.clear();
    auto correlator = ZUMCorrelator::create();
    if (between != Between::CorrelatorSet) interstitial->setCorrelator(correlator);
    hosts.server.route("/ad", {.body = "<html><body>Ad</body></html>", .held = true});
    const auto before = hosts.server.requests("/ad").size();
    const auto firstID = correlator->correlationID();
    interstitial->loadRequest(PXRRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/ad").size() == before + 1; }));
    if (reset) correlator->reset();
    if (between == Between::CorrelatorSet) interstitial->setCorrelator(correlator);
    interstitial->loadRequest(PXRRequest::create());
    if (reset) {
      ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/ad").size() == before + 2; }));
      EXPECT_EQ(correlationIDOfRequest(before + 1), std::to_string(correlator->correlationID()));
      EXPECT_NE(correlator->correlationID(), firstID);
    }
    hosts.server.release("/ad");
    ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty(); })) << reset;
    env.advance(5s);
    EXPECT_EQ(hosts.server.requests("/ad").size(), before + (reset ? 2 : 1)) << reset;
    EXPECT_EQ(delegate->log, Log{"received"}) << reset;
    if (between != Between::CorrelatorSet) {
      EXPECT_EQ(correlationIDOfRequest(before), std::to_string(firstID));
    }
  }
}

TEST_F(PXRInterstitialTest, AppEventsOfThePageReachOnlyADelegateThatAnswersThem) {
  serveAd({}, "<html><body><script>location.href = 'tolm://page/appEvent?name=color&info=red';</script></body></html>");
  const std::shared_ptr<ZUMAppEventDelegate> silent = std::make_shared<SilentAppEvents>();
  for (bool answers : {true, false}) {
    interstitial = PXRInterstitial::create("unit-A");
    interstitial->setDelegate(delegate);
    interstitial->setAppEventDelegate(answers ? std::static_pointer_cast<ZUMAppEventDelegate>(delegate) : silent);
    delegate->log.clear();
    load(*interstitial, *delegate);
    env.advance(1s);
    const Log expected = answers ? Log{"received", "app event color red"} : Log{"received"};
    EXPECT_EQ(delegate->log, expected);
  }
}

// The host draws the ad: the slot waits in rendering until the host says it is drawn;
// reports before that are dropped, after it each one reaches the server.
TEST_F(PXRInterstitialTest, ACustomRenderedAdIsDrawnByTheHostWhichReportsItsImpressionsAndClicks) {
  serveCustomRenderingAd();
  interstitial->setCustomRenderedInterstitialDelegate(delegate);
  load(*interstitial, *delegate);
  ASSERT_EQ(delegate->log, Log{"custom ad"});
  const auto& ad = delegate->customAd;
  EXPECT_EQ(ad->adHTML(), kCustomAdHTML);
  ASSERT_TRUE(ad->adBaseURL());
  EXPECT_EQ(ad->adBaseURL()->absoluteString(), "https://ads.adnetwork.example/");
  EXPECT_TRUE(interstitial->isCustomAdRenderingEnabled());
  auto slot = interstitial->slot();
  env.advance(60s);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kRendering);
  EXPECT_FALSE(interstitial->isReady());

  platform::SystemLog::Capture capture(true);
  interstitial->presentFromRootViewController(host);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains(
      "Custom ad rendering is enabled. Please directly present the interstitial from the root view controller."));
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_FALSE(interstitial->hasBeenUsed());

  ad->recordImpression();
  ad->recordClick();
  env.advance(5s);
  EXPECT_EQ(pings("/manual_ping") + pings("/click_ping") + pings("/impression_ping"), 0u);

  // The host draws the creative in a web view of its own, at the ad's base.
  auto page = platform::WebView::create({0, 0, 320, 480});
  page->loadHTMLString(*ad->adHTML(), ad->adBaseURL());
  ASSERT_TRUE(env.runUntil([&] { return !page->isLoading(); }));
  host->view()->addSubview(page);
  auto telemetry = std::make_shared<CountingTelemetry>(ZUMSlotTelemetry::shared());
  ZUMSlotTelemetry::setShared(telemetry);
  ad->finishedRenderingAdView(page);
  ad->finishedRenderingAdView(page);
  EXPECT_EQ(telemetry->reports, 1) << "the load completes once";
  EXPECT_TRUE(interstitial->isReady());
  EXPECT_TRUE(ad->isRendered());

  for (int i = 0; i < 2; ++i) {
    ad->recordImpression();
    ad->recordClick();
  }
  ASSERT_TRUE(env.runUntil([&] { return pings("/manual_ping") == 1 && pings("/click_ping") == 2; }));
  env.advance(5s);
  ASSERT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  // One impression per ad (the slot's rule); the ad's manual-tracking URLs are spent by
  // their first ping, as the ad model's are.
  EXPECT_EQ(pings("/impression_ping"), 1u);
  EXPECT_EQ(pings("/manual_ping"), 1u);
  EXPECT_EQ(pings("/click_ping"), 2u);
  EXPECT_EQ(delegate->log, (Log{"custom ad", "click", "click"}));
}

// Reports of the rendering once the slot is no longer waiting for it change nothing.
TEST_F(PXRInterstitialTest, RenderingReportedAfterTheSlotWasInvalidatedCompletesNothing) {
  serveCustomRenderingAd();
  interstitial->setCustomRenderedInterstitialDelegate(delegate);
  load(*interstitial, *delegate);
  auto ad = delegate->customAd;
  auto slot = interstitial->slot();
  slot->invalidate();
  ad->finishedRenderingAdView(platform::View::create());
  ad->recordImpression();
  ad->recordClick();
  env.advance(5s);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_EQ(pings("/manual_ping") + pings("/click_ping"), 0u);
}

// Without a delegate to draw it, the load fails once with code 12 and nothing waits.
TEST_F(PXRInterstitialTest, ACustomRenderingResponseWithoutADelegateFailsOnceWithCodeTwelve) {
  serveCustomRenderingAd();
  load(*interstitial, *delegate);
  env.advance(60s);
  EXPECT_EQ(delegate->log, Log{"failed 12"});
  EXPECT_EQ(interstitial->slot()->state(), ZUMSlot::State::kFailed);
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(interstitial.get()));
  EXPECT_EQ(delegate->lastError->localizedDescription(),
            "Ignoring delegate callback. Delegate does not conform to PXRCustomRenderedInterstitialDelegate.\n"
            "Interstitial: <PXRInterstitial: " +
                std::string(address) + ">\nDelegate: (null)");

  // The plain interstitial does not draw custom ads either.
  auto plain = ZUMInterstitial::create("unit-A");
  auto plainDelegate = std::make_shared<formatstest::HostDelegate>();
  plain->setDelegate(plainDelegate);
  load(*plain, *plainDelegate);
  env.advance(60s);
  EXPECT_EQ(plainDelegate->log, Log{"failed 12"});
}

// The ad itself drops reports made before the rendering, whatever its handler does.
TEST(PXRCustomRenderedAdTest, ReportsBeforeTheRenderingAreDropped) {
  testenv::TestEnvironment env;
  struct Handler : PXRCustomRenderedAdEventHandler {
    void finishedRenderingAdView(const std::shared_ptr<platform::View>&) override { log.push_back("rendered"); }
    void recordCustomAdImpression() override { log.push_back("impression"); }
    void recordClick() override { log.push_back("click"); }
    Log log;
  };
  auto handler = std::make_shared<Handler>();
  auto ad = PXRCustomRenderedAd::create("<p>ad</p>", platform::URL::fromString("https://a.example/"), handler);
  ad->recordImpression();
  ad->recordClick();
  ad->finishedRenderingAdView(nullptr);
  ad->recordClick();
  EXPECT_EQ(handler->log, (Log{"rendered", "click"}));
}

}  // namespace
