// The process-wide source of random numbers. Every random draw of the platform and of
// the SDK comes from here, so tests can seed it and get the same draws every run.
// Unseeded, it seeds itself from the machine's entropy on first use. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class Random {
 public:
  // Restarts the sequence from `seed` (tests).
  static void seed(std::uint64_t seed);
  // Restarts the sequence from the machine's entropy.
  static void seedFromDevice();

  static std::uint32_t next32();
  static std::uint64_t next64();
  // A number in [0, upperBound), every value equally likely (no modulo bias);
  // 0 when upperBound is 0.
  static std::uint32_t uniform(std::uint32_t upperBound);
  // A number in [0, 1).
  static double nextDouble();
  static std::vector<std::uint8_t> bytes(std::size_t count);
  static void fill(void* data, std::size_t count);
  // A version-4 UUID, upper case: "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
  static std::string uuidString();
};

}  // namespace platform
