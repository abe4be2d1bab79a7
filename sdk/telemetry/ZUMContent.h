// The fingerprint of the text found in one walk of the host's screen: the text is cut
// into paragraphs (lines of at least minimumParagraphLength UTF-16 units), each paragraph
// lowercased and cut into tokens (ZUMCharacterSets), the tokens into shingles of
// shingleLength consecutive tokens hashed with a rolling hash, and the
// maximumShingleCount best shingles kept. The fingerprint is web-safe base64 of the
// first four MD5 bytes of each kept shingle. The score grows with the text's length and
// the walk's number; a request that uses the fingerprint lowers it.
//
// A content tokenizes with the character sets of its first paragraph for its whole life,
// so a walk never mixes the sets of two deliveries.
//
// A content does a bounded amount of work: after kZUMContentMaximumTextLength UTF-16
// units in all, further text is ignored (with one log line). Text that is not valid
// UTF-8 is read with replacement characters.
//
// Not thread-safe: the content-hashing queue owns every content (ZUMContentQueue).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/foundation/ZUMBinaryHeap.h"
#include "sdk/telemetry/ZUMShingleHashTuple.h"

class ZUMCharacterSets;

inline constexpr std::uint64_t kZUMContentMaximumTextLength = 1 << 20;

// Settings read from the user defaults when a content is made.
inline constexpr const char* kZUMContentAgeWeightKey = "/vantor/ads/content_age_weight";
inline constexpr const char* kZUMContentLengthWeightKey = "/vantor/ads/content_length_weight";
inline constexpr const char* kZUMMaximumShingleCountKey = "/vantor/ads/maximum_shingle_count";
inline constexpr const char* kZUMMinimumParagraphLengthKey = "/vantor/ads/minimum_paragraph_length";
inline constexpr const char* kZUMShingleLengthKey = "/vantor/ads/shingle_length";

class ZUMContent {
 public:
  // The rolling hash's base and modulus.
  static constexpr std::uint64_t kBase = 0x1001FFF;
  static constexpr std::uint64_t kModulus = 0x4000FFFF;

  // A content for walk `sequenceNumber`, with the settings of the user defaults. A
  // negative count or length in the defaults, or a shingle length below 1, is ignored.
  // `characterSets`: nullptr for the shared ones.
  static std::shared_ptr<ZUMContent> create(std::uint64_t sequenceNumber,
                                            std::shared_ptr<ZUMCharacterSets> characterSets = nullptr);
  ~ZUMContent();

  // Adds the text of one view.
  void updateContentWithText(std::string_view text);
  // A request used the fingerprint: the score drops by 100.
  void deductServedPenalty() { score_ -= 100; }

  // "" until a shingle is kept.
  const std::string& fingerprint() const { return fingerprint_; }
  std::int64_t score() const { return score_; }
  std::uint64_t sequenceNumber() const { return sequenceNumber_; }

  // The steps of updateContentWithText, one by one.
  // The tokens of one paragraph (UTF-8), lowercased.
  std::vector<std::string> tokensOfParagraph(std::string_view paragraph) const;
  // h(t): the token's MurmurHash3 read as signed, plus 2^31 - 1, modulo kModulus.
  static std::uint64_t reducedTokenHash(std::string_view token);
  void selectShinglesFromTokens(const std::vector<std::string>& tokens);
  void updateHeapWithHash(std::uint64_t hash, const std::string* first, std::size_t count);
  std::string shingleHash() const;
  // The kept shingles, lowest ranked first.
  std::vector<ZUMShingleHashTuple> keptShingles() const;

  std::int64_t contentAgeWeight() const { return contentAgeWeight_; }
  std::int64_t contentLengthWeight() const { return contentLengthWeight_; }
  std::uint64_t contentTotalLength() const { return contentTotalLength_; }
  std::uint64_t maximumShingleCount() const { return maximumShingleCount_; }
  std::uint64_t minimumParagraphLength() const { return minimumParagraphLength_; }
  std::uint64_t shingleLength() const { return shingleLength_; }

 private:
  ZUMContent(std::uint64_t sequenceNumber, std::shared_ptr<ZUMCharacterSets> characterSets);
  // The class of every UTF-16 unit under the content's character sets, read at its first use.
  struct UnitClasses;
  const UnitClasses& unitClasses() const;
  // The rolling hash over every further shingle of full length.
  void rollHashes(const std::vector<std::string>& tokens, const std::vector<std::uint64_t>& hashes,
                  std::uint64_t baseHash);
  void logDroppedText();

  const std::shared_ptr<ZUMCharacterSets> characterSets_;
  std::int64_t contentAgeWeight_ = 1;
  std::int64_t contentLengthWeight_ = 1;
  std::uint64_t contentTotalLength_ = 0;
  ZUMBinaryHeap<ZUMShingleHashTuple> heap_;
  std::uint64_t maximumShingleCount_ = 10;
  std::uint64_t minimumParagraphLength_ = 6;
  std::uint64_t shingleLength_ = 6;
  std::string fingerprint_;
  std::int64_t score_ = 0;
  const std::uint64_t sequenceNumber_;
  std::uint64_t textBudget_ = kZUMContentMaximumTextLength;  // UTF-16 units still taken
  bool droppedTextLogged_ = false;
  mutable std::shared_ptr<const UnitClasses> unitClasses_;
};
