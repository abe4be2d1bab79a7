// A statistics dictionary: values by key, numbers that count up, and arrays bounded to a
// per-key maximum size (the oldest entries are dropped first). Writes may tell the
// delegate; notices are coalesced to one per turn of the statistics' queue: the first
// notifying write queues a notice behind the writes already queued, and every notifying
// write that runs before that notice is covered by it.
//
// Thread-safe. State lives on its own serial queue ("com.vantor.morvane.statistics"):
// writes are queued and return at once; reads wait for earlier writes and return copies.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sdk/foundation/ZUMStatisticDictionaryDelegate.h"

namespace platform {
class DispatchQueue;
}

class ZUMStatisticDictionary : public std::enable_shared_from_this<ZUMStatisticDictionary> {
 public:
  static std::shared_ptr<ZUMStatisticDictionary> create(std::weak_ptr<ZUMStatisticDictionaryDelegate> delegate = {});

  std::shared_ptr<ZUMStatisticDictionaryDelegate> delegate() const;

  // The stored value, or nullopt.
  std::optional<nlohmann::ordered_json> objectForKey(const std::string& key) const;
  // A copy of every statistic.
  nlohmann::ordered_json dictionary() const;

  // Stores a value (null removes the key), telling the delegate.
  void setObject(const nlohmann::ordered_json& value, const std::string& key);
  void setObject(const nlohmann::ordered_json& value, const std::string& key, bool shouldNotifyDelegate);
  // Adds 1 to the number under `key`; a missing value, or one that is not a number,
  // counts as 0. Integers stop at their largest value.
  void incrementNumberForKey(const std::string& key, bool shouldNotifyDelegate);
  // Appends a value (null is ignored) to the array under `key` (a value that is not an
  // array is replaced by a new one), then trims the array to the key's maximum size.
  void addObject(const nlohmann::ordered_json& value, const std::string& key, bool shouldNotifyDelegate);
  // Bounds the array under `key` to `maxSize` entries (a negative size counts as 0) and
  // trims it at once, dropping the oldest entries. Tells nobody.
  void setMaxSize(std::int64_t maxSize, const std::string& key);

  explicit ZUMStatisticDictionary(std::weak_ptr<ZUMStatisticDictionaryDelegate> delegate);
  ~ZUMStatisticDictionary();
  ZUMStatisticDictionary(const ZUMStatisticDictionary&) = delete;
  ZUMStatisticDictionary& operator=(const ZUMStatisticDictionary&) = delete;

 private:
  struct State;

  // On the queue: after a write.
  void didChange(bool shouldNotifyDelegate);
  void trim(const std::string& key);

  std::shared_ptr<platform::DispatchQueue> queue_;
  const std::weak_ptr<ZUMStatisticDictionaryDelegate> delegate_;
  std::unique_ptr<State> state_;  // touched only on queue_
};
