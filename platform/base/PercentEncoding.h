// Percent-encoding of text for URLs, as the platform's string functions do it: the text
// is taken as UTF-8 bytes, and every byte outside an allowed set becomes "%XX" (upper-
// case hex). Decoding reports failure on a bad escape or on a result that is not UTF-8.
// Stateless; use from any thread.
//
//   PercentEncoding::encode("a b&c", PercentEncoding::queryAllowed())  // "a%20b&c"
//   PercentEncoding::decode("%E2%82%AC")                               // "€"
//   PercentEncoding::decode("%zz")                                     // std::nullopt
#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class PercentEncoding {
 public:
  // A set of ASCII characters that stay as they are. Bytes above 0x7F are never in it.
  class AllowedSet {
   public:
    AllowedSet() = default;
    explicit AllowedSet(std::string_view characters) { add(characters); }

    bool contains(unsigned char c) const { return c < 128 && bits_.test(c); }
    // Copies with the given characters added or removed.
    AllowedSet adding(std::string_view characters) const;
    AllowedSet removing(std::string_view characters) const;

   private:
    void add(std::string_view characters);
    std::bitset<128> bits_;
  };

  // The platform's sets. Each holds the ASCII letters and digits and:
  static const AllowedSet& alphanumerics();    // nothing else
  static const AllowedSet& queryAllowed();     // -._~ !$&'()*+,;= :@ /?
  static const AllowedSet& pathAllowed();      // -._~ !$&'()*+,= :@ /
  static const AllowedSet& hostAllowed();      // -._~ !$&'()*+,;= : []
  static const AllowedSet& fragmentAllowed();  // -._~ !$&'()*+,;= :@ /?

  // `text` with every byte not in `allowed` written as "%XX".
  static std::string encode(std::string_view text, const AllowedSet& allowed);
  // `text` with every "%XX" replaced by its byte; std::nullopt when a "%" is not
  // followed by two hex digits or when the result is not valid UTF-8.
  [[nodiscard]] static std::optional<std::string> decode(std::string_view text);
  // The same into `out` (replacing what it held, its storage reused); false where
  // decode() gives std::nullopt, `out` then unspecified.
  [[nodiscard]] static bool decode(std::string_view text, std::string& out);
  // Whether `text` is valid UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
  static bool isValidUTF8(std::string_view text);
};

}  // namespace platform
