// How text is cut into tokens for the content fingerprint: every member of the
// character-delimited set is a token by itself (ideographic scripts); members of the
// space-delimited set make up words; every other character ends a word.
//
// Both sets come from the server's range lists in the user defaults (JSON text, an
// array of [start, length] pairs), or are the built-in ones: 18 ranges of ideographs,
// kana and hangul, and the alphanumeric set (letters, marks and numbers).
//
// Thread-safe: the sets live on the serial queue "com.vantor.morvane.character-sets",
// replaced asynchronously and read synchronously. A read hands out an immutable, frozen
// set, so the caller may use it on any thread for as long as it likes.
#pragma once

#include <memory>

#include <nlohmann/json_fwd.hpp>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class UnicodeSet;
U_NAMESPACE_END

namespace platform {
class DispatchQueue;
}

inline constexpr const char* kZUMCharacterDelimitedUnicodeRangeKey = "/vantor/ads/character_delimited_unicode_range";
inline constexpr const char* kZUMSpaceDelimitedUnicodeRangeKey = "/vantor/ads/space_delimited_unicode_range";

class ZUMCharacterSets : public std::enable_shared_from_this<ZUMCharacterSets> {
 public:
  using CharacterSet = std::shared_ptr<const icu::UnicodeSet>;

  // The process-wide instance, made once; the SDK-core controller's constant deliveries
  // update it (ZUMRegisterTelemetry registers that).
  static std::shared_ptr<ZUMCharacterSets> sharedInstance();
  // A separate instance with the sets of the present user defaults.
  static std::shared_ptr<ZUMCharacterSets> create();

  CharacterSet characterDelimitedSet() const;
  CharacterSet spaceDelimitedSet() const;

  // Reads both range lists now; then, on the lock queue, a present list replaces its set
  // by its parsed form, or by the built-in set when it does not parse; an absent list
  // leaves the set as it is.
  void updateCharacterSets();

  // The set of a range list, nullptr when the value is not an array of [number, number]
  // pairs. Ranges run from start over length code points, clipped to Unicode.
  static CharacterSet setFromRangeList(const nlohmann::json& list);
  static CharacterSet builtInCharacterDelimitedSet();
  static CharacterSet builtInSpaceDelimitedSet();

 private:
  ZUMCharacterSets();

  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  // Read and written only on lockQueue_.
  CharacterSet characterDelimitedSet_;
  CharacterSet spaceDelimitedSet_;
};
