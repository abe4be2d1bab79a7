#include "platform/net/ContentRange.h"

#include <charconv>

namespace platform {

namespace {

std::optional<std::int64_t> number(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<ContentRange> ContentRange::parse(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  constexpr std::string_view kUnit = "bytes ";
  if (value.size() < kUnit.size()) return std::nullopt;
  for (std::size_t i = 0; i < kUnit.size(); ++i) {
    char c = value[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kUnit[i]) return std::nullopt;
  }
  value.remove_prefix(kUnit.size());
  auto slash = value.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view range = value.substr(0, slash);
  std::string_view length = value.substr(slash + 1);

  ContentRange result;
  if (length != "*") {
    result.completeLength = number(length);
    if (!result.completeLength) return std::nullopt;
  }
  if (range == "*") {
    // Only an unsatisfied-range answer, which must name the length.
    if (!result.completeLength) return std::nullopt;
    return result;
  }
  auto dash = range.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  result.firstByte = number(range.substr(0, dash));
  result.lastByte = number(range.substr(dash + 1));
  if (!result.firstByte || !result.lastByte || *result.lastByte < *result.firstByte) return std::nullopt;
  if (result.completeLength && *result.lastByte >= *result.completeLength) return std::nullopt;
  return result;
}

}  // namespace platform
