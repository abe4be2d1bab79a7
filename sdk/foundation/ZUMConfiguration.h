// A key/value store in which every key carries a priority: a write with a lower
// priority than the stored one is refused, an equal or higher one replaces the value.
// The SDK and the server's settings write at priority 500, the host's values at 999.
// It holds the application identifier and the server-delivered application settings.
//
// Thread-safe. State lives on the configuration's own serial queue
// ("com.vantor.morvane.configuration"): writes are queued and return at once, reads wait
// for the writes queued before them and return copies. The delegate hears of changes on
// that queue.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sdk/foundation/ZUMConfigurationDelegate.h"

namespace platform {
class DispatchQueue;
}

class ZUMConfiguration : public std::enable_shared_from_this<ZUMConfiguration> {
 public:
  using Priority = std::int64_t;
  // The SDK's own values and the server's settings.
  static constexpr Priority kSDKPriority = 500;
  // The host's values (its application identifier), which the server may not replace.
  static constexpr Priority kHostPriority = 999;

  static std::shared_ptr<ZUMConfiguration> create();

  std::shared_ptr<ZUMConfigurationDelegate> delegate() const;
  void setDelegate(std::weak_ptr<ZUMConfigurationDelegate> delegate);

  // Stores `value` under `key` unless a higher priority is stored for the key. A null
  // value removes the key (under the same rule). One change notice when the value
  // changed.
  void setObject(const nlohmann::ordered_json& value, const std::string& key, Priority priority);
  // Merges every entry of a dictionary at one priority, as setObject() does for each,
  // with a single change notice when anything changed. Anything but a dictionary is
  // ignored.
  void addEntriesFromDictionary(const nlohmann::ordered_json& dictionary, Priority priority);

  // The stored value, or nullopt.
  std::optional<nlohmann::ordered_json> objectForKey(const std::string& key) const;
  // The stored priority of a key, or nullopt.
  std::optional<Priority> priorityForKey(const std::string& key) const;
  // A copy of every key and value, in the order the keys were first stored.
  nlohmann::ordered_json dictionary() const;

  ZUMConfiguration();
  ~ZUMConfiguration();
  ZUMConfiguration(const ZUMConfiguration&) = delete;
  ZUMConfiguration& operator=(const ZUMConfiguration&) = delete;

 private:
  struct State;

  // Applies the entries of a dictionary on the queue; whether a stored value changed.
  bool merge(const nlohmann::ordered_json& dictionary, Priority priority);
  void notifyDelegate();

  std::shared_ptr<platform::DispatchQueue> queue_;
  mutable std::mutex delegateMutex_;
  std::weak_ptr<ZUMConfigurationDelegate> delegate_;
  std::unique_ptr<State> state_;  // touched only on queue_
};
