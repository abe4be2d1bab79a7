// The whole road of an interstitial load, against its floor in the same run.
//
// The road: ZUMMobileAds::load(), a key window with a root controller, the SDK's built-in
// SDK-core page and an ad, both served by the loopback server. One iteration is a new
// ZUMInterstitial loaded from loadRequest() until its delegate hears
// interstitialDidReceiveAd. The SDK-core page is loaded in the warm-up and stays loaded,
// as it does in a real process, so its load is no part of an iteration.
//
// The floor: the same work on the platform, without the SDK around it. The warm-up reads
// what one load of the road really does (the requests the server sees, the scripts the
// SDK-core page and the ad's page evaluate until the ad is received) and the floor
// repeats exactly that: each script on a platform web view holding the same SDK-core
// page, the request through the platform's URL loading (same URL, same header fields,
// same response), and the response loaded at the ad's base URL into a new web view, so
// into a new content process, as each new interstitial's ad view gets one. As built, a
// load is one request (the ad URL), one script in the SDK-core page (QYRA_getAd) and the
// ad's page; the ad's page hears its first SDK events (orientation, volume) only after
// the ad was received, so neither side counts them.
//
// "ratio_to_floor" is the road's time over the floor's; "road_ms" and "floor_ms" are the
// times per load (the benchmark's own time is the road's). Dropping each side's pages
// and content processes runs outside the stopwatch.
//
// A second benchmark sets the publisher interstitial's road against this one's, in the
// same run (see BM_PublisherInterstitialRoadVersusPlain); a third a load taken from the
// interstitial pool against a fresh one (BM_PooledInterstitialVersusFresh); a fourth
// measures a banner's refresh against the same floor, its ad page kept as a banner keeps
// its ad view (see BM_BannerRefreshVersusFloor); a fifth the publisher banner's refresh
// against the plain banner's (BM_PublisherBannerRefreshVersusPlain).
//
// Real time and the threaded executor, as in production, because what is measured must be
// real work: HTTP over loopback, content processes launched and scripts run in them, and
// the hops between the main thread and the SDK's serial queues. The deterministic
// executor would run those queues on the main thread with no hop at all, and on the
// virtual clock a timer on the road would fall due at once, so a road that waits on
// itself would look free. The main run loop runs as an application's does: it sleeps
// until a timer falls due or another thread hands it work.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchHost.h"
#include "BenchMainLoop.h"
#include "PXRBannerView.h"
#include "PXRInterstitial.h"
#include "PXRRequest.h"
#include "ZUMBannerView.h"
#include "ZUMInterstitial.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/Executor.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLConnectionDelegate.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebView.h"
#include "platform/web/WebViewDelegate.h"
#include "sdk/formats/ZUMInterstitialCache.h"
#include "sdk/formats/ZUMInterstitialPool.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "sdk/sdkcore/ZUMSDKCoreWebView.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using morvanebench::Clock;
using morvanebench::kStepLimit;
using morvanebench::milliseconds;
using morvanebench::runMainLoopFor;
using morvanebench::runMainLoopUntil;

constexpr int kLoads = 60;
// How long the warm-up lets trailing work end (the first load's settings fetch, events
// queued for a page).
constexpr Clock::duration kSettleTime = std::chrono::milliseconds(300);
constexpr const char* kAdHTML = "<html><body>Ad<script>var a = 1;</script></body></html>";

// The older engine behind an ad view: the SDK shows both pages in it here, and the
// floor uses it directly.
std::shared_ptr<platform::WebView> engineOf(const std::shared_ptr<platform::View>& view) {
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(view);
  auto webView = adView ? std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView()) : nullptr;
  return webView ? webView->engine() : nullptr;
}

std::shared_ptr<platform::WebView> SDKCoreEngine() {
  auto controller = ZUMSDKCoreController::sharedInstance();
  auto page = controller ? controller->activeSDKCoreWebView() : nullptr;
  return page ? engineOf(page->adView()) : nullptr;
}

// --- The road ------------------------------------------------------------------------------

struct Receiver : ZUMInterstitialDelegate {
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial& interstitial) override {
    receivedAt = Clock::now();
    if (auto engine = engineOf(interstitial.slot()->adView())) adScriptsAtReceipt = engine->evaluatedScripts();
    return kZUMImplemented;
  }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr&) override {
    failed = true;
    return kZUMImplemented;
  }
  std::optional<Clock::time_point> receivedAt;
  bool failed = false;
  std::vector<std::string> adScriptsAtReceipt;
};

struct RoadLoad {
  std::shared_ptr<ZUMInterstitial> interstitial;
  std::shared_ptr<Receiver> receiver;
  std::optional<Clock::duration> time;  // absent: no ad
};

RoadLoad loadInterstitial(std::shared_ptr<ZUMInterstitial> interstitial = ZUMInterstitial::create("unit-A"),
                          const std::shared_ptr<ZUMRequest>& request = ZUMRequest::create()) {
  RoadLoad load{std::move(interstitial), std::make_shared<Receiver>(), std::nullopt};
  load.interstitial->setDelegate(load.receiver);
  const auto begin = Clock::now();
  load.interstitial->loadRequest(request);
  runMainLoopUntil([&] { return load.receiver->receivedAt || load.receiver->failed; });
  if (load.receiver->receivedAt) load.time = *load.receiver->receivedAt - begin;
  return load;
}

// Drops the interstitial and runs the main loop until its ad view, and so its page and
// content process, is gone (the slot is released on a later turn).
bool dispose(RoadLoad& load) {
  std::weak_ptr<platform::View> adView = load.interstitial->slot()->adView();
  load.interstitial.reset();
  return runMainLoopUntil([&] { return adView.expired(); });
}

// What one load of the road does, read in the warm-up; the floor repeats it.
struct LoadWork {
  std::vector<testenv::RecordedRequest> requests;
  std::vector<std::string> SDKCoreScripts;
  std::vector<std::string> adScripts;  // in the ad's page until the ad was received
  std::optional<platform::URL> adURL;  // the ad's base URL: the URL it was fetched from
  platform::Rect adFrame;
};

// Loads one interstitial (the SDK-core page already loaded) and reads what it did.
std::optional<LoadWork> readLoadWork(const testenv::LoopbackServer& server) {
  auto core = SDKCoreEngine();
  if (!core || core->evaluatedScripts().size() >= platform::WebPage::kMaxRecordedScripts) return std::nullopt;
  const std::size_t scriptsBefore = core->evaluatedScripts().size();
  const std::size_t requestsBefore = server.requestCount();
  RoadLoad load = loadInterstitial();
  auto engine = engineOf(load.interstitial->slot()->adView());
  auto ad = load.interstitial->slot()->ad();
  if (!load.time || !engine || !ad) return std::nullopt;
  LoadWork work;
  const auto requests = server.requests();
  work.requests.assign(requests.begin() + static_cast<std::ptrdiff_t>(requestsBefore), requests.end());
  const auto& scripts = core->evaluatedScripts();
  work.SDKCoreScripts.assign(scripts.begin() + static_cast<std::ptrdiff_t>(scriptsBefore), scripts.end());
  work.adScripts = load.receiver->adScriptsAtReceipt;
  work.adURL = ad->adBaseURL();
  work.adFrame = engine->frame();
  if (!dispose(load)) return std::nullopt;
  return work;
}

// Whether the floor can repeat `work`: the one request it makes is the ad URL.
bool floorRepeats(const LoadWork& work) {
  if (work.requests.size() != 1 || !work.adURL) return false;
  const auto& request = work.requests.front();
  return work.adURL->path() == request.path && work.adURL->query() == request.query;
}

// --- The floor -----------------------------------------------------------------------------

// A host of the two pages with nothing of the SDK: it refuses the pages' in-page
// messages (a tolm:// navigation would otherwise replace the page) and counts the ends
// of loads.
struct PageHost : platform::WebViewDelegate {
  bool webViewShouldStartLoadWithRequest(platform::WebView&, const platform::URLRequest& request,
                                         platform::WebViewNavigationType) override {
    const auto scheme = request.url() ? request.url()->scheme() : std::nullopt;
    return !platform::equalsIgnoringASCIICase(scheme.value_or(""), "tolm");
  }
  void webViewDidFinishLoad(platform::WebView&) override { ++ended; }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::ErrorPtr&) override {
    ++ended;
    failed = true;
  }
  int ended = 0;
  bool failed = false;
};

struct Fetch : platform::URLConnectionDelegate {
  void connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPURLResponse& response) override {
    status = response.statusCode();
  }
  void connectionDidReceiveData(platform::URLConnection&, std::string_view data) override { body.append(data); }
  void connectionDidFinishLoading(platform::URLConnection&) override { done = true; }
  void connectionDidFailWithError(platform::URLConnection&, const platform::ErrorPtr&) override { done = true; }
  int status = 0;
  std::string body;
  bool done = false;
};

// Whether a load makes a new ad page (a new interstitial's ad view) or reloads the one
// it has (a banner's refresh).
enum class AdPage { kNew, kReused };

class Floor {
 public:
  explicit Floor(const platform::Rect& frame) : SDKCorePage_(platform::WebView::create(frame)) {
    SDKCorePage_->setDelegate(host_);
  }

  bool loadSDKCorePage() {
    SDKCorePage_->loadRequest(platform::URLRequest(*platform::URL::fromString(ZUMSDKCorePageURLString)));
    return runUntilLoaded();
  }

  void setWork(const LoadWork& work) {
    work_ = work;
    adRequest_ = platform::URLRequest(*work.adURL);
    for (const auto& [field, value] : work.requests.front().headers) {
      if (!platform::equalsIgnoringASCIICase(field, "Host")) adRequest_.setValue(value, field);
    }
  }

  // One load's work; absent when a step failed.
  std::optional<Clock::duration> load(AdPage page = AdPage::kNew) {
    const auto begin = Clock::now();
    for (const auto& script : work_.SDKCoreScripts) SDKCorePage_->stringByEvaluatingJavaScriptFromString(script);
    auto html = fetchAd();
    if (!html) return std::nullopt;
    if (page == AdPage::kNew || !adPage_) {
      adPage_ = platform::WebView::create(work_.adFrame);
      adPage_->setDelegate(host_);
    }
    adPage_->loadHTMLString(*html, work_.adURL);
    if (!runUntilLoaded()) return std::nullopt;
    for (const auto& script : work_.adScripts) adPage_->stringByEvaluatingJavaScriptFromString(script);
    return Clock::now() - begin;
  }

  // Drops the ad's page and its content process.
  void dispose() { adPage_.reset(); }

 private:
  std::optional<std::string> fetchAd() {
    auto fetch = std::make_shared<Fetch>();
    auto connection = platform::URLConnection::create(adRequest_, fetch);
    connection->start();
    if (!runMainLoopUntil([&] { return fetch->done; }) || fetch->status != 200) return std::nullopt;
    return std::move(fetch->body);
  }

  bool runUntilLoaded() {
    const int ended = host_->ended;
    return runMainLoopUntil([&] { return host_->ended > ended; }) && !host_->failed;
  }

  std::shared_ptr<PageHost> host_ = std::make_shared<PageHost>();
  std::shared_ptr<platform::WebView> SDKCorePage_;
  std::shared_ptr<platform::WebView> adPage_;
  LoadWork work_;
  platform::URLRequest adRequest_;
};

// --- The run -------------------------------------------------------------------------------

using morvanebench::Host;

struct WarmRun {
  LoadWork work;
  std::unique_ptr<Floor> floor;
};

// The first load brings the SDK-core page and the settings the page fetches once; the
// second shows what every later load does. The floor then loads its own SDK-core page
// and makes one load of its own, so both sides start warm.
std::optional<WarmRun> warmUp(const testenv::LoopbackServer& server) {
  RoadLoad first = loadInterstitial();
  if (!first.time || !dispose(first)) return std::nullopt;
  runMainLoopFor(kSettleTime);
  auto work = readLoadWork(server);
  runMainLoopFor(kSettleTime);
  auto core = SDKCoreEngine();
  if (!work || !floorRepeats(*work) || !core) return std::nullopt;
  WarmRun run{*work, std::make_unique<Floor>(core->frame())};
  run.floor->setWork(run.work);
  if (!run.floor->loadSDKCorePage() || !run.floor->load()) return std::nullopt;
  run.floor->dispose();
  return run;
}

std::string describe(const LoadWork& work) {
  return "per load: requests " + std::to_string(work.requests.size()) + ", SDK-core scripts " +
         std::to_string(work.SDKCoreScripts.size()) + ", ad-page scripts " + std::to_string(work.adScripts.size()) +
         ", ad pages 1";
}

void BM_InterstitialRoadVersusFloor(benchmark::State& state) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/ad", {.body = kAdHTML});
  Host host;
  auto run = warmUp(hosts.server);
  if (!run) {
    state.SkipWithError("the warm-up failed, or a load does other work than the floor repeats");
    return;
  }
  state.SetLabel(describe(run->work));

  Clock::duration roadTime{}, floorTime{};
  for (auto _ : state) {
    const std::size_t requestsBefore = hosts.server.requestCount();
    RoadLoad road = loadInterstitial();
    const auto floorLoad = road.time && dispose(road) ? run->floor->load() : std::nullopt;
    run->floor->dispose();
    if (!floorLoad || hosts.server.requestCount() != requestsBefore + 2 * run->work.requests.size()) {
      state.SkipWithError("a load failed, or the road's work changed");
      break;
    }
    roadTime += *road.time;
    floorTime += *floorLoad;
    state.SetIterationTime(std::chrono::duration<double>(*road.time).count());
  }
  if (state.iterations() == 0 || floorTime == Clock::duration::zero()) return;
  const double loads = static_cast<double>(state.iterations());
  state.counters["road_ms"] = milliseconds(roadTime) / loads;
  state.counters["floor_ms"] = milliseconds(floorTime) / loads;
  state.counters["ratio_to_floor"] = milliseconds(roadTime) / milliseconds(floorTime);
}
BENCHMARK(BM_InterstitialRoadVersusFloor)->Unit(benchmark::kMillisecond)->Iterations(kLoads)->UseManualTime();

// The publisher interstitial's road against the plain one's: each iteration loads one of
// each, in turns (so neither always meets the other's trailing work), the publisher's
// with a shared correlator and a PXRRequest as a publisher host would. It adds answers
// to the slot, not work on the road: "ratio_pxr_to_plain" is expected near 1.
std::optional<Clock::duration> timeAndDispose(RoadLoad load) {
  return load.time && dispose(load) ? load.time : std::nullopt;
}

// Runs the plain and the publisher form of the same work once each per iteration, in
// turns (so neither always meets the other's trailing work); the benchmark's own time is
// the publisher's. Counters: "pxr_ms", "plain_ms" and "ratio_pxr_to_plain".
using TimedRun = std::function<std::optional<Clock::duration>()>;

void timePublisherAgainstPlain(benchmark::State& state, const TimedRun& plain, const TimedRun& publisher) {
  Clock::duration plainTime{}, publisherTime{};
  bool plainFirst = true;
  for (auto _ : state) {
    const auto first = plainFirst ? plain() : publisher();
    const auto second = first ? (plainFirst ? publisher() : plain()) : std::nullopt;
    if (!second) {
      state.SkipWithError("a run failed");
      break;
    }
    const auto publisherRun = plainFirst ? *second : *first;
    plainTime += plainFirst ? *first : *second;
    publisherTime += publisherRun;
    state.SetIterationTime(std::chrono::duration<double>(publisherRun).count());
    plainFirst = !plainFirst;
  }
  if (state.iterations() == 0 || plainTime == Clock::duration::zero()) return;
  const double runs = static_cast<double>(state.iterations());
  state.counters["pxr_ms"] = milliseconds(publisherTime) / runs;
  state.counters["plain_ms"] = milliseconds(plainTime) / runs;
  state.counters["ratio_pxr_to_plain"] = milliseconds(publisherTime) / milliseconds(plainTime);
}

std::optional<Clock::duration> loadPublisherInterstitial(const std::shared_ptr<ZUMCorrelator>& correlator) {
  auto interstitial = PXRInterstitial::create("unit-A");
  interstitial->setCorrelator(correlator);
  return timeAndDispose(loadInterstitial(std::move(interstitial), PXRRequest::create()));
}

void BM_PublisherInterstitialRoadVersusPlain(benchmark::State& state) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/ad", {.body = kAdHTML});
  Host host;
  auto correlator = ZUMCorrelator::create();
  if (!timeAndDispose(loadInterstitial()) || !loadPublisherInterstitial(correlator)) {
    state.SkipWithError("the warm-up failed");
    return;
  }
  runMainLoopFor(kSettleTime);
  timePublisherAgainstPlain(
      state, [] { return timeAndDispose(loadInterstitial()); }, [&] { return loadPublisherInterstitial(correlator); });
}
BENCHMARK(BM_PublisherInterstitialRoadVersusPlain)->Unit(benchmark::kMillisecond)->Iterations(kLoads)->UseManualTime();

// With the interstitial pool on and an entry of the same ad ready, a load is received
// from the pool; against a fresh load of the same ad with the pool off, in the same run.
// Each iteration waits until the pool's entry has finished loading (the pool refills
// itself after each take, one ad deep), times the pooled load, then the fresh one, so
// neither meets the other's work. "ratio_pooled_to_fresh" is the pooled load's time
// over the fresh one's.
void setPoolOn(bool on) {
  static_cast<void>(platform::UserDefaults::standard().setObject(on ? "1" : "0", kZUMInterstitialPoolEnabledKey));
}

bool poolEntryReady(const std::shared_ptr<ZUMInterstitialPool>& pool) {
  return runMainLoopUntil(
      [&] { return pool->entryCount() == 1 && ZUMApplication::sharedInstance()->currentAdRequestCount() == 0; });
}

void BM_PooledInterstitialVersusFresh(benchmark::State& state) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/ad", {.body = kAdHTML});
  Host host;
  static_cast<void>(platform::UserDefaults::standard().setObject("1", kZUMInterstitialPoolMaxDepthKey));
  setPoolOn(false);
  const auto request = ZUMRequest::create();
  auto cache = ZUMInterstitialCache::sharedInstance();
  cache->loadRequest(request, "unit-A");
  runMainLoopFor(kSettleTime);
  auto pool = cache->poolForRequest(request, "unit-A");
  if (!pool || !poolEntryReady(pool) || !timeAndDispose(loadInterstitial())) {
    state.SkipWithError("the warm-up failed");
    return;
  }
  Clock::duration pooledTime{}, freshTime{};
  for (auto _ : state) {
    setPoolOn(true);
    const auto pooled = poolEntryReady(pool)
                            ? timeAndDispose(loadInterstitial(ZUMInterstitial::create("unit-A"), request))
                            : std::nullopt;
    setPoolOn(false);
    const auto fresh = pooled && poolEntryReady(pool) ? timeAndDispose(loadInterstitial()) : std::nullopt;
    if (!pooled || !fresh) {
      state.SkipWithError("a load failed, or the pool did not refill");
      break;
    }
    const auto pooledLoad = pooled.value_or(Clock::duration::zero());
    pooledTime += pooledLoad;
    freshTime += fresh.value_or(Clock::duration::zero());
    state.SetIterationTime(std::chrono::duration<double>(pooledLoad).count());
  }
  if (state.iterations() == 0 || freshTime == Clock::duration::zero()) return;
  const double loads = static_cast<double>(state.iterations());
  state.counters["pooled_ms"] = milliseconds(pooledTime) / loads;
  state.counters["fresh_ms"] = milliseconds(freshTime) / loads;
  state.counters["ratio_pooled_to_fresh"] = milliseconds(pooledTime) / milliseconds(freshTime);
}
BENCHMARK(BM_PooledInterstitialVersusFresh)->Unit(benchmark::kMillisecond)->Iterations(kLoads)->UseManualTime();

// --- A banner's refresh ----------------------------------------------------------------------
//
// One iteration is a refresh of a loaded banner in the key window, from the slot's timer
// firing (its reloadCurrentRequest(), what the timer runs) until the delegate hears
// adViewDidReceiveAd; the ad carries no refresh rate, so no timer of its own interferes.
// The floor repeats what the warm-up's refresh did (the SDK-core page's scripts, the ad
// request, the ad's page) on the platform, reloading one page as the banner reloads its
// one ad view. "ratio_to_floor" is the refresh's time over the floor's.

struct BannerReceiver : ZUMBannerViewDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView& banner) override {
    ++received;
    if (auto engine = engineOf(banner.adView())) adScriptsAtReceipt = engine->evaluatedScripts();
    return kZUMImplemented;
  }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr&) override {
    failed = true;
    return kZUMImplemented;
  }
  int received = 0;
  bool failed = false;
  std::vector<std::string> adScriptsAtReceipt;
};

// One refresh, timed; absent when it failed.
std::optional<Clock::duration> refresh(ZUMBannerView& banner, BannerReceiver& receiver) {
  const int heard = receiver.received;
  const auto begin = Clock::now();
  banner.slot()->reloadCurrentRequest();
  if (!runMainLoopUntil([&] { return receiver.received > heard || receiver.failed; }) || receiver.failed) {
    return std::nullopt;
  }
  return Clock::now() - begin;
}

// A refresh, read for what it did.
std::optional<LoadWork> readRefreshWork(const testenv::LoopbackServer& server, ZUMBannerView& banner,
                                        BannerReceiver& receiver) {
  auto core = SDKCoreEngine();
  auto engine = engineOf(banner.adView());
  if (!core || !engine || core->evaluatedScripts().size() >= platform::WebPage::kMaxRecordedScripts)
    return std::nullopt;
  const std::size_t scriptsBefore = core->evaluatedScripts().size();
  const std::size_t requestsBefore = server.requestCount();
  if (!refresh(banner, receiver) || !banner.slot()->ad()) return std::nullopt;
  LoadWork work;
  const auto requests = server.requests();
  work.requests.assign(requests.begin() + static_cast<std::ptrdiff_t>(requestsBefore), requests.end());
  const auto& scripts = core->evaluatedScripts();
  work.SDKCoreScripts.assign(scripts.begin() + static_cast<std::ptrdiff_t>(scriptsBefore), scripts.end());
  work.adScripts = receiver.adScriptsAtReceipt;
  work.adURL = banner.slot()->ad()->adBaseURL();
  work.adFrame = engine->frame();
  return work;
}

// A banner in the host's key window, loaded with `request`; absent when the load failed.
struct PlacedBanner {
  std::shared_ptr<ZUMBannerView> banner;
  std::shared_ptr<BannerReceiver> receiver;
};

std::optional<PlacedBanner> placeLoadedBanner(std::shared_ptr<ZUMBannerView> banner, const Host& host,
                                              const std::shared_ptr<ZUMRequest>& request) {
  PlacedBanner placed{std::move(banner), std::make_shared<BannerReceiver>()};
  placed.banner->setAdUnitID("unit-A");
  placed.banner->setRootViewController(host.root);
  placed.banner->setDelegate(placed.receiver);
  host.window->addSubview(placed.banner);
  placed.banner->loadRequest(request);
  auto& receiver = *placed.receiver;
  const bool loaded = runMainLoopUntil([&] { return receiver.received > 0 || receiver.failed; }) && !receiver.failed;
  return loaded ? std::optional<PlacedBanner>(std::move(placed)) : std::nullopt;
}

void BM_BannerRefreshVersusFloor(benchmark::State& state) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/ad", {.body = kAdHTML});
  Host host;
  auto placed = placeLoadedBanner(ZUMBannerView::create(kZUMAdSizeBanner), host, ZUMRequest::create());
  runMainLoopFor(kSettleTime);
  auto work = placed ? readRefreshWork(hosts.server, *placed->banner, *placed->receiver) : std::nullopt;
  runMainLoopFor(kSettleTime);
  auto core = SDKCoreEngine();
  if (!work || !floorRepeats(*work) || !core) {
    state.SkipWithError("the warm-up failed, or a refresh does other work than the floor repeats");
    return;
  }
  Floor floor(core->frame());
  floor.setWork(*work);
  if (!floor.loadSDKCorePage() || !floor.load(AdPage::kReused)) {
    state.SkipWithError("the floor's warm-up failed");
    return;
  }
  state.SetLabel(describe(*work));

  Clock::duration refreshTime{}, floorTime{};
  for (auto _ : state) {
    const std::size_t requestsBefore = hosts.server.requestCount();
    const auto road = refresh(*placed->banner, *placed->receiver);
    const auto floorLoad = road ? floor.load(AdPage::kReused) : std::nullopt;
    if (!floorLoad || hosts.server.requestCount() != requestsBefore + 2 * work->requests.size()) {
      state.SkipWithError("a refresh failed, or its work changed");
      break;
    }
    refreshTime += *road;
    floorTime += *floorLoad;
    state.SetIterationTime(std::chrono::duration<double>(*road).count());
  }
  if (state.iterations() == 0 || floorTime == Clock::duration::zero()) return;
  const double loads = static_cast<double>(state.iterations());
  state.counters["refresh_ms"] = milliseconds(refreshTime) / loads;
  state.counters["floor_ms"] = milliseconds(floorTime) / loads;
  state.counters["ratio_to_floor"] = milliseconds(refreshTime) / milliseconds(floorTime);
}
BENCHMARK(BM_BannerRefreshVersusFloor)->Unit(benchmark::kMillisecond)->Iterations(kLoads)->UseManualTime();

// The publisher banner's refresh against the plain banner's, in the same window and run,
// in turns; the publisher's with a shared correlator, its valid sizes and a PXRRequest
// as a publisher host would. It adds answers to the slot, not work on the
// refresh: "ratio_pxr_to_plain" is expected near 1.
void BM_PublisherBannerRefreshVersusPlain(benchmark::State& state) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/ad", {.body = kAdHTML});
  Host host;
  auto publisherBanner = PXRBannerView::create(kZUMAdSizeBanner, {0, 60});
  publisherBanner->setCorrelator(ZUMCorrelator::create());
  publisherBanner->setValidAdSizesWithSizes({kZUMAdSizeBanner});
  auto plain = placeLoadedBanner(ZUMBannerView::create(kZUMAdSizeBanner), host, ZUMRequest::create());
  auto publisher = plain ? placeLoadedBanner(publisherBanner, host, PXRRequest::create()) : std::nullopt;
  if (!plain || !publisher || !refresh(*plain->banner, *plain->receiver) ||
      !refresh(*publisher->banner, *publisher->receiver)) {
    state.SkipWithError("the warm-up failed");
    return;
  }
  runMainLoopFor(kSettleTime);
  timePublisherAgainstPlain(
      state, [&] { return refresh(*plain->banner, *plain->receiver); },
      [&] { return refresh(*publisher->banner, *publisher->receiver); });
}
BENCHMARK(BM_PublisherBannerRefreshVersusPlain)->Unit(benchmark::kMillisecond)->Iterations(kLoads)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
