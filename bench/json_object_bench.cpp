// Decoding JSON text of one object of many keys, as a server's response or a page's
// message may hold (ad and mediation responses, page messages, native ads all decode
// through zum_decodedJSONObjectError).
//
// - BM_DecodeOneObject/N: the text of one object of N distinct keys ("k0": 0, ...), as a
//   server or page chooses N. "ns_per_key" must stay flat as N grows from 1k to 100k
//   (within 2x): a look-up of each key among the keys before it would make it grow with N.
// - BM_DecodePerKeyGrowth: the same figure at 1k and at 100k keys in one run;
//   "per_key_growth" is the second over the first, and must stay under 2.
// - BM_DecodeLargestBody: one object filling an ad body of the largest size the SDK
//   fetches (4 MiB, about 360,000 keys), with its "ns_per_key".
// - BM_DecodeChosenKeys/N: one object of N keys a sender chose so that an index placing
//   keys by the low bits of an unkeyed hash (std::hash) would start them all in the first
//   sixty-fourth of its table, against N ordinary keys of the same form and length, each
//   decoded whole once per iteration. "chosen_over_ordinary" must stay under 3: 30,000
//   keys, and 349,525 keys of seven letters, which fill the 4 MiB body.
#include <bit>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONAdditions.h"

namespace {

using Clock = std::chrono::steady_clock;

// One object of `keys` distinct keys, no larger than needed.
std::string oneObject(std::size_t keys) {
  std::string text = "{";
  for (std::size_t i = 0; i < keys; ++i) {
    if (i > 0) text += ',';
    text += "\"k" + std::to_string(i) + "\":" + std::to_string(i % 10);
  }
  return text + "}";
}

// Nanoseconds per key of decoding `text` of `keys` keys, averaged over `rounds` decodings;
// negative when it did not decode whole.
double nanosecondsPerKey(const std::string& text, std::size_t keys, std::size_t rounds) {
  Clock::duration spent{};
  for (std::size_t round = 0; round < rounds; ++round) {
    const auto start = Clock::now();
    auto decoded = zum_decodedJSONObjectError(text, nullptr);
    spent += Clock::now() - start;
    if (!decoded || decoded->size() != keys) return -1;
    benchmark::DoNotOptimize(decoded);
  }
  return std::chrono::duration<double, std::nano>(spent).count() / static_cast<double>(rounds * keys);
}

void BM_DecodeOneObject(benchmark::State& state) {
  const auto keys = static_cast<std::size_t>(state.range(0));
  const std::string text = oneObject(keys);
  double total = 0;
  for (auto _ : state) {
    const double perKey = nanosecondsPerKey(text, keys, 1);
    if (perKey < 0) return state.SkipWithError("the object was not decoded whole");
    total += perKey;
  }
  state.counters["ns_per_key"] = total / static_cast<double>(state.iterations());
  state.counters["bytes"] = static_cast<double>(text.size());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * static_cast<std::int64_t>(keys)));
}
BENCHMARK(BM_DecodeOneObject)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_DecodePerKeyGrowth(benchmark::State& state) {
  const std::string small = oneObject(1'000), large = oneObject(100'000);
  for (auto _ : state) {
    // As many keys decoded at each size, so both figures average the same amount of work.
    const double smallPerKey = nanosecondsPerKey(small, 1'000, 100);
    const double largePerKey = nanosecondsPerKey(large, 100'000, 1);
    if (smallPerKey <= 0 || largePerKey < 0) return state.SkipWithError("an object was not decoded whole");
    state.counters["ns_per_key_1k"] = smallPerKey;
    state.counters["ns_per_key_100k"] = largePerKey;
    state.counters["per_key_growth"] = largePerKey / smallPerKey;
  }
}
BENCHMARK(BM_DecodePerKeyGrowth)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_DecodeLargestBody(benchmark::State& state) {
  constexpr std::size_t kBodyBytes = 4u << 20;
  std::string text = "{";
  std::size_t keys = 0;
  for (; text.size() < kBodyBytes - 32; ++keys) {
    text += (keys > 0 ? ",\"k" : "\"k") + std::to_string(keys) + "\":" + std::to_string(keys % 10);
  }
  text += '}';
  double total = 0;
  for (auto _ : state) {
    const double perKey = nanosecondsPerKey(text, keys, 1);
    if (perKey < 0) return state.SkipWithError("the object was not decoded whole");
    total += perKey;
  }
  state.counters["keys"] = static_cast<double>(keys);
  state.counters["ns_per_key"] = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DecodeLargestBody)->Iterations(1)->Unit(benchmark::kMillisecond);

// Adds the member `name`: 0 to the object `text` holds so far.
void addMember(std::string& text, std::string_view name) {
  text += text.size() > 1 ? ",\"" : "\"";
  text.append(name) += "\":0";
}

// Two objects of `keys` keys of seven letters (a letter, then a count in base 36): in the
// first, keys whose std::hash starts them in the first sixty-fourth of a table of two slots
// per key, where an index placing keys by those bits puts them all in one run of slots; in
// the second, the key that came after each of those.
std::pair<std::string, std::string> chosenAndOrdinaryObjects(std::size_t keys) {
  const std::size_t slots = std::bit_ceil(2 * keys);
  std::string chosen = "{", ordinary = "{";
  std::size_t chosenCount = 0, ordinaryCount = 0;
  char key[7] = {'k'};
  for (std::size_t count = 0; ordinaryCount < keys; ++count) {
    for (std::size_t digit = 6, rest = count; digit > 0; --digit, rest /= 36) {
      key[digit] = "0123456789abcdefghijklmnopqrstuvwxyz"[rest % 36];
    }
    const std::string_view name(key, sizeof key);
    const bool crowds = std::hash<std::string_view>{}(name) % slots < slots / 64;
    if (crowds && chosenCount < keys) {
      addMember(chosen, name);
      ++chosenCount;
    } else if (!crowds && ordinaryCount < chosenCount) {
      addMember(ordinary, name);
      ++ordinaryCount;
    }
  }
  return {chosen + '}', ordinary + '}'};
}

void BM_DecodeChosenKeys(benchmark::State& state) {
  const auto keys = static_cast<std::size_t>(state.range(0));
  const auto [chosen, ordinary] = chosenAndOrdinaryObjects(keys);
  double chosenTotal = 0, ordinaryTotal = 0;
  for (auto _ : state) {
    const double chosenPerKey = nanosecondsPerKey(chosen, keys, 1);
    const double ordinaryPerKey = nanosecondsPerKey(ordinary, keys, 1);
    if (chosenPerKey < 0 || ordinaryPerKey < 0) return state.SkipWithError("an object was not decoded whole");
    chosenTotal += chosenPerKey;
    ordinaryTotal += ordinaryPerKey;
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["bytes"] = static_cast<double>(chosen.size());
  state.counters["chosen_ms"] = chosenTotal * static_cast<double>(keys) / iterations / 1e6;
  state.counters["ordinary_ms"] = ordinaryTotal * static_cast<double>(keys) / iterations / 1e6;
  state.counters["chosen_over_ordinary"] = chosenTotal / ordinaryTotal;
}
BENCHMARK(BM_DecodeChosenKeys)->Arg(30'000)->Arg(349'525)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
