// In-page messages parsed per second on one core: from the navigation URL's text to a
// ZUMNotification (URL parse, name, query pairs, percent-decoding), side by side with
// the platform's URL parser alone on the same URLs. "ratio" is the time of a message
// parse over the time of the URL parse alone: the cost the message layer adds.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/base/URL.h"
#include "sdk/rendering/ZUMNotification.h"

namespace {

// Messages as ad pages send them: short clicks, position reports, long tracking URLs.
std::vector<std::string> messageURLs() {
  std::vector<std::string> urls = {
      "tolm://x/click?x=120&y=48&ts=1717238400123",
      "tolm://x/onAdVisibilityChanged?visible=1",
      "TOLM:///video?action=play&currentTime=12.5;duration=30&muted=0",
      "tolm://x/open?u=https%3A%2F%2Fwww.example.com%2Flanding%3Fcampaign%3Dspring%26ref%3Dad&nav=1&e=%E2%82%AC",
      "tolm://x/mraid/resize?width=320&height=250&offsetX=0&offsetY=0&customClosePosition=top-right&"
      "allowOffscreen=true",
      "tolm://x/log?string=" + std::string(400, 'a') + "&level=info",
      "tolm://x/precache?src=https%3A%2F%2Fcdn.example.com%2Fv%2F123.mp4&id=7&limit=1048576&flags=a;b;c",
      "tolm://x/a/b?k1=v1&k2=v2&k3=v3&k4=v4&k5=v5&k6=v6&k7=v7&k8=v8",
  };
  return urls;
}

void BM_TolmParseVersusURLParse(benchmark::State& state) {
  const std::vector<std::string> urls = messageURLs();
  using Clock = std::chrono::steady_clock;
  Clock::duration urlTime{}, messageTime{};
  std::size_t messages = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (const std::string& text : urls) {
      auto url = platform::URL::fromString(text);
      benchmark::DoNotOptimize(url);
    }
    const auto middle = Clock::now();
    for (const std::string& text : urls) {
      auto message = ZUMNotification::createWithNotificationURL(platform::URL::fromString(text));
      benchmark::DoNotOptimize(message);
    }
    const auto end = Clock::now();
    urlTime += middle - start;
    messageTime += end - middle;
    messages += urls.size();
  }
  const double urlSeconds = std::chrono::duration<double>(urlTime).count();
  const double messageSeconds = std::chrono::duration<double>(messageTime).count();
  if (urlSeconds > 0 && messageSeconds > 0) {
    state.counters["messages_per_s"] = static_cast<double>(messages) / messageSeconds;
    state.counters["urls_per_s"] = static_cast<double>(messages) / urlSeconds;
    state.counters["ratio"] = messageSeconds / urlSeconds;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(messages));
}
BENCHMARK(BM_TolmParseVersusURLParse)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
