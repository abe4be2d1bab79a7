// The banner cache's key from hostile settings and requests: an input that is a JSON
// object gives the stored schema ("schema"), the two limits ("max_pools", "max_queues")
// and the request parameters ("parameters"), each of any type; any other input is the
// stored schema's text and the value of a request extra at once.
//
// For each input the key is made from the parameters directly and through a banner and
// a request rebuilt from them. Nothing crashes or hangs; a key is made the same way
// twice, always keeps the banner's ad unit, names only schema entries and carries no
// origin in its frame or bounds; a new cache asked under two screens in turn hands out
// nothing and never holds more pools than its limit.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMRequest.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/ViewController.h"
#include "sdk/formats/ZUMBannerCache.h"
#include "sdk/formats/ZUMBannerPool.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"

using json = nlohmann::ordered_json;

namespace {

constexpr const char* kAdUnitID = "unit-A";

void store(const char* key, const json& value) {
  static_cast<void>(platform::UserDefaults::standard().setObject(value, key));
}

// Stores the settings the input gives; answers the request parameters.
json storeInput(std::string_view text) {
  platform::UserDefaults::setStandardFile({});
  const json input = json::parse(text, nullptr, false);
  if (!input.is_object()) {
    const std::string whole(text);
    store(kZUMBannerPoolSchemaKey, whole);
    return json{{"extras", {{"a", whole}}}};
  }
  const struct {
    const char* name;
    const char* key;
  } fields[] = {{"schema", kZUMBannerPoolSchemaKey},
                {"max_pools", kZUMBannerPoolMaxPoolsKey},
                {"max_queues", kZUMBannerPoolMaxQueuesKey}};
  for (const auto& field : fields) {
    if (input.contains(field.name)) store(field.key, input[field.name]);
  }
  return input.contains("parameters") ? input["parameters"] : json::object();
}

void checkKey(const json& key, const std::vector<std::string>& schema) {
  fuzzenv::check(key.is_object() && key.value("ad_unit_id", json()) == kAdUnitID);
  for (const auto& [name, value] : key.items()) {
    if (name == "ad_unit_id") continue;
    bool named = false;
    for (const auto& entry : schema) named = named || entry == name;
    fuzzenv::check(named);
    if ((name == "ad_frame" || name == "ad_bounds") && value.is_object()) {
      fuzzenv::check(!value.contains("x") && !value.contains("y"));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("banner-cache");
  // One banner and two screens for the run (one web view, not one per input).
  static const auto banner = [] {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    auto made = ZUMBannerView::create(kZUMAdSizeBanner);
    made->setAdUnitID(kAdUnitID);
    return made;
  }();
  static const std::shared_ptr<platform::ViewController> screens[] = {platform::ViewController::create(),
                                                                      platform::ViewController::create()};
  const json parameters = storeInput(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto schema = ZUMBannerCache::schema();
  fuzzenv::check(!schema.empty());
  const json key = ZUMBannerCache::keyFromParameters(kAdUnitID, parameters, schema);
  fuzzenv::check(key == ZUMBannerCache::keyFromParameters(kAdUnitID, parameters, schema));
  checkKey(key, schema);

  const auto request = ZUMRequest::createWithParameters(parameters);
  auto cache = ZUMBannerCache::create();
  for (const auto& screen : screens) {
    banner->setRootViewController(screen);
    const auto bannerKey = ZUMBannerCache::keyForBannerView(banner, request);
    fuzzenv::check(bannerKey.has_value() == (request != nullptr));
    if (bannerKey) checkKey(*bannerKey, schema);
    fuzzenv::check(!cache->cacheEntryForBannerView(banner, request));
    fuzzenv::drainMainLoop();
    fuzzenv::check(cache->poolCount(ZUMBannerCache::Generation::Current) <=
                   static_cast<std::size_t>(ZUMBannerCache::maxPools()));
  }
  fuzzenv::check(ZUMBannerCache::maxPools() >= 1 && ZUMBannerPool::maxQueues() >= 1);
  cache.reset();
  fuzzenv::drainMainLoop();
  return 0;
}
