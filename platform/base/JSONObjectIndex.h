// An index of the keys of one JSON object while it is built key by key. An object's own
// look-up (nlohmann::ordered_json keeps its members in a vector) is a linear search, so
// adding n keys through it costs n^2; through the index, n. The rule stays the object's:
// keys keep the order they were first added in, and a key added again has its value
// replaced in place. Small objects are searched directly; from kIndexFrom keys on, an
// open-addressing table of positions finds them: hash and position in one flat array of
// 8-byte slots, at most half full, so that a look-up touches one slot, and a key only when
// its hash matches; the table grows from the hashes it holds, without reading the keys.
// Keys are placed by a hash under a per-process secret (KeyedHash.h): a sender cannot
// choose keys that crowd one run of slots, so n keys cost n whoever wrote them.
// assignMembers, below, copies one object's members into another through an index.
//
// Holds the address of the object's members (which stay where they are when the value
// holding them moves): the object outlives the index and changes only through it while
// indexed. Not shared between threads. Include only where objects are built: it brings
// in the whole JSON library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/base/KeyedHash.h"

namespace platform {

class JSONObjectIndex {
 public:
  using Json = nlohmann::ordered_json;
  using Members = Json::object_t;

  // Indexes `members`, the members of an object, with the keys they already hold.
  explicit JSONObjectIndex(Members& members) : members_(&members) {
    if (members_->size() >= kIndexFrom) rebuild();
  }

  // The value of `key`; nullptr when the object has none.
  Json* find(std::string_view key) {
    if (slots_.empty()) return search(key);
    return probe(key, hashOf(key)).value;
  }

  // The value of `key`, as the object's operator[] gives it: the one it holds, else a
  // null added at the end.
  Json& operator[](std::string_view key) {
    return valueFor(key, [&] { return std::string(key); });
  }
  Json& operator[](std::string&& key) {
    return valueFor(key, [&] { return std::move(key); });
  }
  Json& operator[](const char* key) { return (*this)[std::string_view(key)]; }

  // To be called after a member is appended to the object's members directly (by one
  // that builds it in place), with a key the object did not hold.
  void added() {
    const std::size_t count = members_->size();
    if (count < kIndexFrom) return;
    if (slots_.empty()) {
      rebuild();
    } else {
      if (2 * count > slots_.size()) grow();
      insert(hashOf(member(count - 1).first), count - 1);
    }
  }

 private:
  static constexpr std::size_t kIndexFrom = 16;
  // Positions fit in 32 bits: an object of 2^32 keys would not fit in memory.
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t position = 0;  // 1 + the member's position; 0: empty
  };

  struct Probe {
    Json* value;     // the key's, when found
    std::size_t at;  // else the empty slot where it goes
  };

  Json* search(std::string_view key) {
    for (auto& [name, value] : *members_) {
      if (sameKey(name, key)) return &value;
    }
    return nullptr;
  }

  Probe probe(std::string_view key, std::uint32_t hash) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    for (; slots_[at].position != 0; at = (at + 1) & mask) {
      if (slots_[at].hash != hash) continue;
      auto& candidate = member(slots_[at].position - 1);
      if (candidate.first == key) return {&candidate.second, at};
    }
    return {nullptr, at};
  }

  // The value of `key`, else a null added under the key that `makeKey` gives; the key is
  // hashed once whether found or added.
  template <class MakeKey>
  Json& valueFor(std::string_view key, MakeKey&& makeKey) {
    if (slots_.empty()) {
      if (Json* existing = search(key)) return *existing;
      auto& added =
          members_->emplace_back(std::piecewise_construct, std::forward_as_tuple(makeKey()), std::forward_as_tuple());
      if (members_->size() >= kIndexFrom) rebuild();
      return added.second;
    }
    const std::uint32_t hash = hashOf(key);
    const Probe found = probe(key, hash);
    if (found.value) return *found.value;
    auto& added =
        members_->emplace_back(std::piecewise_construct, std::forward_as_tuple(makeKey()), std::forward_as_tuple());
    const std::size_t count = members_->size();
    if (2 * count > slots_.size()) {
      grow();
      insert(hash, count - 1);
    } else {
      slots_[found.at] = {hash, static_cast<std::uint32_t>(count)};
    }
    return added.second;
  }

  static std::uint32_t hashOf(std::string_view key) { return static_cast<std::uint32_t>(keyedHash(key)); }
  Members::value_type& member(std::size_t position) {
    return *(members_->begin() + static_cast<std::ptrdiff_t>(position));
  }

  void insert(std::uint32_t hash, std::size_t position) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at].position != 0) at = (at + 1) & mask;
    slots_[at] = {hash, static_cast<std::uint32_t>(position + 1)};
  }

  // A table for every member, from their keys.
  void rebuild() {
    std::size_t size = 64;
    while (size < 4 * members_->size()) size *= 2;
    slots_.assign(size, Slot{});
    for (std::size_t position = 0; position < members_->size(); ++position) {
      insert(hashOf(member(position).first), position);
    }
  }

  // A table twice as large, from the hashes of the last one.
  void grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.position != 0) insert(slot.hash, slot.position - 1);
    }
  }

  // Keys of one object often share their length and first byte ("k1", "k2"): the last
  // byte tells most of them apart without a call.
  static bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return a.back() == b.back() && std::memcmp(a.data(), b.data(), a.size()) == 0;
  }

  Members* members_;
  std::vector<Slot> slots_;
};

// Sets each member of the object `source` in the object `target` under the key `keyOf`
// makes of its name, in order, as `target[key] = value` would: a key the target holds keeps
// its place and takes the value, a new one is appended, and of two names that make one key
// the later value wins. Through an index, so a source of n keys costs n, not n^2, whoever
// chose them. Both must be objects, and distinct.
template <class KeyOf = std::identity>
void assignMembers(nlohmann::ordered_json& target, const nlohmann::ordered_json& source, KeyOf&& keyOf = {}) {
  JSONObjectIndex keys(target.get_ref<JSONObjectIndex::Members&>());
  for (const auto& [name, value] : source.items()) keys[keyOf(name)] = value;
}

}  // namespace platform
