// What the SDK costs the host's main thread, as a host developer sees it.
//
// - BM_BusyPageLongestTurn: an interstitial whose page keeps its process busy (a timer
//   that spins about 300 ms each tick) is loaded and shown, in each web view ("ui", "wk")
//   on each engine (deterministic, WebKit), and the main loop runs on for a while; the
//   turns are watched from the ad's receipt on (its presentation included).
//   "longest_turn_ms" is the longest the main loop was held at once: a thread posts a
//   block to it every millisecond (the next once the last one ran) and the longest
//   wait of such a block is the longest turn. It must stay under one frame (16 ms).
// - BM_StartupAndFirstInterstitialCPU: the main thread's CPU time from ZUMMobileAds::load()
//   until a first interstitial is received and presented (its SDK-core page and ad page
//   loaded), per engine; "cpu_ms" is that time. Under 5 ms on the deterministic engine.
// - BM_StartupFloorBareWebKit: the floor of the WebKit figure: the main thread's CPU time
//   to create two bare WebKitGTK views of the SDK's sizes and load the same two pages (the
//   SDK-core page and the ad's page, their HTML as served) with GLib's loop alone.
// - BM_LargestPageMessageLongestTurn: a shown ad while a page sends the largest in-page
//   message the SDK accepts four times a second: the longest turn of the main loop
//   meanwhile ("longest_turn_ms"), against the 16 ms of a frame. The second argument is the
//   message: 0, the ad's page sending one long parameter; 1, the SDK-core page sending
//   application settings whose JSON is one object of as many keys as fit ("keys").
//
// Every shown interstitial is closed with its close button before the next run: a presented
// ad is kept, with its page and web process, until it is dismissed, and ads left on screen
// would load each later run's main loop (and a busy one a processor).
//
// Real time and the threaded executor, as in production. WebKit needs a display
// (xvfb-run); without one those benchmarks skip.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "BareWebKitView.h"
#include "BenchHost.h"
#include "BenchMainLoop.h"
#include "BenchSpread.h"
#include "ZUMInterstitial.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebKitPage.h"
#include "platform/web/WebPage.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using morvanebench::Clock;
using morvanebench::runMainLoopFor;
using morvanebench::runMainLoopUntil;

constexpr const char* kAdHTML = "<html><body>Ad<script>var a = 1;</script></body></html>";

// A page whose timer spins about 300 ms every 400 ms. WebKit's page clock runs while a
// script does; the deterministic engine's stands still, so there the spin is counted in
// loop turns (about 300 ms of its interpreter on the machine this was tuned on).
std::string busyAdHTML(platform::WebEngine engine) {
  const char* spin = engine == platform::WebEngine::WebKit ? "var end = Date.now() + 300; while (Date.now() < end) {}"
                                                           : "for (var i = 0; i < 20000000; i++) {}";
  return std::string("<html><body>Ad<script>setInterval(function () { ") + spin + " }, 400);</script></body></html>";
}

double threadCPUMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Posts a block to the main loop every millisecond (the next once the last one ran) and
// keeps the longest any of them waited: the longest the main loop was held. A block still
// queued when the watch ends holds the state it writes, not the watch.
class TurnWatch {
 public:
  TurnWatch() : thread_([state = state_] { watch(state); }) {}
  ~TurnWatch() {
    state_->stop = true;
    thread_.join();
  }
  double longestMilliseconds() const { return state_->longestMicroseconds.load() / 1e3; }

 private:
  struct State {
    std::atomic<bool> stop{false};
    std::atomic<bool> pending{false};
    std::atomic<long long> longestMicroseconds{0};
  };
  static void watch(const std::shared_ptr<State>& state) {
    while (!state->stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (state->pending.exchange(true)) continue;
      const auto posted = Clock::now();
      platform::RunLoop::main().perform([state, posted] {
        const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - posted).count();
        if (waited > state->longestMicroseconds.load()) state->longestMicroseconds = waited;
        state->pending = false;
      });
    }
  }
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread thread_;
};

struct Receiver : ZUMInterstitialDelegate {
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override {
    received = true;
    return kZUMImplemented;
  }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr&) override {
    failed = true;
    return kZUMImplemented;
  }
  bool received = false;
  bool failed = false;
};

using morvanebench::Host;

// One environment per run: the engine and web view chosen, the ad served.
struct Run {
  Run(platform::WebEngine engine, const char* webView, const std::string& adHTML,
      const std::optional<std::string>& corePage = std::nullopt) {
    platform::WebPage::setDefaultEngine(engine);
    static_cast<void>(platform::UserDefaults::standard().setObject(webView, "/vantor/ads/wv_class"));
    hosts.server.route("/ad", {.body = adHTML});
    if (corePage) hosts.servePage(*corePage);
  }
  testenv::TestEnvironment env{{.executor = platform::ExecutorKind::Threaded, .virtualTime = false}};
  sdkcoretest::NetworkHosts hosts;
};

// Loads an interstitial; nullptr when it failed.
std::shared_ptr<ZUMInterstitial> loadInterstitial() {
  auto receiver = std::make_shared<Receiver>();
  auto interstitial = ZUMInterstitial::create("unit-A");
  interstitial->setDelegate(receiver);
  interstitial->loadRequest(ZUMRequest::create());
  if (!runMainLoopUntil([&] { return receiver->received || receiver->failed; }) || receiver->failed) return nullptr;
  return interstitial;
}

bool present(const Host& host, ZUMInterstitial& interstitial) {
  interstitial.presentFromRootViewController(host.root);
  return runMainLoopUntil([&] { return host.root->presentedViewController() != nullptr; });
}

// Loads and presents an interstitial; false when a step failed.
bool showInterstitial(const Host& host, std::shared_ptr<ZUMInterstitial>& interstitial) {
  interstitial = loadInterstitial();
  return interstitial && present(host, *interstitial);
}

// Closes a shown interstitial as its user would and lets it go.
void close(const Host& host, std::shared_ptr<ZUMInterstitial>& interstitial) {
  interstitial->viewController()->closeButtonPressed();
  runMainLoopUntil([&] { return host.root->presentedViewController() == nullptr; });
  interstitial.reset();
}

// The longest turn while the served ad is shown: from its receipt (the SDK's scripts
// at presentation included) until the main loop ran on for three seconds; negative
// when the ad was not shown.
double longestTurnWhileShown(const Host& host) {
  auto interstitial = loadInterstitial();
  if (!interstitial) return -1;
  double longest = 0;
  {
    TurnWatch watch;
    if (!present(host, *interstitial)) return -1;
    runMainLoopFor(std::chrono::seconds(3));
    longest = watch.longestMilliseconds();
  }
  close(host, interstitial);
  return longest;
}

platform::WebEngine engineOf(const benchmark::State& state) {
  return state.range(0) == 0 ? platform::WebEngine::Deterministic : platform::WebEngine::WebKit;
}

bool engineMissing(benchmark::State& state) {
  if (engineOf(state) == platform::WebEngine::WebKit && !platform::WebKitPage::isAvailable()) {
    state.SkipWithError("WebKit needs a display");
    return true;
  }
  return false;
}

// The longest main-loop turn over the benchmark's runs of one page, each from a fresh
// host; nullopt (the benchmark skipped) when an interstitial was not shown.
std::optional<double> longestTurnOverRuns(benchmark::State& state, const char* webView, const std::string& adHTML,
                                          const std::optional<std::string>& corePage = std::nullopt) {
  double longest = 0;
  for (auto _ : state) {
    Run run(engineOf(state), webView, adHTML, corePage);
    Host host;
    const double turn = longestTurnWhileShown(host);
    if (turn < 0) {
      state.SkipWithError("the interstitial was not shown");
      return std::nullopt;
    }
    longest = std::max(longest, turn);
  }
  return longest;
}

void BM_BusyPageLongestTurn(benchmark::State& state) {
  if (engineMissing(state)) return;
  const char* webView = state.range(1) == 0 ? "ui" : "wk";
  const auto longest = longestTurnOverRuns(state, webView, busyAdHTML(engineOf(state)));
  if (!longest) return;
  state.SetLabel(std::string(webView) +
                 (engineOf(state) == platform::WebEngine::WebKit ? " on WebKit" : " deterministic"));
  state.counters["longest_turn_ms"] = *longest;
}
BENCHMARK(BM_BusyPageLongestTurn)->ArgsProduct({{0, 1}, {0, 1}})->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_StartupAndFirstInterstitialCPU(benchmark::State& state) {
  if (engineMissing(state)) return;
  for (auto _ : state) {
    Run run(engineOf(state), "ui", kAdHTML);
    const double before = threadCPUMilliseconds();
    Host host;
    std::shared_ptr<ZUMInterstitial> interstitial;
    const bool shown = showInterstitial(host, interstitial);
    const double spent = threadCPUMilliseconds() - before;
    if (!shown) {
      state.SkipWithError("the interstitial was not shown");
      return;
    }
    state.SetIterationTime(spent / 1e3);
    state.counters["cpu_ms"] = spent;
    close(host, interstitial);
  }
}
BENCHMARK(BM_StartupAndFirstInterstitialCPU)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Apply(morvanebench::withSpread)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A page that sends the largest message the SDK accepts, again and again, in the "ui"
// view of each engine: the longest turn of the main loop while it does.
std::string largestMessagePage() {
  const std::size_t fill = ZUMNotification::kMaximumURLBytes - 64;
  return "<html><body>Ad<script>var fill = 'a'; while (fill.length < " + std::to_string(fill) +
         ") fill += fill; var big = 'tolm://x/benchMessage?v=' + fill.substring(0, " + std::to_string(fill) +
         "); setInterval(function () { location.href = big; }, 250);</script></body></html>";
}

// Application settings of one object of as many keys as fit in the largest message
// ({"status":1,"k0":0,...}), written encoded as the SDK-core page's own messages are.
struct OneObjectMessage {
  OneObjectMessage() {
    const std::size_t limit = ZUMNotification::kMaximumURLBytes - 64;
    url = "tolm://sdkcore/appSettingsFetched?isSuccessful=true&appSettingsJson=%7B%22status%22%3A1";
    for (; url.size() + 32 < limit; ++keys) {
      url += "%2C%22k" + std::to_string(keys) + "%22%3A" + std::to_string(keys % 10);
    }
    url += "%7D";
  }
  // The SDK-core page with a script that sends the message four times a second.
  std::string corePage() const {
    return sdkcoretest::pageWith("var big = '" + url + "'; setInterval(function () { location.href = big; }, 250);");
  }
  std::string url;
  std::size_t keys = 0;
};

void BM_LargestPageMessageLongestTurn(benchmark::State& state) {
  if (engineMissing(state)) return;
  const bool oneObject = state.range(1) == 1;
  const OneObjectMessage message;
  const auto longest = oneObject ? longestTurnOverRuns(state, "ui", kAdHTML, message.corePage())
                                 : longestTurnOverRuns(state, "ui", largestMessagePage());
  if (!longest) return;
  state.SetLabel(oneObject ? "one-object settings" : "one long parameter");
  state.counters["message_bytes"] =
      static_cast<double>(oneObject ? message.url.size() : ZUMNotification::kMaximumURLBytes - 64);
  if (oneObject) state.counters["keys"] = static_cast<double>(message.keys);
  state.counters["longest_turn_ms"] = *longest;
}
BENCHMARK(BM_LargestPageMessageLongestTurn)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

using BareView = morvanebench::BareWebKitView;

void BM_StartupFloorBareWebKit(benchmark::State& state) {
  if (!platform::WebKitPage::isAvailable()) {
    state.SkipWithError("WebKit needs a display");
    return;
  }
  const std::string corePage(ZUMSDKCorePageHTML());
  const std::string coreURL = std::string("https://static.adnetwork.example") + sdkcoretest::kPagePath;
  const platform::Size screen = platform::Screen::main().bounds().size;
  for (auto _ : state) {
    const double before = threadCPUMilliseconds();
    {
      // The sizes the SDK gives them: the hidden SDK-core page 1 by 1, the ad the screen.
      BareView core(1, 1);
      BareView ad(static_cast<int>(screen.width), static_cast<int>(screen.height));
      core.startLoad(corePage.c_str(), coreURL.c_str());
      ad.startLoad(kAdHTML, "https://ads.adnetwork.example/ad");
      while (!core.finished || !ad.finished) g_main_context_iteration(nullptr, TRUE);
    }
    const double spent = threadCPUMilliseconds() - before;
    state.SetIterationTime(spent / 1e3);
    state.counters["cpu_ms"] = spent;
  }
}
BENCHMARK(BM_StartupFloorBareWebKit)
    ->Iterations(1)
    ->Apply(morvanebench::withSpread)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
