// The pool settings that the server stores in the user defaults: an input that is a JSON
// object sets "depth" and "limit" with values of any type; any other input sets both to
// its "depth=" and "limit=" lines as strings. Nothing crashes; the depth is within
// [0, the maximum] and the time limit is either none (entries stay until taken) or finite
// within [the floor, the ceiling], whatever was stored.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/UserDefaults.h"
#include "sdk/formats/ZUMInterstitialPool.h"

using json = nlohmann::ordered_json;

namespace {

void storeDefaults(std::string_view text) {
  auto& defaults = platform::UserDefaults::standard();
  static_cast<void>(defaults.setObject(json(), kZUMInterstitialPoolMaxDepthKey));
  static_cast<void>(defaults.setObject(json(), kZUMInterstitialPoolTimeLimitKey));
  const json input = json::parse(text, nullptr, false);
  if (input.is_object()) {
    if (input.contains("depth")) static_cast<void>(defaults.setObject(input["depth"], kZUMInterstitialPoolMaxDepthKey));
    if (input.contains("limit"))
      static_cast<void>(defaults.setObject(input["limit"], kZUMInterstitialPoolTimeLimitKey));
    return;
  }
  for (auto& [name, value] : fuzzenv::pairsFromLines(text, '=', false)) {
    if (name == "depth") static_cast<void>(defaults.setObject(json(value), kZUMInterstitialPoolMaxDepthKey));
    if (name == "limit") static_cast<void>(defaults.setObject(json(value), kZUMInterstitialPoolTimeLimitKey));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("interstitial-pool-settings");
  storeDefaults(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto settings = ZUMInterstitialPoolSettings::read();
  fuzzenv::check(settings.depth >= 0 && settings.depth <= ZUMInterstitialPoolSettings::kMaximumDepth);
  fuzzenv::check(std::isfinite(settings.timeLimit));
  fuzzenv::check(settings.timeLimit == ZUMInterstitialPoolSettings::kNoTimeLimit ||
                 (settings.timeLimit >= ZUMInterstitialPoolSettings::kMinimumTimeLimit &&
                  settings.timeLimit <= ZUMInterstitialPoolSettings::kMaximumTimeLimit));
  return 0;
}
