#include "platform/base/PercentEncoding.h"

#include <cstdint>
#include <cstring>

namespace platform {

namespace {

constexpr std::string_view kAlphanumerics = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

PercentEncoding::AllowedSet makeSet(std::string_view extra) {
  return PercentEncoding::AllowedSet(kAlphanumerics).adding(extra);
}

}  // namespace

void PercentEncoding::AllowedSet::add(std::string_view characters) {
  for (char c : characters) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 128) bits_.set(byte);
  }
}

PercentEncoding::AllowedSet PercentEncoding::AllowedSet::adding(std::string_view characters) const {
  AllowedSet copy = *this;
  copy.add(characters);
  return copy;
}

PercentEncoding::AllowedSet PercentEncoding::AllowedSet::removing(std::string_view characters) const {
  AllowedSet copy = *this;
  for (char c : characters) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 128) copy.bits_.reset(byte);
  }
  return copy;
}

const PercentEncoding::AllowedSet& PercentEncoding::alphanumerics() {
  static const AllowedSet set(kAlphanumerics);
  return set;
}

const PercentEncoding::AllowedSet& PercentEncoding::queryAllowed() {
  static const AllowedSet set = makeSet("-._~!$&'()*+,;=:@/?");
  return set;
}

const PercentEncoding::AllowedSet& PercentEncoding::pathAllowed() {
  static const AllowedSet set = makeSet("-._~!$&'()*+,=:@/");
  return set;
}

const PercentEncoding::AllowedSet& PercentEncoding::hostAllowed() {
  static const AllowedSet set = makeSet("-._~!$&'()*+,;=:[]");
  return set;
}

const PercentEncoding::AllowedSet& PercentEncoding::fragmentAllowed() {
  static const AllowedSet set = makeSet("-._~!$&'()*+,;=:@/?");
  return set;
}

std::string PercentEncoding::encode(std::string_view text, const AllowedSet& allowed) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (allowed.contains(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    }
  }
  return out;
}

std::optional<std::string> PercentEncoding::decode(std::string_view text) {
  std::string out;
  if (!decode(text, out)) return std::nullopt;
  return out;
}

bool PercentEncoding::decode(std::string_view text, std::string& out) {
  std::size_t percent = text.find('%');
  if (percent == std::string_view::npos) {
    if (!isValidUTF8(text)) return false;
    out.assign(text);
    return true;
  }
  // Decoded in place in a copy of the text, which is never shorter than its decoding.
  // Runs between escapes are short in practice, so bytes are moved one at a time rather
  // than searched for.
  out.assign(text);
  char* const begin = out.data();
  char* to = begin + percent;
  const char* from = to;
  const char* const end = begin + out.size();
  while (from != end) {
    if (*from != '%') {
      *to++ = *from++;
      continue;
    }
    if (end - from < 3) return false;
    const int high = hexValue(from[1]);
    const int low = hexValue(from[2]);
    if (high < 0 || low < 0) return false;
    *to++ = static_cast<char>(high * 16 + low);
    from += 3;
  }
  out.resize(static_cast<std::size_t>(to - begin));
  return isValidUTF8(out);
}

bool PercentEncoding::isValidUTF8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    // ASCII eight bytes at a time.
    while (n - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & 0x8080808080808080ull) != 0) break;
      i += 8;
    }
    if (i >= n) break;
    auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      if (b0 == 0xE0) low = 0xA0;   // no overlong forms
      if (b0 == 0xED) high = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      if (b0 == 0xF0) low = 0x90;   // no overlong forms
      if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (n - i < length) return false;
    auto b1 = static_cast<unsigned char>(text[i + 1]);
    if (b1 < low || b1 > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      auto b = static_cast<unsigned char>(text[i + k]);
      if (b < 0x80 || b > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace platform
