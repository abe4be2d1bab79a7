// The cost of one tap on a native ad against one visibility sample of the same ad view.
//
// The tree: a key window, a scroll view scrolled part way, and in it a template-like ad
// view with 12 asset views (labels with font, colour and text, a text view, image views,
// a media view, a star-rating view, the host's AdChoices view) under a view policy. A tap
// is what the policy does for one before the ad's page is called: the hit among the asset
// views, then the signal dictionary with the click signal (the click environment). A
// sample is one round of a view monitor on the ad view, its store on the monitor's queue
// included. "tap_us" and "sample_us" are per operation; "ratio_tap_to_sample" is the
// first over the second.
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "ZUMAdChoicesView.h"
#include "ZUMMediaView.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"
#include "sdk/native/ZUMNativeAdViewPolicy.h"
#include "sdk/rendering/ZUMViewMonitor.h"
#include "testing/TestEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::Rect;

constexpr int kRounds = 100;

struct Tree {
  std::shared_ptr<platform::Window> window;
  std::shared_ptr<platform::View> adView;
  std::shared_ptr<ZUMNativeAdViewPolicy> policy;
};

std::shared_ptr<platform::Label> label(const Rect& frame, double size, const std::string& text) {
  auto view = platform::Label::create(frame);
  view->setFont(platform::Font::systemFont(size));
  view->setTextColor(platform::Color::rgb(0.2, 0.2, 0.2, 1));
  view->setText(text);
  return view;
}

Tree makeTree() {
  Tree tree;
  tree.window = platform::Window::create(Rect(0, 0, 375, 667));
  tree.window->makeKeyAndVisible();
  auto scroll = platform::ScrollView::create(Rect(0, 64, 375, 603));
  scroll->setContentSize({375, 3000});
  tree.window->addSubview(scroll);
  tree.adView = platform::View::create(Rect(10, 400, 355, 420));
  tree.adView->setBackgroundColor(platform::Color::white());
  scroll->addSubview(tree.adView);
  scroll->setContentOffset({0, 200});

  auto body = platform::TextView::create(Rect(8, 60, 339, 60));
  body->setText("A longer line of body text that describes what the advertised app does.");
  auto rating = platform::View::create(Rect(8, 380, 100, 20));
  rating->setBackgroundColor(platform::Color::rgb(1, 0.8, 0, 1));
  const std::vector<std::pair<std::string, std::shared_ptr<platform::View>>> assets = {
      {"2001", label(Rect(64, 8, 240, 22), 17, "Headline of the ad")},
      {"2002", body},
      {"2003", label(Rect(240, 380, 107, 32), 15, "Install")},
      {"2004", platform::ImageView::create(Rect(8, 8, 48, 48))},
      {"2005", platform::ImageView::create(Rect(8, 300, 64, 64))},
      {"2006", label(Rect(120, 380, 60, 20), 12, "Free")},
      {"2007", label(Rect(180, 380, 60, 20), 12, "App store")},
      {"2008", rating},
      {"2009", platform::ImageView::create(Rect(80, 300, 64, 64))},
      {"2010", label(Rect(64, 32, 240, 18), 12, "Advertiser")},
      {"2011", ZUMMediaView::create(Rect(8, 128, 339, 160))},
      {"2012", ZUMAdChoicesView::create(Rect(331, 0, 24, 24))},
  };
  for (const auto& [name, view] : assets) tree.adView->addSubview(view);
  tree.policy = ZUMNativeAdViewPolicy::create(tree.adView, "2009", "2010", "2099", false);
  tree.policy->setAssetViews(assets);
  return tree;
}

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void BM_TapAgainstVisibilitySample(benchmark::State& state) {
  testenv::TestEnvironment env;
  Tree tree = makeTree();
  auto monitor = ZUMViewMonitor::create(tree.adView);
  // Taps spread over the ad: on assets and between them.
  const std::vector<platform::Point> taps = {{70, 12}, {20, 90}, {300, 390}, {200, 200}, {330, 250}, {150, 395}};
  double tapTotal = 0;
  double sampleTotal = 0;
  for (auto _ : state) {
    const auto tapStart = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
      const auto location = taps[static_cast<std::size_t>(round) % taps.size()];
      auto [view, name] = tree.policy->clickTargetAtLocation(location);
      auto environment = tree.policy->tapHandlingEnvironment(location, name);
      benchmark::DoNotOptimize(environment);
    }
    tapTotal += micros(Clock::now() - tapStart);

    const auto sampleStart = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
      monitor->sample();
      env.runUntilIdle();
      benchmark::DoNotOptimize(monitor->monitoredViewVisibleBounds());
    }
    sampleTotal += micros(Clock::now() - sampleStart);
  }
  const double operations = static_cast<double>(state.iterations()) * kRounds;
  state.counters["tap_us"] = tapTotal / operations;
  state.counters["sample_us"] = sampleTotal / operations;
  state.counters["ratio_tap_to_sample"] = sampleTotal > 0 ? tapTotal / sampleTotal : 0;
}
BENCHMARK(BM_TapAgainstVisibilitySample)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
