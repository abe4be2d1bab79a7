// The formats as owners of a mediation response: a banner view, an interstitial and a
// pool entry load through their real slot and the SDK-core page, the loopback server
// answers a mediation response, and scripted adapters answer on virtual time. Each asks
// through a connector of its kind; a banner shows its network's view and takes the
// network's own refreshes; an interstitial presents through its network, which pings
// the impression when it presents; a pool entry's waterfall goes on for the interstitial
// that took its slot.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMBannerViewDelegate.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using connectortest::Adapter;
using connectortest::Board;
using namespace std::chrono_literals;

// What the host hears from either format, in the board beside the adapters' lines.
struct Host : ZUMBannerViewDelegate, ZUMInterstitialDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override { return note("received"); }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override { return note("received"); }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial&) override { return note("willPresent"); }
  ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial&) override { return note("didDismiss"); }
  ZUMImplemented note(const std::string& what) {
    board->note("host " + what);
    return kZUMImplemented;
  }
  std::shared_ptr<Board> board;
};

class ZUMMediatedFormatsTest : public formatstest::FormatsTest {
 protected:
  ZUMMediatedFormatsTest() {
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", hosts.server.port());
    for (const char* name : {"MfA", "MfB"}) classes[name] = connectortest::registerSizingAdapter(name, board);
    hostDelegate->board = board;
  }
  ~ZUMMediatedFormatsTest() override {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  }
  // A mediation response over the adapters, pinging impressions at /imp.
  void serveMediation(const std::vector<std::string>& adapters) {
    Json networks = Json::array();
    for (const auto& name : adapters)
      networks.push_back({{"id", "n" + std::to_string(networks.size() + 1)}, {"adapters", {name}}});
    const Json settings = {{"imp_urls", {"https://ads.adnetwork.example/imp"}}};
    hosts.server.route("/ad", {.headers = {{"X-Qyra-Mediation", "1"}},
                               .body = Json{{"ad_networks", networks}, {"settings", settings}}.dump(),
                               .contentType = "application/json"});
  }
  void waitFor(const std::string& line) {
    EXPECT_TRUE(env.runUntil([&] { return std::count(board->log.begin(), board->log.end(), line) > 0; })) << line;
  }
  // The newest adapter of `name` reports.
  template <class Report>
  void report(const std::string& name, Report call) {
    classes[name]->adapters->back()->report(call);
    env.runUntilIdle();
  }
  Log takeLog() { return std::exchange(board->log, {}); }
  std::size_t impressions() {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    return pings("/imp");
  }

  std::shared_ptr<Board> board = std::make_shared<Board>();
  std::map<std::string, std::shared_ptr<connectortest::AdapterClass>> classes;
  std::shared_ptr<Host> hostDelegate = std::make_shared<Host>();
};

TEST_F(ZUMMediatedFormatsTest, ABannerShowsItsNetworksViewAndTakesTheNetworksOwnRefreshes) {
  serveMediation({"MfA"});
  auto banner = ZUMBannerView::create(kZUMAdSizeBanner);
  banner->setAdUnitID("unit-M");
  banner->setRootViewController(host);
  banner->setDelegate(hostDelegate);
  window->addSubview(banner);
  banner->loadRequest(ZUMRequest::create());
  waitFor("MfA banner 320x50");

  for (int refresh = 0; refresh < 2; ++refresh) {
    SCOPED_TRACE(refresh);
    auto view = platform::View::create({0, 0, 320, 50});
    report("MfA", [&](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidReceiveAdView(a, view); });
    waitFor("host received");
    EXPECT_EQ(takeLog(), (refresh == 0 ? Log{"MfA banner 320x50", "host received"} : Log{"host received"}));
    EXPECT_EQ(banner->mediatedAdView(), view);
    EXPECT_EQ(view->superview().get(), banner.get());
    EXPECT_EQ(banner->adNetworkClassName(), "MfA");
  }
  EXPECT_EQ(pings("/ad"), 1u) << "the network refreshed by itself";
  EXPECT_EQ(impressions(), 2u);
}

TEST_F(ZUMMediatedFormatsTest, AnInterstitialPresentsThroughItsNetworkWhichPingsTheImpressionAsItPresents) {
  serveMediation({"MfA"});
  auto interstitial = ZUMInterstitial::create("unit-M");
  interstitial->setDelegate(hostDelegate);
  interstitial->loadRequest(ZUMRequest::create());
  waitFor("MfA interstitial");
  report("MfA", [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidReceiveInterstitial(a); });
  waitFor("host received");
  ASSERT_TRUE(interstitial->isReady());
  EXPECT_EQ(interstitial->adNetworkClassName(), "MfA");

  interstitial->presentFromRootViewController(host);
  EXPECT_TRUE(interstitial->hasBeenUsed());
  EXPECT_EQ(impressions(), 0u) << "not before the network presents";
  report("MfA", [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterWillPresentInterstitial(a); });
  EXPECT_EQ(impressions(), 1u);
  report("MfA", [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidDismissInterstitial(a); });
  EXPECT_EQ(takeLog(),
            (Log{"MfA interstitial", "host received", "MfA present", "host willPresent", "host didDismiss"}));
  interstitial->presentFromRootViewController(host);  // used: the network is not asked again
  EXPECT_EQ(takeLog(), Log{});
}

TEST_F(ZUMMediatedFormatsTest, APoolEntrysWaterfallGoesOnForTheInterstitialThatTookItsSlot) {
  serveMediation({"MfA", "MfB"});
  auto entry = ZUMInterstitialCacheEntry::create(ZUMRequest::create(), "unit-M");
  waitFor("MfA interstitial");
  auto interstitial = ZUMInterstitial::create("unit-M");
  interstitial->setDelegate(hostDelegate);
  interstitial->loadSlotFromCacheEntry(entry);
  entry.reset();  // the pool lets go of a taken entry
  report("MfA",
         [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(kZUMErrorNoFill)); });
  waitFor("MfB interstitial");
  report("MfB", [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidReceiveInterstitial(a); });
  waitFor("host received");
  interstitial->presentFromRootViewController(host);
  report("MfB", [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidDismissInterstitial(a); });
  EXPECT_EQ(takeLog(), (Log{"MfA interstitial", "MfB interstitial", "MfA stop", "host received", "MfB present",
                            "host didDismiss"}));
}

}  // namespace
