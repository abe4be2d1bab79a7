#include "platform/base/PropertyList.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/StringConversions.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

// The binary subtype that marks a date: the time's IEEE 754 bits, little-endian.
constexpr std::uint64_t kDateSubtype = 0x44;

constexpr std::string_view kDataTag = "$data";
constexpr std::string_view kDateTag = "$date";
constexpr std::string_view kDictTag = "$dict";

bool isTagKey(std::string_view key) { return key == kDataTag || key == kDateTag || key == kDictTag; }

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const Data& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kBase64Alphabet[(n >> 18) & 63];
    out += kBase64Alphabet[(n >> 12) & 63];
    out += kBase64Alphabet[(n >> 6) & 63];
    out += kBase64Alphabet[n & 63];
  }
  if (const std::size_t rest = bytes.size() - i; rest > 0) {
    const std::uint32_t n = (bytes[i] << 16) | (rest == 2 ? bytes[i + 1] << 8 : 0);
    out += kBase64Alphabet[(n >> 18) & 63];
    out += kBase64Alphabet[(n >> 12) & 63];
    out += rest == 2 ? kBase64Alphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

int base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Strict: padded groups of four, padding only at the end.
std::optional<Data> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  Data out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const std::size_t padding = last ? (text[i + 3] == '=' ? (text[i + 2] == '=' ? 2 : 1) : 0) : 0;
    std::uint32_t n = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      int d = 0;
      if (k < 4 - padding) {
        d = base64Digit(text[i + k]);
        if (d < 0) return std::nullopt;
      }
      n = (n << 6) | static_cast<std::uint32_t>(d);
    }
    out.push_back(static_cast<std::uint8_t>(n >> 16));
    if (padding < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
    if (padding < 1) out.push_back(static_cast<std::uint8_t>(n));
  }
  return out;
}

template <class Int>
Int saturatingCast(double d) {
  if (std::isnan(d)) return 0;
  // The limits as doubles: 2^(digits) is exact, and anything at or past it overflows.
  constexpr double kUpper = static_cast<double>(std::uint64_t{1} << std::numeric_limits<Int>::digits);
  if (d >= kUpper) return std::numeric_limits<Int>::max();
  if (d < -kUpper) return std::numeric_limits<Int>::min();
  return static_cast<Int>(d);  // truncates toward zero, as the platform does
}

template <class Int>
Int clampInteger(std::int64_t v) {
  if (v > std::numeric_limits<Int>::max()) return std::numeric_limits<Int>::max();
  if (v < std::numeric_limits<Int>::min()) return std::numeric_limits<Int>::min();
  return static_cast<Int>(v);
}

float toFloat(double d) {
  if (d > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (d < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(d);
}

bool isPropertyListAt(const Json& value, std::size_t depth) {
  if (depth > kMaxPropertyListDepth) return false;
  switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
      return false;
    case Json::value_t::binary:
      return isData(value) || isDate(value);
    case Json::value_t::number_float:
      return std::isfinite(value.get<double>());
    case Json::value_t::array:
    case Json::value_t::object:
      for (const auto& element : value) {
        if (!isPropertyListAt(element, depth + 1)) return false;
      }
      return true;
    default:
      return true;
  }
}

std::optional<Json> toTaggedAt(const Json& value, std::size_t depth) {
  if (depth > kMaxPropertyListDepth) return std::nullopt;
  switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
      return std::nullopt;
    case Json::value_t::binary:
      if (auto data = dataValue(value)) return Json{{kDataTag, base64Encode(*data)}};
      if (auto date = dateValue(value)) return Json{{kDateTag, *date}};
      return std::nullopt;
    case Json::value_t::number_float:
      if (!std::isfinite(value.get<double>())) return std::nullopt;
      return value;
    case Json::value_t::array: {
      Json out = Json::array();
      for (const auto& element : value) {
        if (auto tagged = toTaggedAt(element, depth + 1)) out.push_back(std::move(*tagged));
      }
      return out;
    }
    case Json::value_t::object: {
      // The keys of an object are distinct: each goes at the end, with no look-up (the
      // object's own is a search of the keys before it).
      Json out = Json::object();
      auto& members = out.get_ref<Json::object_t&>();
      for (const auto& [key, element] : value.items()) {
        if (auto tagged = toTaggedAt(element, depth + 1)) members.emplace_back(key, std::move(*tagged));
      }
      if (out.size() == 1 && isTagKey(out.begin().key())) return Json{{kDictTag, std::move(out)}};
      return out;
    }
    default:
      return value;
  }
}

std::optional<Json> fromTaggedAt(const Json& json, std::size_t depth, bool readTags = true) {
  if (depth > kMaxPropertyListDepth) return std::nullopt;
  switch (json.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
    case Json::value_t::binary:
      return std::nullopt;
    case Json::value_t::array: {
      Json out = Json::array();
      for (const auto& element : json) {
        if (auto value = fromTaggedAt(element, depth + 1)) out.push_back(std::move(*value));
      }
      return out;
    }
    case Json::value_t::object: {
      if (readTags && json.size() == 1 && isTagKey(json.begin().key())) {
        const std::string& tag = json.begin().key();
        const Json& inner = json.begin().value();
        if (tag == kDataTag) {
          if (!inner.is_string()) return std::nullopt;
          auto bytes = base64Decode(inner.get_ref<const std::string&>());
          if (!bytes) return std::nullopt;
          return makeData(std::move(*bytes));
        }
        if (tag == kDateTag) {
          if (!inner.is_number()) return std::nullopt;
          const double seconds = inner.get<double>();
          if (!std::isfinite(seconds)) return std::nullopt;
          return makeDate(seconds);
        }
        if (!inner.is_object()) return std::nullopt;
        return fromTaggedAt(inner, depth, false);  // a tag adds no depth of its own
      }
      Json out = Json::object();
      auto& members = out.get_ref<Json::object_t&>();
      for (const auto& [key, element] : json.items()) {
        if (auto value = fromTaggedAt(element, depth + 1)) members.emplace_back(key, std::move(*value));
      }
      return out;
    }
    default:
      return json;
  }
}

}  // namespace

Json makeData(Data bytes) { return Json::binary(std::move(bytes)); }

Json makeDate(TimeInterval secondsSince1970) {
  if (!std::isfinite(secondsSince1970)) secondsSince1970 = 0;
  const auto bits = std::bit_cast<std::uint64_t>(secondsSince1970);
  Data bytes(8);
  for (std::size_t i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  return Json::binary(std::move(bytes), kDateSubtype);
}

bool isData(const Json& value) { return value.is_binary() && !value.get_binary().has_subtype(); }

bool isDate(const Json& value) {
  if (!value.is_binary()) return false;
  return dateValue(value).has_value();
}

std::optional<Data> dataValue(const Json& value) {
  if (!isData(value)) return std::nullopt;
  return static_cast<const Data&>(value.get_binary());
}

std::optional<TimeInterval> dateValue(const Json& value) {
  if (!value.is_binary()) return std::nullopt;
  const auto& bytes = value.get_binary();
  if (!bytes.has_subtype() || bytes.subtype() != kDateSubtype || bytes.size() != 8) {
    return std::nullopt;
  }
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  const auto seconds = std::bit_cast<double>(bits);
  if (!std::isfinite(seconds)) return std::nullopt;
  return seconds;
}

bool isPropertyList(const Json& value) { return isPropertyListAt(value, 0); }

std::optional<bool> boolValue(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>();
    case Json::value_t::number_integer:
      return value.get<std::int64_t>() != 0;
    case Json::value_t::number_unsigned:
      return value.get<std::uint64_t>() != 0;
    case Json::value_t::number_float:
      return value.get<double>() != 0;
    case Json::value_t::string:
      return stringBoolValue(value.get_ref<const std::string&>());
    default:
      return std::nullopt;
  }
}

std::optional<std::int64_t> integerValue(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>() ? 1 : 0;
    case Json::value_t::number_integer:
      return value.get<std::int64_t>();
    case Json::value_t::number_unsigned: {
      const auto u = value.get<std::uint64_t>();
      constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
      return u > kMax ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(u);
    }
    case Json::value_t::number_float:
      return saturatingCast<std::int64_t>(value.get<double>());
    case Json::value_t::string:
      return stringIntegerValue(value.get_ref<const std::string&>());
    default:
      return std::nullopt;
  }
}

std::optional<std::int32_t> intValue(const Json& value) {
  if (value.is_string()) return stringIntValue(value.get_ref<const std::string&>());
  if (value.is_number_float()) return saturatingCast<std::int32_t>(value.get<double>());
  if (auto integer = integerValue(value)) return clampInteger<std::int32_t>(*integer);
  return std::nullopt;
}

std::optional<double> doubleValue(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>() ? 1.0 : 0.0;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return value.get<double>();
    case Json::value_t::string:
      return stringDoubleValue(value.get_ref<const std::string&>());
    default:
      return std::nullopt;
  }
}

std::optional<float> floatValue(const Json& value) {
  if (value.is_string()) return stringFloatValue(value.get_ref<const std::string&>());
  if (auto d = doubleValue(value)) return toFloat(*d);
  return std::nullopt;
}

std::optional<std::string> stringValue(const Json& value) {
  switch (value.type()) {
    case Json::value_t::string:
      return value.get<std::string>();
    case Json::value_t::boolean:
      return std::string(value.get<bool>() ? "1" : "0");
    case Json::value_t::number_integer:
      return integerString(value.get<std::int64_t>());
    case Json::value_t::number_unsigned:
      return unsignedString(value.get<std::uint64_t>());
    case Json::value_t::number_float:
      return doubleString(value.get<double>());
    default:
      return std::nullopt;
  }
}

std::optional<Json> toTaggedJSON(const Json& value) { return toTaggedAt(value, 0); }

std::optional<Json> fromTaggedJSON(const Json& json) { return fromTaggedAt(json, 0); }

}  // namespace platform
