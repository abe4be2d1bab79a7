// The interstitial cache's inputs from the server and from storage: request parameters,
// the pool schema, field names, allowed patterns, exclusions, max pools and the saved
// list of requests to preload. An input that is a JSON object sets each of those from
// its keys ("parameters", "schema", "field_names", "patterns", "exclusions",
// "max_pools", "saved") with values of any type; any other input is custom targeting,
// every pattern and the saved list's bytes at once.
//
// For each input a new cache restores the saved list, then makes the key of a request
// rebuilt from the parameters and saves it. Nothing crashes or hangs; a key is made the
// same way twice, names only schema fields and keeps the ad unit; the cache never holds
// more pools than max pools, and what it saves is a list of at most that many property
// lists.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PropertyList.h"
#include "platform/base/UserDefaults.h"
#include "sdk/formats/ZUMInterstitialCache.h"
#include "sdk/formats/ZUMInterstitialPool.h"
#include "sdk/formats/ZUMInterstitialPoolKey.h"

using json = nlohmann::ordered_json;

namespace {

constexpr const char* kAdUnitID = "unit-A";

void store(const char* key, const json& value) {
  static_cast<void>(platform::UserDefaults::standard().setObject(value, key));
}

// Stores the settings and the saved list the input gives; answers the parameters.
json storeInput(std::string_view text) {
  // Fresh defaults in memory: what the last input stored is gone, and nothing waits on a disk.
  platform::UserDefaults::setStandardFile({});
  store(kZUMInterstitialPoolMaxDepthKey, "0");  // pools are made, never filled
  const json input = json::parse(text, nullptr, false);
  if (!input.is_object()) {
    const std::string whole(text);
    store(kZUMInterstitialPoolAllowedPatternsKey, json{{"custom_targeting", whole}, {"custom_targeting.a", whole}});
    store(kZUMInterstitialPoolExclusionsKey, whole);
    store(kZUMInterstitialRequestsToPreloadKey, platform::makeData(platform::Data(text.begin(), text.end())));
    return json{{"custom_targeting", {{"a", whole}}}};
  }
  const struct {
    const char* name;
    const char* key;
  } fields[] = {{"schema", kZUMInterstitialPoolSchemaKey},
                {"field_names", kZUMInterstitialPoolFieldNamesKey},
                {"patterns", kZUMInterstitialPoolAllowedPatternsKey},
                {"exclusions", kZUMInterstitialPoolExclusionsKey},
                {"max_pools", kZUMInterstitialPoolMaxPoolsKey},
                {"saved", kZUMInterstitialRequestsToPreloadKey}};
  for (const auto& field : fields) {
    if (input.contains(field.name)) store(field.key, input[field.name]);
  }
  return input.contains("parameters") ? input["parameters"] : json::object();
}

void checkKey(const json& parameters) {
  const auto settings = ZUMInterstitialPoolKeySettings::read();
  const auto key = ZUMInterstitialPoolKeyForParameters(kAdUnitID, parameters, settings);
  const auto again = ZUMInterstitialPoolKeyForParameters(kAdUnitID, parameters, settings);
  fuzzenv::check(key.has_value() == again.has_value());
  if (!key) return;
  fuzzenv::check(*key == *again && key->adUnitID == kAdUnitID);
  for (const auto& [field, value] : key->fields.items()) {
    bool named = false;
    for (const auto& name : settings.schema) named = named || name == field;
    fuzzenv::check(named);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("interstitial-cache");
  const json parameters = storeInput(std::string_view(reinterpret_cast<const char*>(data), size));
  checkKey(parameters);

  auto cache = ZUMInterstitialCache::create();  // as at a new start: it restores the saved list
  fuzzenv::drainMainLoop();
  const auto max = static_cast<std::size_t>(ZUMInterstitialCache::maxPools());
  fuzzenv::check(cache->poolCount() <= max);
  const auto request = ZUMRequest::createWithParameters(parameters);
  cache->loadRequest(request, kAdUnitID);
  fuzzenv::check(cache->poolCount() <= max);
  fuzzenv::drainMainLoop();
  const auto saved = platform::UserDefaults::standard().objectForKey(kZUMInterstitialRequestsToPreloadKey);
  if (cache->poolForRequest(request, kAdUnitID)) {
    fuzzenv::check(saved && saved->is_array());
    fuzzenv::check(saved->size() <= max);
    for (const auto& entry : *saved) fuzzenv::check(platform::isPropertyList(entry));
  }
  cache.reset();
  fuzzenv::drainMainLoop();  // its pools go on the main thread
  return 0;
}
