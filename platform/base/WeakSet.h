// A set of weakly held objects: holding an object here does not keep it alive, and an
// object that died is skipped and purged. Objects are kept in the order they were added.
// Not thread-safe: use it from one thread or under its owner's lock.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace platform {

template <class T>
class WeakSet {
 public:
  // Adds `object` unless it is already there or null.
  void add(const std::shared_ptr<T>& object) {
    if (!object || contains(object.get())) return;
    purge();
    items_.push_back(object);
  }

  // Removes `object`; true when it was there.
  bool remove(const T* object) {
    purge();
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (it->lock().get() == object) {
        items_.erase(it);
        return true;
      }
    }
    return false;
  }
  bool remove(const std::shared_ptr<T>& object) { return object && remove(object.get()); }

  bool contains(const T* object) const {
    if (!object) return false;
    for (const auto& item : items_) {
      if (item.lock().get() == object) return true;
    }
    return false;
  }
  bool contains(const std::shared_ptr<T>& object) const { return contains(object.get()); }

  // The live objects, in the order they were added.
  std::vector<std::shared_ptr<T>> allObjects() const {
    std::vector<std::shared_ptr<T>> live;
    live.reserve(items_.size());
    for (const auto& item : items_) {
      if (auto object = item.lock()) live.push_back(std::move(object));
    }
    return live;
  }

  std::size_t count() const {
    std::size_t n = 0;
    for (const auto& item : items_) n += item.expired() ? 0 : 1;
    return n;
  }
  bool empty() const { return count() == 0; }

  void removeAll() { items_.clear(); }

  // Forgets the entries of objects that died.
  void purge() {
    std::erase_if(items_, [](const std::weak_ptr<T>& item) { return item.expired(); });
  }

 private:
  std::vector<std::weak_ptr<T>> items_;
};

}  // namespace platform
