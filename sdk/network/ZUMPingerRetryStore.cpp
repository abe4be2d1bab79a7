#include "sdk/network/ZUMPingerRetryStore.h"

#include <algorithm>
#include <cmath>
#include <set>

#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMUserDefaults.h"

using nlohmann::ordered_json;

namespace {

// A stored time: a date, or a plain number (seconds since 1970); finite only.
std::optional<platform::TimeInterval> storedTime(const ordered_json& value) {
  std::optional<platform::TimeInterval> time;
  if (platform::isDate(value)) {
    time = platform::dateValue(value);
  } else if (value.is_number()) {
    time = value.get<double>();
  }
  if (!time || !std::isfinite(*time)) return std::nullopt;
  return time;
}

}  // namespace

ZUMPingerRetryStore::Limits ZUMPingerRetryStore::currentLimits() {
  Limits limits;
  if (auto count = ZUMUserDefaults::integerForKey("/vantor/ads/maximum_retry_url_count"); count && *count >= 0) {
    limits.maximumCount = static_cast<std::size_t>(std::min<std::int64_t>(*count, kMaximumRetryURLCountCap));
  }
  if (auto ttl = ZUMUserDefaults::doubleForKey("/vantor/ads/url_time_to_live"); ttl && *ttl >= 0) {
    limits.timeToLive = *ttl;
  }
  return limits;
}

platform::TimeInterval ZUMPingerRetryStore::currentPingInterval() {
  auto interval = ZUMUserDefaults::doubleForKey("/vantor/ads/ping_interval");
  if (!interval || *interval <= 0) return kZUMPingerDefaultPingInterval;
  return std::clamp(*interval, 10.0, 24.0 * 3600);
}

ZUMPingerRetryStore::ZUMPingerRetryStore(platform::UserDefaults& defaults) : defaults_(defaults) {}

std::vector<std::string> ZUMPingerRetryStore::decodeGroupKeys(const std::optional<ordered_json>& value) {
  std::vector<std::string> keys;
  if (!value || !value->is_array()) return keys;
  std::set<std::string, std::less<>> seen;
  for (const auto& element : *value) {
    if (keys.size() >= kMaximumGroupCount) break;
    if (!element.is_string()) continue;
    const auto& key = element.get_ref<const std::string&>();
    if (key.empty() || key == kZUMPingerRetryGroupKeysKey || !seen.insert(key).second) continue;
    keys.push_back(key);
  }
  return keys;
}

std::optional<std::vector<ZUMPingerRetryStore::Entry>> ZUMPingerRetryStore::decodeEntries(
    const std::optional<ordered_json>& value) {
  // A tagged date or data value is a binary, never a dictionary, so is_object() suffices.
  if (!value || !value->is_object()) return std::nullopt;
  std::vector<Entry> entries;
  for (const auto& [urlString, stored] : value->items()) {
    if (urlString.empty()) continue;
    if (auto time = storedTime(stored)) entries.push_back({urlString, *time});
  }
  return entries;
}

std::vector<std::string> ZUMPingerRetryStore::groupKeys() const {
  return decodeGroupKeys(defaults_.objectForKey(kZUMPingerRetryGroupKeysKey));
}

std::vector<ZUMPingerRetryStore::Entry> ZUMPingerRetryStore::entries(const std::string& groupKey) const {
  if (groupKey.empty()) return {};
  return decodeEntries(defaults_.objectForKey(groupKey)).value_or(std::vector<Entry>{});
}

void ZUMPingerRetryStore::writeEntries(const std::string& groupKey, const std::vector<Entry>& entries) {
  if (entries.empty()) {
    defaults_.removeObjectForKey(groupKey);
    return;
  }
  ordered_json dictionary = ordered_json::object();
  for (const auto& entry : entries) dictionary[entry.urlString] = platform::makeDate(entry.storedAt);
  // Strings and dates only: always a property list, so the write cannot be refused.
  static_cast<void>(defaults_.setObject(dictionary, groupKey));
}

void ZUMPingerRetryStore::writeGroupKeys(const std::vector<std::string>& keys) {
  if (keys.empty()) {
    defaults_.removeObjectForKey(kZUMPingerRetryGroupKeysKey);
    return;
  }
  static_cast<void>(defaults_.setObject(ordered_json(keys), kZUMPingerRetryGroupKeysKey));  // strings only
}

bool ZUMPingerRetryStore::storeRetryURLString(const std::string& urlString, const std::string& groupKey,
                                              std::size_t maximumCount, platform::TimeInterval now) {
  if (urlString.empty() || groupKey.empty() || groupKey == kZUMPingerRetryGroupKeysKey) return false;
  auto keys = groupKeys();
  if (std::find(keys.begin(), keys.end(), groupKey) == keys.end()) {
    if (keys.size() >= kMaximumGroupCount) return false;
    keys.push_back(groupKey);
  }
  // The caller names the group, so a value of the wrong kind under its key is replaced.
  auto current = entries(groupKey);
  const bool present =
      std::any_of(current.begin(), current.end(), [&](const Entry& entry) { return entry.urlString == urlString; });
  const bool added = !present && current.size() < maximumCount;
  if (added) {
    current.push_back({urlString, std::isfinite(now) ? now : 0});
    writeEntries(groupKey, current);
  }
  if (!current.empty()) writeGroupKeys(keys);
  return added;
}

bool ZUMPingerRetryStore::removeRetryURLString(const std::string& urlString, const std::string& groupKey) {
  if (urlString.empty() || groupKey.empty() || groupKey == kZUMPingerRetryGroupKeysKey) return false;
  auto raw = decodeEntries(defaults_.objectForKey(groupKey));
  if (!raw) return false;
  const auto before = raw->size();
  std::erase_if(*raw, [&](const Entry& entry) { return entry.urlString == urlString; });
  if (raw->size() == before) return false;
  writeEntries(groupKey, *raw);
  if (raw->empty()) {
    auto keys = groupKeys();
    std::erase(keys, groupKey);
    writeGroupKeys(keys);
  }
  return true;
}

std::vector<std::pair<std::string, std::vector<ZUMPingerRetryStore::Entry>>> ZUMPingerRetryStore::prune(
    const Limits& limits, platform::TimeInterval now) {
  std::vector<std::pair<std::string, std::vector<Entry>>> groups;
  const auto listed = defaults_.objectForKey(kZUMPingerRetryGroupKeysKey);
  const auto keys = decodeGroupKeys(listed);
  std::vector<std::string> kept;
  for (const auto& key : keys) {
    const auto value = defaults_.objectForKey(key);
    auto entries = decodeEntries(value);
    // Not ours to touch, only unlisted: a value that is no dictionary, or a dictionary
    // without a single retry entry (a damaged list may name any stored dictionary).
    if (!entries || (entries->empty() && !value->empty())) continue;
    std::vector<Entry> live;
    for (auto& entry : *entries) {
      if (live.size() >= limits.maximumCount) break;
      if (std::abs(now - entry.storedAt) <= limits.timeToLive) live.push_back(std::move(entry));
    }
    // Rewrite when anything was dropped, damaged pieces included.
    if (live.size() != value->size()) writeEntries(key, live);
    if (live.empty()) continue;
    kept.push_back(key);
    groups.emplace_back(key, std::move(live));
  }
  if (listed && ordered_json(kept) != *listed) writeGroupKeys(kept);
  return groups;
}
