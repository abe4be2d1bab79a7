// The pinger's retry store over stored defaults of any shape: the input, read as the
// defaults' JSON form, becomes the group list, a group, and every key it names. Reading,
// pruning, storing and removing never crash, and what prune keeps honours the limits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PropertyList.h"
#include "platform/base/UserDefaults.h"
#include "sdk/network/ZUMPingerRetryStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto json = nlohmann::ordered_json::parse(text, nullptr, false);
  if (json.is_discarded()) json = std::string(text);
  auto value = platform::fromTaggedJSON(json);
  if (!value) return 0;

  auto defaults = platform::UserDefaults::create({});
  const std::string group = "/vantor/ads/crash_reporting";
  static_cast<void>(defaults->setObject(*value, kZUMPingerRetryGroupKeysKey));
  static_cast<void>(defaults->setObject(*value, group));
  if (value->is_object()) {
    std::size_t count = 0;
    for (const auto& [key, member] : value->items()) {
      if (++count > 64) break;
      static_cast<void>(defaults->setObject(member, key));
    }
  }

  ZUMPingerRetryStore store(*defaults);
  const auto keys = store.groupKeys();
  fuzzenv::check(keys.size() <= ZUMPingerRetryStore::kMaximumGroupCount);
  for (const auto& key : keys) {
    fuzzenv::check(!key.empty());
    for (const auto& entry : store.entries(key))
      fuzzenv::check(!entry.urlString.empty() && std::isfinite(entry.storedAt));
  }

  ZUMPingerRetryStore::Limits limits;
  limits.maximumCount = size % 7;
  limits.timeToLive = static_cast<double>(size % 5) * 1e9;
  const double now = 1.8e9;
  for (const auto& [key, entries] : store.prune(limits, now)) {
    fuzzenv::check(!entries.empty() && entries.size() <= limits.maximumCount);
    for (const auto& entry : entries) fuzzenv::check(std::abs(now - entry.storedAt) <= limits.timeToLive);
    fuzzenv::check(store.entries(key) == entries);
  }

  const std::string string(text.substr(0, 64));
  const bool added = store.storeRetryURLString(string, group, 3, now);
  if (added) fuzzenv::check(store.removeRetryURLString(string, group));
  for (const auto& key : store.groupKeys()) store.removeRetryURLString(string, key);
  return 0;
}
