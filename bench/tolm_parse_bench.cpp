// In-page messages parsed per second on one core: from the navigation URL's text to a
// ZUMNotification (URL parse, name, query pairs, percent-decoding), side by side with
// the platform's URL parser alone on the same URLs. "ratio" is the time of a message
// parse over the time of the URL parse alone: the cost the message layer adds.
//
// The scaling runs parse the query of one message of N distinct pairs (N = 1k, 10k, 100k)
// with the message layer's query reader: "ns_per_pair" must stay flat as N grows (within
// 2x), since a page chooses N. (A message of 100k such pairs is past the size the SDK
// accepts; its reader is measured alone.) The last run parses a whole message of the
// largest size accepted (ZUMNotification::kMaximumURLBytes).
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/base/URL.h"
#include "sdk/foundation/ZUMURLUtilities.h"
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

// One message of `pairs` distinct pairs, some keys percent-encoded, as a hostile page
// would write it to defeat a key look-up; ";" alone separates them, so a reader that
// looks for the next "&" from every piece reads the rest of the text each time.
std::string manyPairs(std::size_t pairs) {
  std::string text = "tolm://x/many?";
  for (std::size_t i = 0; i < pairs; ++i) {
    if (i > 0) text += ';';
    text += (i % 16 == 0 ? "k%5F" : "k_") + std::to_string(i) + "=v" + std::to_string(i * 7);
  }
  return text;
}

// `parse` gives the count of parameters read from `text`.
void parseOne(benchmark::State& state, const std::string& text, std::size_t pairs,
              const std::function<std::size_t(const std::string&)>& parse) {
  using Clock = std::chrono::steady_clock;
  Clock::duration spent{};
  for (auto _ : state) {
    const auto start = Clock::now();
    const std::size_t read = parse(text);
    spent += Clock::now() - start;
    if (read != pairs) state.SkipWithError("the message was not parsed whole");
  }
  state.counters["ns_per_pair"] =
      std::chrono::duration<double, std::nano>(spent).count() / static_cast<double>(state.iterations() * pairs);
  state.counters["bytes"] = static_cast<double>(text.size());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * static_cast<std::int64_t>(pairs)));
}

void BM_TolmParseScaling(benchmark::State& state) {
  const auto pairs = static_cast<std::size_t>(state.range(0));
  const std::string text = manyPairs(pairs);
  const std::string query = text.substr(text.find('?') + 1);
  parseOne(state, query, pairs, [](const std::string& q) {
    auto parameters = ZUMQueryParametersFromString(q, false);
    benchmark::DoNotOptimize(parameters);
    return parameters.size();
  });
}
BENCHMARK(BM_TolmParseScaling)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// A message of the largest size accepted, URL parse included: well under a frame (16 ms).
void BM_TolmParseLargestAccepted(benchmark::State& state) {
  const std::size_t size = ZUMNotification::kMaximumURLBytes;
  std::string text = "tolm://x/big?";
  std::size_t pairs = 0;
  while (text.size() < size - 32) {
    text += (pairs ? "&p" : "p") + std::to_string(pairs) + "=%E2%82%AC" + std::to_string(pairs);
    ++pairs;
  }
  text += "&pad=" + std::string(size - text.size() - 5, 'a');
  ++pairs;
  parseOne(state, text, pairs, [](const std::string& t) {
    auto message = ZUMNotification::createWithNotificationURL(platform::URL::fromString(t));
    benchmark::DoNotOptimize(message);
    return message ? message->parameters().size() : 0;
  });
}
BENCHMARK(BM_TolmParseLargestAccepted)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
