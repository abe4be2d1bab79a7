// Change notices by key path, after the platform's key-value observing: an object keeps
// one of these and calls notify("rate") after the value changed; observers added for
// that key path hear it, in the order they were added. Observers added or removed during
// a notice take effect from the next one.
//
// Used on the thread of the object that owns it (main thread for players and items).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

class KeyValueObservers {
 public:
  using Token = std::uint64_t;
  Token add(std::string keyPath, std::function<void()> callback) {
    entries_.push_back({++last_, std::move(keyPath), std::move(callback)});
    return last_;
  }
  void remove(Token token) {
    std::erase_if(entries_, [&](const Entry& e) { return e.token == token; });
  }
  void notify(const std::string& keyPath) const {
    std::vector<Entry> matching;
    for (const Entry& e : entries_) {
      if (e.keyPath == keyPath) matching.push_back(e);
    }
    for (const Entry& e : matching) {
      if (contains(e.token)) e.callback();
    }
  }

 private:
  struct Entry {
    Token token;
    std::string keyPath;
    std::function<void()> callback;
  };
  bool contains(Token token) const {
    for (const Entry& e : entries_) {
      if (e.token == token) return true;
    }
    return false;
  }
  std::vector<Entry> entries_;
  Token last_ = 0;
};

}  // namespace platform
