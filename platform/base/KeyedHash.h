// Hashes of keys that a server, a page or a file wrote, for the tables that index them.
// Under an unkeyed hash a sender can pick, offline, keys that all land in one part of a
// table, so that each look-up walks the keys before it and n keys cost n^2. These hashes
// are SipHash-2-4 under a secret drawn once per process from the machine's entropy: keys
// land as random keys do, whoever chose them. They differ between processes: never store
// one. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// A SipHash key: its 16 bytes as two little-endian words.
struct SipHashKey {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
};

// SipHash-2-4 of `bytes` under `key`.
std::uint64_t sipHash(std::string_view bytes, SipHashKey key);

// The hash of `bytes` under this process's secret.
std::uint64_t keyedHash(std::string_view bytes);

// keyedHash, as the hash of unordered containers of strings or string views. Not noexcept:
// the standard library's containers then keep each key's hash beside it, rather than hash
// keys again as they walk a bucket.
struct KeyedHash {
  std::size_t operator()(std::string_view bytes) const { return keyedHash(bytes); }
};

}  // namespace platform
