#include "PXRBannerView.h"

#include <gtest/gtest.h>

#include "PXRCustomRenderedAd.h"
#include "PXRCustomRenderedBannerViewDelegate.h"
#include "PXRRequest.h"
#include "ZUMAdSizeDelegate.h"
#include "ZUMAppEventDelegate.h"
#include "platform/base/SystemLog.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using namespace std::chrono_literals;
using formatstest::Log;

// Everything a publisher banner tells its host, in order, "!" marking one off the main
// thread.
struct PublisherHost : ZUMBannerViewDelegate,
                       ZUMAdSizeDelegate,
                       ZUMAppEventDelegate,
                       PXRCustomRenderedBannerViewDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override { return note("received"); }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& e) override {
    lastError = e;
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented adViewWillChangeAdSizeTo(ZUMBannerView&, const ZUMAdSize& size) override {
    return note("willChangeTo " + ZUMAdSizeDescription(size));
  }
  ZUMImplemented adViewDidReceiveAppEvent(ZUMBannerView& banner, const std::string& name,
                                          const std::optional<std::string>& info) override {
    lastBanner = &banner;
    return note("app event " + name + " " + info.value_or("-"));
  }
  void bannerViewDidReceiveCustomRenderedAd(PXRBannerView&, const std::shared_ptr<PXRCustomRenderedAd>& ad) override {
    customAd = ad;
    note("custom ad");
  }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? std::move(what) : what + "!");
    return kZUMImplemented;
  }
  Log log;
  ZUMRequestErrorPtr lastError;
  const ZUMBannerView* lastBanner = nullptr;
  std::shared_ptr<PXRCustomRenderedAd> customAd;
};

constexpr const char* kCustomAdHTML = "<div id=\"creative\">Custom</div>";

class PXRBannerViewTest : public formatstest::FormatsTest {
 protected:
  PXRBannerViewTest() {
    for (const char* path : {"/click_ping", "/manual_ping", "/impression_ping"})
      hosts.server.route(path, {.status = 204});
    placed(banner);
  }
  void placed(const std::shared_ptr<PXRBannerView>& view) {
    view->setAdUnitID("unit-A");
    view->setRootViewController(host);
    view->setDelegate(delegate);
    view->setAdSizeDelegate(delegate);
    view->setAppEventDelegate(delegate);
    window->addSubview(view);
  }
  // Loads and waits until the host hears something more.
  void load() {
    const auto heard = delegate->log.size();
    banner->loadRequest(PXRRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return delegate->log.size() > heard; }));
  }
  // The value of `key` in the query of the `index`th ad request the server saw.
  std::optional<std::string> sent(std::size_t index, const std::string& key) const {
    const auto requests = hosts.server.requests("/ad");
    if (index >= requests.size()) return "no request";
    return ZUMQueryValueForKey(platform::URL::fromString("https://a.example/?" + requests[index].query.value_or("")),
                               key);
  }
  void serveCustomRenderingAd() {
    serveAd({{"X-Qyra-Custom-Rendering-Allowed", "1"},
             {"X-Qyra-Click-Tracking-Urls", "https://ads.adnetwork.example/click_ping"},
             {"X-Qyra-Manual-Tracking-Urls", "https://ads.adnetwork.example/manual_ping"},
             {"X-Qyra-Tracking-Urls", "https://ads.adnetwork.example/impression_ping"}},
            kCustomAdHTML);
  }

  std::shared_ptr<PXRBannerView> banner = PXRBannerView::create(kZUMAdSizeBanner);
  std::shared_ptr<PublisherHost> delegate = std::make_shared<PublisherHost>();
};

TEST_F(PXRBannerViewTest, EachInitializerKeepsSizeAndFrameInStep) {
  const struct {
    const char* name;
    std::shared_ptr<PXRBannerView> banner;
    platform::Rect frame;
    ZUMAdSize adSize;
  } rows[] = {
      {"none", PXRBannerView::create(), {0, 0, 0, 0}, {{0, 0}, kZUMAdSizeFlagCustom}},
      {"size and origin", PXRBannerView::create(kZUMAdSizeBanner, {5, 7}), {5, 7, 320, 50}, kZUMAdSizeBanner},
      {"frame", PXRBannerView::create(platform::Rect{1, 2, 300, 250}), {1, 2, 300, 250}, kZUMAdSizeMediumRectangle},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.banner->frame(), row.frame) << row.name;
    EXPECT_TRUE(ZUMAdSizeEqualToSize(row.banner->adSize(), row.adSize)) << row.name;
    EXPECT_EQ(row.banner->validAdSizes(), std::nullopt) << row.name;
  }
}

// "dcs" and "dcr" are process-wide: once a setter was used, every later request of any
// ad carries them. Setting the list directly turns on neither.
TEST_F(PXRBannerViewTest, TheSizeSettersMarkEveryLaterRequest) {
  const std::vector<std::any> direct{ZUMValueFromAdSize(kZUMAdSizeBanner)};
  banner->setValidAdSizes(direct);
  load();
  EXPECT_EQ(sent(0, "dcs"), std::nullopt);
  EXPECT_EQ(sent(0, "dcr"), std::nullopt);
  EXPECT_EQ(sent(0, "sz"), "320x50");

  banner->setValidAdSizesWithSizes({});
  ASSERT_TRUE(banner->validAdSizes());
  EXPECT_TRUE(banner->validAdSizes()->empty());
  platform::SystemLog::Capture capture(true);
  banner->resize(kZUMAdSizeInvalid);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Unable to set adSize property. "));
  EXPECT_TRUE(ZUMAdSizeEqualToSize(banner->adSize(), kZUMAdSizeBanner));
  load();
  EXPECT_EQ(sent(1, "dcs"), "1");
  EXPECT_EQ(sent(1, "dcr"), "1");
  auto other = PXRBannerView::create(kZUMAdSizeBanner);
  EXPECT_EQ(other->requestParametersForRequest(ZUMRequest::create()).value("dcs", ""), "1");

  // A host-side resize takes the size at once, without a new request.
  banner->resize(kZUMAdSizeMediumRectangle);
  env.advance(5s);
  EXPECT_TRUE(ZUMAdSizeEqualToSize(banner->adSize(), kZUMAdSizeMediumRectangle));
  EXPECT_EQ(banner->frame().size, (platform::Size{300, 250}));
  EXPECT_EQ(hosts.server.requests("/ad").size(), 2u);
}

// An ad of another of the valid sizes resizes the banner, telling the host first; the
// host hears nothing of a size the banner already has.
TEST_F(PXRBannerViewTest, AnAdOfAnotherValidSizeResizesTheBanner) {
  banner->setValidAdSizesWithSizes({kZUMAdSizeBanner, kZUMAdSizeMediumRectangle});
  serveAd({{"X-Qyra-Ad-Size", "300x250"}});
  load();
  env.advance(1s);
  EXPECT_EQ(sent(0, "sz"), "320x50|300x250");
  EXPECT_EQ(delegate->log, (Log{"willChangeTo " + ZUMAdSizeDescription(kZUMAdSizeMediumRectangle), "received"}));
  EXPECT_TRUE(ZUMAdSizeEqualToSize(banner->adSize(), kZUMAdSizeMediumRectangle));
  EXPECT_EQ(banner->frame().size, (platform::Size{300, 250}));

  banner->slotWillResizeToAdSize(*banner->slot(), kZUMAdSizeMediumRectangle);
  banner->setAdSizeDelegate(nullptr);
  banner->slotWillResizeToAdSize(*banner->slot(), kZUMAdSizeBanner);
  EXPECT_EQ(delegate->log.size(), 2u);
}

TEST_F(PXRBannerViewTest, AppEventsOfThePageReachTheHostWithTheBanner) {
  serveAd({}, "<html><body><script>location.href = 'tolm://page/appEvent?name=color&info=red';</script></body></html>");
  load();
  env.advance(1s);
  EXPECT_EQ(delegate->log, (Log{"received", "app event color red"}));
  EXPECT_EQ(delegate->lastBanner, banner.get());
  // A delegate that is gone hears nothing, and nothing breaks.
  banner->setAppEventDelegate(std::make_shared<PublisherHost>());
  banner->slot()->reloadCurrentRequest();
  ASSERT_TRUE(env.runUntil([&] { return delegate->log.size() == 3; }));
  env.advance(1s);
  EXPECT_EQ(delegate->log.size(), 3u);
}

// Each ad's manual-tracking URLs are pinged by the host's first recordImpression() of it.
TEST_F(PXRBannerViewTest, ManualImpressionsPingEachAdsManualTrackingURLs) {
  banner->recordImpression();  // no ad yet
  banner->setEnableManualImpressions(true);
  EXPECT_TRUE(banner->enableManualImpressions());
  serveAd({{"X-Qyra-Manual-Tracking-Urls", "https://ads.adnetwork.example/manual_ping"}});
  load();
  EXPECT_EQ(sent(0, "d_imp_hdr"), "1");
  env.advance(5s);
  EXPECT_EQ(pings("/manual_ping"), 0u) << "the host counts impressions";
  banner->recordImpression();
  ASSERT_TRUE(env.runUntil([&] { return pings("/manual_ping") == 1; }));
  banner->recordImpression();
  banner->slot()->reloadCurrentRequest();
  ASSERT_TRUE(env.runUntil([&] { return delegate->log.size() == 2; }));
  banner->recordImpression();
  ASSERT_TRUE(env.runUntil([&] { return pings("/manual_ping") == 2; }));
  env.advance(5s);
  EXPECT_EQ(pings("/manual_ping"), 2u);
}

// A second load while the first still waits for its ad replaces it only when the slot's
// correlator was reset in between; the first load has nothing to compare with.
TEST_F(PXRBannerViewTest, ALoadInProgressIsPreemptedOnlyAfterTheCorrelatorWasReset) {
  auto correlator = ZUMCorrelator::create();
  banner->setCorrelator(correlator);
  EXPECT_EQ(banner->correlator(), correlator);
  correlator->reset();
  EXPECT_EQ(banner->slotShouldPreemptInProgressRequest(*banner->slot()), false);

  // A correlator set only once the first load started has nothing to compare with either.
  enum class Between { kNothing, kReset, kCorrelatorRemoved, kCorrelatorSet };
  for (Between between : {Between::kNothing, Between::kReset, Between::kCorrelatorRemoved, Between::kCorrelatorSet}) {
    const bool reset = between == Between::kReset;
    banner = PXRBannerView::create(kZUMAdSizeBanner);
    placed(banner);
    if (between != Between::kCorrelatorSet) banner->setCorrelator(correlator);
    delegate->log.clear();
    hosts.server.route("/ad", {.body = "<html><body>Ad</body></html>", .held = true});
    const auto before = hosts.server.requests("/ad").size();
    const auto firstID = correlator->correlationID();
    banner->loadRequest(PXRRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/ad").size() == before + 1; }));
    if (reset) correlator->reset();
    if (between == Between::kCorrelatorRemoved) banner->setCorrelator(nullptr);
    if (between == Between::kCorrelatorSet) banner->setCorrelator(correlator);
    banner->loadRequest(PXRRequest::create());
    if (reset) {
      ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/ad").size() == before + 2; }));
    }
    hosts.server.release("/ad");
    ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty(); })) << reset;
    env.advance(5s);
    EXPECT_EQ(hosts.server.requests("/ad").size(), before + (reset ? 2 : 1)) << reset;
    EXPECT_EQ(delegate->log, Log{"received"}) << reset;
    const bool sentWithFirst = between != Between::kCorrelatorSet;
    EXPECT_EQ(sent(before, "correlation_id"), sentWithFirst ? std::optional(std::to_string(firstID)) : std::nullopt);
    if (reset) {
      EXPECT_EQ(sent(before + 1, "correlation_id"), std::to_string(correlator->correlationID()));
    }
  }
}

// The host draws the ad: the load completes when the host says it is drawn; reports
// before that are dropped, after it each reaches the server.
TEST_F(PXRBannerViewTest, ACustomRenderedAdIsDrawnByTheHostWhichReportsBack) {
  serveCustomRenderingAd();
  banner->setCustomRenderedBannerViewDelegate(delegate);
  load();
  ASSERT_EQ(delegate->log, Log{"custom ad"});
  const auto ad = delegate->customAd;
  EXPECT_EQ(ad->adHTML(), kCustomAdHTML);
  ASSERT_TRUE(ad->adBaseURL());
  EXPECT_EQ(ad->adBaseURL()->absoluteString(), "https://ads.adnetwork.example/");
  env.advance(60s);
  EXPECT_EQ(banner->slot()->state(), ZUMSlot::State::kRendering);
  ad->recordImpression();
  ad->recordClick();
  env.advance(5s);
  EXPECT_EQ(pings("/manual_ping") + pings("/click_ping") + pings("/impression_ping"), 0u);

  ad->finishedRenderingAdView(platform::View::create());
  ad->finishedRenderingAdView(platform::View::create());
  env.runUntilIdle();
  EXPECT_EQ(banner->slot()->state(), ZUMSlot::State::kValidAd) << "the host knows it drew the ad: no callback";
  EXPECT_EQ(delegate->log, Log{"custom ad"});
  for (int i = 0; i < 2; ++i) {
    ad->recordImpression();
    ad->recordClick();
  }
  ASSERT_TRUE(env.runUntil([&] { return pings("/manual_ping") == 1 && pings("/click_ping") == 2; }));
  ASSERT_TRUE(env.runUntil([&] { return pings("/impression_ping") == 1; }));
  env.advance(120s);
  EXPECT_EQ(hosts.server.requests("/ad").size(), 1u) << "a custom-rendered banner does not refresh";
}

// Without a delegate to draw it, the load fails once with code 12 and the text naming
// the banner.
TEST_F(PXRBannerViewTest, ACustomRenderingResponseWithoutADelegateFailsOnceWithCodeTwelve) {
  serveCustomRenderingAd();
  load();
  env.advance(120s);
  EXPECT_EQ(delegate->log, Log{"failed 12"});
  EXPECT_EQ(delegate->lastError->localizedDescription(),
            "Ignoring delegate callback. Delegate does not conform to PXRCustomRenderedBannerViewDelegate.\n"
            "Banner view: " +
                banner->description() + "\nDelegate: (null)");
  EXPECT_EQ(banner->slot()->state(), ZUMSlot::State::kFailed);
}

}  // namespace
