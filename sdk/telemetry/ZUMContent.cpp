#include "sdk/telemetry/ZUMContent.h"

#include <algorithm>
#include <bitset>
#include <climits>
#include <mutex>
#include <utility>

#include <unicode/locid.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include "platform/base/Digest.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/foundation/ZUM_HVRStringEncoding.h"
#include "sdk/telemetry/ZUMCharacterSets.h"
#include "sdk/telemetry/ZUMMurmurHash3.h"

namespace {

icu::UnicodeString unicode(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX))));
}

// UTF-8 of UTF-16 units; a lone surrogate becomes U+FFFD.
std::string utf8(const char16_t* units, int32_t length) {
  std::string result;
  if (std::all_of(units, units + length, [](char16_t unit) { return unit < 0x80; })) {
    result.assign(units, units + length);
    return result;
  }
  result.resize(static_cast<std::size_t>(length) * 3);
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &written, units, length, 0xFFFD, nullptr,
                     &status);
  result.resize(U_SUCCESS(status) ? static_cast<std::size_t>(written) : 0);
  return result;
}

}  // namespace

// Which UTF-16 units are tokens by themselves and which make up words: the sets' answers
// for the whole basic plane, read once per set instead of once per unit.
struct ZUMContent::UnitClasses {
  ZUMCharacterSets::CharacterSet characterDelimitedSet, spaceDelimitedSet;
  std::bitset<0x10000> characterDelimited, spaceDelimited;

  UnitClasses(ZUMCharacterSets::CharacterSet characterSet, ZUMCharacterSets::CharacterSet spaceSet)
      : characterDelimitedSet(std::move(characterSet)), spaceDelimitedSet(std::move(spaceSet)) {
    fill(*characterDelimitedSet, characterDelimited);
    fill(*spaceDelimitedSet, spaceDelimited);
  }
  static void fill(const icu::UnicodeSet& set, std::bitset<0x10000>& bits) {
    for (int32_t i = 0; i < set.getRangeCount(); ++i) {
      for (UChar32 c = set.getRangeStart(i); c <= set.getRangeEnd(i) && c < 0x10000; ++c) bits.set(c);
    }
  }
};

namespace {

// The tokens of a lowercased paragraph, one UTF-16 unit at a time: a character-delimited
// unit is a token by itself, space-delimited units make up words, anything else ends a word.
std::vector<std::string> tokenize(const icu::UnicodeString& paragraph, const std::bitset<0x10000>& characterDelimited,
                                  const std::bitset<0x10000>& spaceDelimited) {
  std::vector<std::string> tokens;
  const char16_t* units = paragraph.getBuffer();
  const int32_t length = paragraph.length();
  int32_t wordStart = -1;
  auto endWord = [&](int32_t end) {
    if (wordStart >= 0) tokens.push_back(utf8(units + wordStart, end - wordStart));
    wordStart = -1;
  };
  for (int32_t i = 0; i < length; ++i) {
    const char16_t unit = units[i];
    if (characterDelimited[unit]) {
      endWord(i);
      tokens.push_back(utf8(units + i, 1));
    } else if (spaceDelimited[unit]) {
      if (wordStart < 0) wordStart = i;
    } else {
      endWord(i);
    }
  }
  endWord(length);
  return tokens;
}

const icu::Locale& englishUS() {
  static const icu::Locale locale("en_US");
  return locale;
}

// A user-defaults integer that is not negative.
std::optional<std::uint64_t> countSetting(const char* key) {
  const auto value = ZUMUserDefaults::integerForKey(key);
  if (!value || *value < 0) return std::nullopt;
  return static_cast<std::uint64_t>(*value);
}

}  // namespace

std::shared_ptr<ZUMContent> ZUMContent::create(std::uint64_t sequenceNumber,
                                               std::shared_ptr<ZUMCharacterSets> characterSets) {
  if (!characterSets) characterSets = ZUMCharacterSets::sharedInstance();
  return std::shared_ptr<ZUMContent>(new ZUMContent(sequenceNumber, std::move(characterSets)));
}

ZUMContent::~ZUMContent() = default;

const ZUMContent::UnitClasses& ZUMContent::unitClasses() const {
  // A walk cuts all its text with one pair of sets: new ranges delivered meanwhile take
  // effect at the next walk's content.
  if (unitClasses_) return *unitClasses_;
  auto characterDelimited = characterSets_->characterDelimitedSet();
  auto spaceDelimited = characterSets_->spaceDelimitedSet();
  // The sets change only with the server's constants: every walk until they change
  // shares one table.
  static std::mutex mutex;
  static std::shared_ptr<const UnitClasses> last;
  std::lock_guard lock(mutex);
  if (!last || last->characterDelimitedSet != characterDelimited || last->spaceDelimitedSet != spaceDelimited) {
    last = std::make_shared<const UnitClasses>(characterDelimited, spaceDelimited);
  }
  unitClasses_ = last;
  return *unitClasses_;
}

ZUMContent::ZUMContent(std::uint64_t sequenceNumber, std::shared_ptr<ZUMCharacterSets> characterSets)
    : characterSets_(std::move(characterSets)),
      heap_([](const ZUMShingleHashTuple& a, const ZUMShingleHashTuple& b) {
        return ZUMShingleHashTuple::compare(a, b);
      }),
      sequenceNumber_(sequenceNumber) {
  contentAgeWeight_ = ZUMUserDefaults::integerForKey(kZUMContentAgeWeightKey).value_or(contentAgeWeight_);
  contentLengthWeight_ = ZUMUserDefaults::integerForKey(kZUMContentLengthWeightKey).value_or(contentLengthWeight_);
  maximumShingleCount_ = countSetting(kZUMMaximumShingleCountKey).value_or(maximumShingleCount_);
  minimumParagraphLength_ = countSetting(kZUMMinimumParagraphLengthKey).value_or(minimumParagraphLength_);
  // A shingle needs at least one token.
  if (auto length = countSetting(kZUMShingleLengthKey); length && *length >= 1) shingleLength_ = *length;
}

void ZUMContent::updateContentWithText(std::string_view text) {
  if (text.empty()) return;
  if (textBudget_ == 0) {
    logDroppedText();
    return;
  }
  // At most three UTF-8 bytes make one UTF-16 unit, so this keeps every unit of the budget.
  if (text.size() > 3 * textBudget_) text = text.substr(0, 3 * textBudget_);
  icu::UnicodeString units = unicode(text);
  if (static_cast<std::uint64_t>(units.length()) > textBudget_) {
    units.truncate(static_cast<int32_t>(textBudget_));
    logDroppedText();
  }
  textBudget_ -= static_cast<std::uint64_t>(units.length());

  std::vector<icu::UnicodeString> paragraphs;
  for (int32_t start = 0; start <= units.length();) {
    int32_t end = units.indexOf(u'\n', start);
    if (end < 0) end = units.length();
    const auto length = static_cast<std::uint64_t>(end - start);
    if (length >= minimumParagraphLength_) {
      paragraphs.emplace_back(units, start, end - start);
      contentTotalLength_ += length;
    }
    start = end + 1;
  }

  // Unsigned arithmetic: the weights come from the server and may wrap, never trap.
  const std::uint64_t candidate = static_cast<std::uint64_t>(contentLengthWeight_) * contentTotalLength_ +
                                  static_cast<std::uint64_t>(contentAgeWeight_) * sequenceNumber_;
  if (candidate <= static_cast<std::uint64_t>(score_)) return;
  score_ = static_cast<std::int64_t>(candidate);

  const UnitClasses& classes = unitClasses();
  for (auto& paragraph : paragraphs) {
    paragraph.toLower(englishUS());
    selectShinglesFromTokens(tokenize(paragraph, classes.characterDelimited, classes.spaceDelimited));
  }
  fingerprint_ = shingleHash();
}

void ZUMContent::logDroppedText() {
  if (std::exchange(droppedTextLogged_, true)) return;
  ZUMLog(kZUMLogLevelDefault, "Content text beyond " + std::to_string(kZUMContentMaximumTextLength) +
                                  " characters in one walk is not fingerprinted.");
}

std::vector<std::string> ZUMContent::tokensOfParagraph(std::string_view paragraph) const {
  icu::UnicodeString units = unicode(paragraph);
  units.toLower(englishUS());
  const UnitClasses& classes = unitClasses();
  return tokenize(units, classes.characterDelimited, classes.spaceDelimited);
}

std::uint64_t ZUMContent::reducedTokenHash(std::string_view token) {
  const auto signedHash = static_cast<std::int32_t>(ZUMMurmurHash3_x86_32(token));
  return (0x7FFFFFFFull + static_cast<std::uint64_t>(static_cast<std::int64_t>(signedHash))) % kModulus;
}

void ZUMContent::selectShinglesFromTokens(const std::vector<std::string>& tokens) {
  const std::size_t n = tokens.size();
  if (n == 0) return;
  // Each token's hash once, for the first shingle and for entering and leaving the window.
  std::vector<std::uint64_t> hashes(n);
  std::transform(tokens.begin(), tokens.end(), hashes.begin(), reducedTokenHash);
  const std::size_t k = std::min<std::uint64_t>(n, shingleLength_);
  std::uint64_t hash = hashes[0];
  for (std::size_t i = 1; i < k; ++i) {
    hash = hash * kBase % kModulus;
    hash = (hash + hashes[i]) % kModulus;
  }
  updateHeapWithHash(hash, tokens.data(), k);
  if (n > shingleLength_) rollHashes(tokens, hashes, hash);
}

void ZUMContent::rollHashes(const std::vector<std::string>& tokens, const std::vector<std::uint64_t>& hashes,
                            std::uint64_t baseHash) {
  const std::uint64_t length = shingleLength_;
  const std::size_t n = tokens.size();
  if (n < length) return;
  // B^(L-1) mod M by repeated squaring.
  std::uint64_t power = 1;
  for (std::uint64_t base = kBase, exponent = length - 1; exponent > 0; exponent >>= 1) {
    if (exponent & 1) power = power * base % kModulus;
    base = base * base % kModulus;
  }
  std::uint64_t hash = baseHash;
  for (std::size_t i = 0; i + length < n; ++i) {
    const std::uint64_t leaving = power * hashes[i] % kModulus;
    hash = (hash + kModulus - leaving) % kModulus * kBase % kModulus;
    hash = (hash + hashes[i + length]) % kModulus;
    updateHeapWithHash(hash, tokens.data() + i + 1, length);
  }
}

void ZUMContent::updateHeapWithHash(std::uint64_t hash, const std::string* first, std::size_t count) {
  if (maximumShingleCount_ == 0) return;
  // The drop check ranks as the heap does (length, then hash), so a full-length shingle
  // is never dropped in favour of a shorter one already kept.
  if (heap_.count() >= maximumShingleCount_) {
    const auto least = heap_.minimum();
    if (ZUMShingleHashTuple::compare(least->shingle().size(), least->hashValue(), count, hash) >= 0) return;
  }
  ZUMShingleHashTuple tuple(std::vector<std::string>(first, first + count), hash);
  if (heap_.containsObject(tuple)) return;
  heap_.addObject(std::move(tuple));
  if (heap_.count() > maximumShingleCount_) heap_.removedMinimum();
}

std::string ZUMContent::shingleHash() const {
  const auto tuples = heap_.sortedObjects();
  if (!tuples) return "";
  std::string buffer;
  buffer.reserve(4 * tuples->size());
  for (const auto& tuple : *tuples) {
    std::string bytes;
    bytes.reserve(tuple.shingle().size());
    for (const auto& token : tuple.shingle()) {
      const std::uint32_t m = ZUMMurmurHash3_x86_32(token);
      bytes += static_cast<char>((m ^ m >> 8 ^ m >> 16 ^ m >> 24) & 0xFF);
    }
    const auto digest = platform::md5(bytes);
    buffer.append(reinterpret_cast<const char*>(digest.data()), 4);
  }
  return ZUM_HVRStringEncoding::rfc4648Base64WebsafeStringEncoding().encode(buffer);
}

std::vector<ZUMShingleHashTuple> ZUMContent::keptShingles() const {
  return heap_.sortedObjects().value_or(std::vector<ZUMShingleHashTuple>{});
}
