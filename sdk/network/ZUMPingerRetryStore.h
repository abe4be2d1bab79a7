// The pinger's persisted retries: ping URL strings kept in the user defaults so that a
// ping lost with the process (a crash report, a purchase conversion) is sent again later.
//
// Each retry group lives under its group key itself ("/vantor/ads/crash_reporting"), as
// a dictionary from retry URL string to the wall-clock time it was stored (seconds since
// 1970); the list of group keys lives under kZUMPingerRetryGroupKeysKey. What is read
// back may be damaged or of any type: unusable pieces are skipped and dropped at the
// next write, the rest is kept. A listed key whose value is not a dictionary, or is one
// without a single usable entry, is dropped from the list and left alone (it may belong
// to somebody else).
//
// Not thread-safe: the pinger uses it on its own queue only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Clock.h"

namespace platform {
class UserDefaults;
}

// Where the list of retry groups is kept.
inline constexpr const char* kZUMPingerRetryGroupKeysKey = "/vantor/ads/retry_group_keys";

// Built-in defaults of the switches "url_time_to_live" (seconds an entry lives),
// "maximum_retry_url_count" (entries per group) and "ping_interval" (seconds between
// re-sends).
inline constexpr platform::TimeInterval kZUMPingerDefaultURLTimeToLive = 24 * 3600;
inline constexpr std::size_t kZUMPingerDefaultMaximumRetryURLCount = 10;
inline constexpr platform::TimeInterval kZUMPingerDefaultPingInterval = 60;

class ZUMPingerRetryStore {
 public:
  struct Entry {
    std::string urlString;
    platform::TimeInterval storedAt = 0;  // wall-clock seconds
    bool operator==(const Entry&) const = default;
  };

  struct Limits {
    std::size_t maximumCount = kZUMPingerDefaultMaximumRetryURLCount;
    platform::TimeInterval timeToLive = kZUMPingerDefaultURLTimeToLive;
  };

  // The limits the switches set now, each checked: a missing, unreadable or negative
  // value gives the default; the count is capped at kMaximumRetryURLCountCap.
  static Limits currentLimits();
  // The re-send interval "ping_interval" sets: the default when missing, unreadable or
  // not positive; otherwise kept between 10 s and one day.
  static platform::TimeInterval currentPingInterval();

  static constexpr std::size_t kMaximumRetryURLCountCap = 1000;
  // At most this many groups are read from the list; the rest are dropped.
  static constexpr std::size_t kMaximumGroupCount = 64;

  explicit ZUMPingerRetryStore(platform::UserDefaults& defaults);

  // Adds `urlString` to the group unless it is empty, already there, or the group holds
  // `maximumCount` entries; lists the group. True when added.
  bool storeRetryURLString(const std::string& urlString, const std::string& groupKey, std::size_t maximumCount,
                           platform::TimeInterval now);
  // Removes the entry; a group left empty is removed with its key. True when removed.
  bool removeRetryURLString(const std::string& urlString, const std::string& groupKey);

  // The listed groups and their usable entries, read as they are.
  std::vector<std::string> groupKeys() const;
  std::vector<Entry> entries(const std::string& groupKey) const;

  // Drops expired entries (stored more than the time to live away from `now`, either
  // way), entries beyond the count limit, damaged entries, and groups left empty or
  // unusable; writes back what changed and returns the groups that remain.
  std::vector<std::pair<std::string, std::vector<Entry>>> prune(const Limits& limits, platform::TimeInterval now);

  // Decoding of stored values, usable on anything. The group keys: the distinct
  // non-empty strings of an array, at most kMaximumGroupCount. The entries: nullopt when
  // the value is not a dictionary; otherwise its pairs with a finite number, in order.
  static std::vector<std::string> decodeGroupKeys(const std::optional<nlohmann::ordered_json>& value);
  [[nodiscard]] static std::optional<std::vector<Entry>> decodeEntries(
      const std::optional<nlohmann::ordered_json>& value);

 private:
  void writeEntries(const std::string& groupKey, const std::vector<Entry>& entries);
  void writeGroupKeys(const std::vector<std::string>& keys);

  platform::UserDefaults& defaults_;
};
