// One sample round of the visibility monitors on the main thread: 100 ad views in a
// realistic tree (a key window, a navigation controller's content, a clipping scroll
// view of cells, some cells scrolled out, some ads hidden or behind a transform), each
// with its own monitor, all sampled once. The time is one round's; at the default 0.4 s
// interval a round's share of the main thread is that time over 400 ms. "visible"
// counts the ads seen in the last round (those inside the scroll view's window).
#include <algorithm>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/rendering/ZUMViewMonitor.h"
#include "testing/TestEnvironment.h"

namespace {

constexpr int kAds = 100;

struct Tree {
  std::shared_ptr<platform::Window> window;
  std::vector<std::shared_ptr<platform::View>> ads;
};

Tree makeTree() {
  Tree tree;
  tree.window = platform::Window::create(platform::Rect(0, 0, 375, 667));
  tree.window->makeKeyAndVisible();
  auto content = platform::View::create(platform::Rect(0, 64, 375, 603));
  tree.window->addSubview(content);
  auto scroll = platform::View::create(platform::Rect(0, 0, 375, 603));
  scroll->setClipsToBounds(true);
  content->addSubview(scroll);
  auto list = platform::View::create(platform::Rect(0, -1200, 375, 12000));
  scroll->addSubview(list);
  for (int i = 0; i < kAds; ++i) {
    auto cell = platform::View::create(platform::Rect(0, i * 120.0, 375, 120));
    cell->setClipsToBounds(true);
    list->addSubview(cell);
    auto label = platform::View::create(platform::Rect(8, 8, 359, 20));
    cell->addSubview(label);
    auto ad = platform::View::create(platform::Rect(27, 40, 320, 50));
    if (i % 10 == 3) ad->setHidden(true);
    if (i % 10 == 7) ad->setTransform(platform::AffineTransform::makeScale(0.5, 0.5));
    cell->addSubview(ad);
    tree.ads.push_back(ad);
  }
  return tree;
}

void BM_SampleRoundOf100AdViews(benchmark::State& state) {
  testenv::TestEnvironment env;
  Tree tree = makeTree();
  std::vector<std::shared_ptr<ZUMViewMonitor>> monitors;
  for (const auto& ad : tree.ads) monitors.push_back(ZUMViewMonitor::create(ad));
  for (auto _ : state) {
    for (const auto& monitor : monitors) monitor->sample();
    env.runUntilIdle();  // the samples' stores on each monitor's queue
    benchmark::DoNotOptimize(monitors.front()->monitoredViewVisibleBounds());
  }
  state.counters["visible"] = static_cast<double>(
      std::count_if(monitors.begin(), monitors.end(), [](const auto& m) { return m->monitoredViewVisible(); }));
}
BENCHMARK(BM_SampleRoundOf100AdViews)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
