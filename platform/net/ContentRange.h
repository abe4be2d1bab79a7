// The value of a "Content-Range" response field ("bytes 0-499/1234", "bytes 0-499/*",
// "bytes */1234"), for callers that must check what a 206 or 416 answer really holds
// before trusting it. A value type; use it from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

struct ContentRange {
  // The bytes held, inclusive; both absent in an unsatisfied-range answer ("*/N").
  std::optional<std::int64_t> firstByte;
  std::optional<std::int64_t> lastByte;
  // The whole resource's length; absent when the server does not know it ("/*").
  std::optional<std::int64_t> completeLength;

  // std::nullopt unless the value is a well-formed byte range: first <= last, and last
  // below the complete length when that is known.
  [[nodiscard]] static std::optional<ContentRange> parse(std::string_view value);

  bool operator==(const ContentRange&) const = default;
};

}  // namespace platform
