// The content fingerprint of a screenful of text, as the content-hashing queue makes it
// for each walk: throughput in MB/s of one fingerprint of a 1 MB text, beside the
// throughput of MurmurHash3 alone over the same bytes (the ratio is the cost of
// paragraphs, lowercasing, tokens, shingles and the heap over the bare hash); and one
// hashing walk over a hierarchy of 1,000 views, from the tick to the queued content.
#include <string>

#include <benchmark/benchmark.h>

#include "platform/base/DispatchQueue.h"
#include "platform/ui/TextView.h"
#include "sdk/telemetry/ZUMApplication+ContentHashing.h"
#include "sdk/telemetry/ZUMContent.h"
#include "sdk/telemetry/ZUMContentQueue.h"
#include "sdk/telemetry/ZUMMurmurHash3.h"
#include "sdk/telemetry/ZUMViewHierarchyTraverser.h"
#include "testing/TestEnvironment.h"

namespace {

// About 1 MB of invented text: lines of words from a small syllable set, some accented.
const std::string& text() {
  static const std::string made = [] {
    static const char* syllables[] = {"ka", "lo", "mé", "ri", "tan", "su", "vel", "dro", "ně", "pi", "gor", "ul"};
    std::string result;
    std::uint32_t state = 12345;
    auto next = [&] { return state = state * 1103515245 + 12345, state >> 16; };
    while (result.size() < (1u << 20)) {
      std::string line;
      while (line.size() < 80) {
        for (std::uint32_t n = 1 + next() % 3; n > 0; --n) line += syllables[next() % 12];
        line += next() % 9 == 0 ? ", " : " ";
      }
      result += line + "\n";
    }
    result.resize(1u << 20);
    return result;
  }();
  return made;
}

void BM_MurmurHash3Alone(benchmark::State& state) {
  const std::string& bytes = text();
  for (auto _ : state) benchmark::DoNotOptimize(ZUMMurmurHash3_x86_32(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_MurmurHash3Alone)->Unit(benchmark::kMicrosecond);

void BM_ContentFingerprint(benchmark::State& state) {
  testenv::TestEnvironment env;
  const std::string& bytes = text();
  std::string fingerprint;
  for (auto _ : state) {
    auto content = ZUMContent::create(1);
    content->updateContentWithText(bytes);
    fingerprint = content->fingerprint();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.SetLabel(fingerprint.substr(0, 8));
}
BENCHMARK(BM_ContentFingerprint)->Unit(benchmark::kMillisecond);

// 1 root, 111 containers, and under each 3 text views with a sentence and 5 plain views.
void BM_HashingWalkOf1000Views(benchmark::State& state) {
  testenv::TestEnvironment env;
  auto root = platform::View::create();
  std::size_t views = 1;
  for (int c = 0; c < 111; ++c) {
    auto container = platform::View::create();
    root->addSubview(container);
    for (int i = 0; i < 8; ++i) {
      if (i < 3) {
        auto text = platform::TextView::create();
        text->setText("Line " + std::to_string(c) + "." + std::to_string(i) +
                      " of an invented article about rivers, mountains and the weather");
        container->addSubview(text);
      } else {
        container->addSubview(platform::View::create());
      }
    }
    views += 9;
  }
  auto hashingQueue = platform::DispatchQueue::serial("com.vantor.morvane.content-hashing");
  auto contentQueue = ZUMContentQueue::create(10, hashingQueue);
  auto traverser = ZUMViewHierarchyTraverser::create();
  for (auto _ : state) {
    ZUMContentHashingWalk(*traverser, root, hashingQueue, contentQueue);
    env.runUntilIdle();
  }
  state.counters["views"] = static_cast<double>(views);
  state.counters["queued"] = static_cast<double>(contentQueue->count());
}
BENCHMARK(BM_HashingWalkOf1000Views)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
