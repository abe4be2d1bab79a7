// A map whose values are held weakly: a value that died reads as absent and its entry
// is purged. Keys are ordered, so walks are deterministic. Not thread-safe: use it from one thread or under its owner's lock.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

template <class K, class V, class Compare = std::less<>>
class WeakValueMap {
 public:
  // Stores `value` under `key`; a null value removes the key.
  void set(const K& key, const std::shared_ptr<V>& value) {
    if (!value) {
      remove(key);
      return;
    }
    entries_.insert_or_assign(key, std::weak_ptr<V>(value));
    // Purge now and then, so dead entries never outnumber the live ones for long.
    if (entries_.size() >= 2 * sizeAfterPurge_ + 8) purge();
  }

  // The live value of `key`, or nullptr.
  template <class Key>
  std::shared_ptr<V> get(const Key& key) const {
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : it->second.lock();
  }

  template <class Key>
  bool contains(const Key& key) const {
    return get(key) != nullptr;
  }

  template <class Key>
  bool remove(const Key& key) {
    auto it = entries_.find(key);
    if (it == entries_.end()) return false;
    bool wasLive = !it->second.expired();
    entries_.erase(it);
    return wasLive;
  }

  // The live entries, in key order.
  std::vector<std::pair<K, std::shared_ptr<V>>> entries() const {
    std::vector<std::pair<K, std::shared_ptr<V>>> live;
    for (const auto& [key, weak] : entries_) {
      if (auto value = weak.lock()) live.emplace_back(key, std::move(value));
    }
    return live;
  }

  std::size_t count() const {
    std::size_t n = 0;
    for (const auto& entry : entries_) n += entry.second.expired() ? 0 : 1;
    return n;
  }

  void removeAll() {
    entries_.clear();
    sizeAfterPurge_ = 0;
  }

  // Forgets the entries whose values died.
  void purge() {
    std::erase_if(entries_, [](const auto& entry) { return entry.second.expired(); });
    sizeAfterPurge_ = entries_.size();
  }

 private:
  std::map<K, std::weak_ptr<V>, Compare> entries_;
  std::size_t sizeAfterPurge_ = 0;
};

}  // namespace platform
