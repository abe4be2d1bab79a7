#include "sdk/telemetry/ZUMCharacterSets.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>
#include <unicode/uniset.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"

namespace {

using CharacterSet = ZUMCharacterSets::CharacterSet;

CharacterSet frozen(std::unique_ptr<icu::UnicodeSet> set) {
  set->freeze();  // immutable, and fast to ask
  return CharacterSet(std::move(set));
}

// Integer part of a server number, kept in a range where the sums below stay exact.
double bounded(double value) { return std::clamp(std::trunc(value), -double(1ull << 40), double(1ull << 40)); }

// What a present user-defaults value makes of a set: its parsed form, else the built-in.
CharacterSet setFromStoredValue(const nlohmann::ordered_json& stored, const char* key, CharacterSet builtIn) {
  std::optional<nlohmann::json> list;
  if (stored.is_string()) {
    nlohmann::json parsed = nlohmann::json::parse(stored.get_ref<const std::string&>(), nullptr, false);
    if (!parsed.is_discarded()) list = std::move(parsed);
  } else {
    list = nlohmann::json::parse(stored.dump());
  }
  if (list) {
    if (auto set = ZUMCharacterSets::setFromRangeList(*list)) return set;
  }
  ZUMLog(kZUMLogLevelDefault, std::string("Invalid Unicode range list under ") + key + "; using the built-in set.");
  return builtIn;
}

}  // namespace

std::shared_ptr<ZUMCharacterSets> ZUMCharacterSets::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMCharacterSets>([] { return create(); });
  return shared->get();
}

std::shared_ptr<ZUMCharacterSets> ZUMCharacterSets::create() {
  auto sets = std::shared_ptr<ZUMCharacterSets>(new ZUMCharacterSets());
  sets->updateCharacterSets();
  return sets;
}

ZUMCharacterSets::ZUMCharacterSets() : lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.character-sets")) {}

ZUMCharacterSets::CharacterSet ZUMCharacterSets::characterDelimitedSet() const {
  CharacterSet set;
  lockQueue_->sync([&] { set = characterDelimitedSet_; });
  return set;
}

ZUMCharacterSets::CharacterSet ZUMCharacterSets::spaceDelimitedSet() const {
  CharacterSet set;
  lockQueue_->sync([&] { set = spaceDelimitedSet_; });
  return set;
}

void ZUMCharacterSets::updateCharacterSets() {
  auto& defaults = platform::UserDefaults::standard();
  auto characterDelimited = defaults.objectForKey(kZUMCharacterDelimitedUnicodeRangeKey);
  auto spaceDelimited = defaults.objectForKey(kZUMSpaceDelimitedUnicodeRangeKey);
  lockQueue_->async([this, self = shared_from_this(), characterDelimited = std::move(characterDelimited),
                     spaceDelimited = std::move(spaceDelimited)] {
    if (characterDelimited) {
      characterDelimitedSet_ = setFromStoredValue(*characterDelimited, kZUMCharacterDelimitedUnicodeRangeKey,
                                                  builtInCharacterDelimitedSet());
    } else if (!characterDelimitedSet_) {
      characterDelimitedSet_ = builtInCharacterDelimitedSet();
    }
    if (spaceDelimited) {
      spaceDelimitedSet_ =
          setFromStoredValue(*spaceDelimited, kZUMSpaceDelimitedUnicodeRangeKey, builtInSpaceDelimitedSet());
    } else if (!spaceDelimitedSet_) {
      spaceDelimitedSet_ = builtInSpaceDelimitedSet();
    }
  });
}

ZUMCharacterSets::CharacterSet ZUMCharacterSets::setFromRangeList(const nlohmann::json& list) {
  if (!list.is_array()) return nullptr;
  auto set = std::make_unique<icu::UnicodeSet>();
  for (const auto& pair : list) {
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number() || !pair[1].is_number()) return nullptr;
    const double start = bounded(pair[0].get<double>());
    const double end = start + bounded(pair[1].get<double>()) - 1;
    // Clipped to Unicode before any conversion to an integer.
    if (end < std::max(start, 0.0) || start > 0x10FFFF) continue;
    set->add(static_cast<UChar32>(std::max(start, 0.0)), static_cast<UChar32>(std::min(end, double(0x10FFFF))));
  }
  return frozen(std::move(set));
}

ZUMCharacterSets::CharacterSet ZUMCharacterSets::builtInCharacterDelimitedSet() {
  static const CharacterSet set = [] {
    static constexpr std::pair<UChar32, UChar32> kRanges[] = {
        {0x4E00, 0x51CD}, {0x3400, 0x19B6}, {0x20000, 0xA6D7}, {0x3300, 0x100}, {0xF900, 0x200},  {0x2F800, 0x220},
        {0x3100, 0x30},   {0x31A0, 0x20},   {0x3040, 0x60},    {0x30A0, 0x5B},  {0x30FC, 4},      {0x3200, 0x100},
        {0xFF66, 0x38},   {0xFFA1, 0x3C},   {0x1B000, 0x100},  {0x31F0, 0x10},  {0xAC00, 0x2BB0}, {0x1100, 0x100},
    };
    auto built = std::make_unique<icu::UnicodeSet>();
    for (auto [start, length] : kRanges) built->add(start, start + length - 1);
    return frozen(std::move(built));
  }();
  return set;
}

ZUMCharacterSets::CharacterSet ZUMCharacterSets::builtInSpaceDelimitedSet() {
  static const CharacterSet set = [] {
    UErrorCode status = U_ZERO_ERROR;
    // Letters, marks and numbers: the platform's alphanumeric set.
    auto built = std::make_unique<icu::UnicodeSet>(icu::UnicodeString(u"[[:L:][:M:][:N:]]"), status);
    return frozen(std::move(built));
  }();
  return set;
}
