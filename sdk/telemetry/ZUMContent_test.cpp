#include "sdk/telemetry/ZUMContent.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unicode/uniset.h>

#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/telemetry/ZUMCharacterSets.h"
#include "sdk/telemetry/ZUMTelemetry.h"
#include "testing/TestEnvironment.h"

namespace {

using Tokens = std::vector<std::string>;
using ZUMContentTest = testenv::PlatformTest;

// Expected values come from an independent implementation of the same algorithm.
TEST_F(ZUMContentTest, TokensFingerprintAndScoreAcrossScripts) {
  const struct {
    const char* text;
    Tokens tokens;
    const char* fingerprint;
    std::int64_t score;  // walk 1
  } rows[] = {
      {"Hello, World!", {"hello", "world"}, "8z44Ug==", 14},
      // Ideographs are tokens of their own; a word glued to them stays a word.
      {"abc日本", {"abc", "日", "本"}, "", 1},
      // Beyond the basic plane: two units in neither set, so a break, even in a listed range.
      {"ab😀cd 𠀀ef", {"ab", "cd", "ef"}, "uKvJwA==", 12},
      {"Ça été très élégant, naïve café crème brûlée",
       {"ça", "été", "très", "élégant", "naïve", "café", "crème", "brûlée"},
       "R_0ZUJvhiPBiY7hN",
       45},
      {"Съешь же ещё этих мягких французских булок, да выпей чаю",
       {"съешь", "же", "ещё", "этих", "мягких", "французских", "булок", "да", "выпей", "чаю"},
       "FSEhEd3JxR4tggOm0Ns6dfRK9qg=",
       57},
      {"我们今天去公园散步吧天气很好",
       {"我", "们", "今", "天", "去", "公", "园", "散", "步", "吧", "天", "气", "很", "好"},
       "-OO3kr8BVIOUc0g1S3ZozAaKbjFDFtKDOMiKW7BbrLuxpQvK",
       15},
      // The variation selector after the sun is a mark, so a word of its own.
      {"Good 👍🏽 morning ☀️ friends 🎉 all",
       {"good", "morning", "\uFE0F", "friends", "all"},
       "RKl2Mg==",
       36},
      // Digits make up words; each hangul jamo is a token.
      {"Gate 42 ᄀᄂ and more", {"gate", "42", "ᄀ", "ᄂ", "and", "more"}, "SNvKSQ==", 20},
      {"カタカナとひらがな한국어",
       {"カ", "タ", "カ", "ナ", "と", "ひ", "ら", "が", "な", "한", "국", "어"},
       "HVVk7O7Cvcjp_xE1JMNiEses-CWiFdX6is9ukQ==",
       13},
  };
  for (const auto& row : rows) {
    auto content = ZUMContent::create(1);
    EXPECT_EQ(content->tokensOfParagraph(row.text), row.tokens) << row.text;
    content->updateContentWithText(row.text);
    EXPECT_EQ(content->fingerprint(), row.fingerprint) << row.text;
    EXPECT_EQ(content->score(), row.score) << row.text;
  }
  EXPECT_EQ(ZUMContent::reducedTokenHash("hello"), 0x2489fa48u);
  EXPECT_EQ(ZUMContent::reducedTokenHash("world"), 0x3b953cfbu);
}

TEST_F(ZUMContentTest, ShortLinesGiveNoFingerprintAndTheAgeScore) {
  auto content = ZUMContent::create(7);
  content->updateContentWithText("short\nlines\nonly");
  EXPECT_EQ(content->fingerprint(), "");
  EXPECT_EQ(content->score(), 7);
  content->updateContentWithText("");
  EXPECT_EQ(content->score(), 7);
}

TEST_F(ZUMContentTest, OnlyTextThatRaisesTheScoreAddsShingles) {
  auto content = ZUMContent::create(2);
  content->updateContentWithText("Hello, World!");
  content->updateContentWithText("tiny");  // no paragraph: the score stays, nothing is added
  EXPECT_EQ(content->score(), 15);
  EXPECT_EQ(content->keptShingles().size(), 1u);
  content->updateContentWithText("abc def\nghi");
  EXPECT_EQ(content->score(), 22);
  ASSERT_EQ(content->keptShingles().size(), 2u);
  EXPECT_EQ(content->keptShingles()[0].shingle(), (Tokens{"abc", "def"}));
}

TEST_F(ZUMContentTest, SettingsFromTheDefaultsAndGuards) {
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_TRUE(defaults.setObject("2", kZUMMaximumShingleCountKey));
  defaults.setInteger(3, kZUMShingleLengthKey);
  defaults.setInteger(3, kZUMContentLengthWeightKey);
  defaults.setInteger(-2, kZUMContentAgeWeightKey);
  defaults.setInteger(10, kZUMMinimumParagraphLengthKey);
  auto content = ZUMContent::create(5);
  content->updateContentWithText("Съешь же ещё этих мягких французских булок, да выпей чаю\nshort one");
  EXPECT_EQ(content->fingerprint(), "Rua8YPByPS0=");
  EXPECT_EQ(content->score(), 3 * 56 - 2 * 5);

  defaults.setInteger(0, kZUMShingleLengthKey);
  defaults.setInteger(-1, kZUMMaximumShingleCountKey);
  defaults.setInteger(-1, kZUMMinimumParagraphLengthKey);
  auto guarded = ZUMContent::create(1);
  EXPECT_EQ(guarded->shingleLength(), 6u);
  EXPECT_EQ(guarded->maximumShingleCount(), 10u);
  EXPECT_EQ(guarded->minimumParagraphLength(), 6u);
}

// The heap keeps the highest-ranked shingles, longest first: its drop check ranks the
// same way, so a full-length shingle is not refused because a short one hashes higher.
TEST_F(ZUMContentTest, HeapKeepsTheHighestRankedShingles) {
  platform::UserDefaults::standard().setInteger(2, kZUMMaximumShingleCountKey);
  platform::UserDefaults::standard().setInteger(3, kZUMShingleLengthKey);
  auto content = ZUMContent::create(1);
  const std::string a[] = {"a", "b", "c"}, b[] = {"x", "y", "z"}, c[] = {"p", "q", "r"};
  content->updateHeapWithHash(900, a, 2);
  content->updateHeapWithHash(500, b, 3);
  content->updateHeapWithHash(800, c, 3);  // the short shingle goes, not this one
  content->updateHeapWithHash(800, a, 3);  // equal rank: already contained
  content->updateHeapWithHash(400, a, 3);  // below the least kept
  content->updateHeapWithHash(950, a, 2);  // short: ranks below every full one
  const auto kept = content->keptShingles();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].hashValue(), 500u);
  EXPECT_EQ(kept[1].hashValue(), 800u);
  EXPECT_EQ(kept[1].shingle(), (Tokens{"p", "q", "r"}));

  // More than K full shingles of one paragraph: the K highest hashes stay.
  auto full = ZUMContent::create(1);
  full->updateContentWithText("one two three four five six seven");
  const auto shingles = full->keptShingles();
  ASSERT_EQ(shingles.size(), 2u);
  for (const auto& tuple : shingles) EXPECT_EQ(tuple.shingle().size(), 3u);
  EXPECT_EQ(full->fingerprint(), "lWhhsZMIPGs=");
}

TEST_F(ZUMContentTest, HostileTextIsBoundedAndRepaired) {
  platform::SystemLog::Capture capture(true);
  auto content = ZUMContent::create(1);
  EXPECT_EQ(content->tokensOfParagraph("caf\xff\xfe"
                                       "e ab\xc3"),
            (Tokens{"caf", "e", "ab"}));
  content->updateContentWithText(std::string(kZUMContentMaximumTextLength - 8, '\n'));
  env.runUntilIdle();
  EXPECT_TRUE(capture.lines().empty()) << "nothing dropped yet";
  content->updateContentWithText("abcdefghij klmnop qrstuvwxyz");  // cut to its first eight units
  content->updateContentWithText("nothing more is read");
  content->updateContentWithText("nor this");
  env.runUntilIdle();
  EXPECT_EQ(capture.messages(),
            std::vector<std::string>{"Content text beyond 1048576 characters in one walk is not fingerprinted."});
  EXPECT_EQ(content->contentTotalLength(), 8u);
  ASSERT_EQ(content->keptShingles().size(), 1u);
  EXPECT_EQ(content->keptShingles()[0].shingle(), Tokens{"abcdefgh"});
}

TEST_F(ZUMContentTest, RangeListsReplaceTheSetsOrFallBack) {
  auto& defaults = platform::UserDefaults::standard();
  auto sets = ZUMCharacterSets::create();
  env.runUntilIdle();
  EXPECT_EQ(sets->characterDelimitedSet()->size(), ZUMCharacterSets::builtInCharacterDelimitedSet()->size());

  EXPECT_TRUE(defaults.setObject("[[97, 3], [-5, 6], [1114100, 1e300]]", kZUMCharacterDelimitedUnicodeRangeKey));
  EXPECT_TRUE(defaults.setObject("[[48, 10], [65, \"26\"]]", kZUMSpaceDelimitedUnicodeRangeKey));
  sets->updateCharacterSets();
  const auto characterDelimited = sets->characterDelimitedSet();
  EXPECT_TRUE(characterDelimited->contains(u'a') && characterDelimited->contains(u'c'));
  EXPECT_FALSE(characterDelimited->contains(u'd'));
  EXPECT_TRUE(characterDelimited->contains(0) && characterDelimited->contains(0x10FFFF));
  EXPECT_EQ(characterDelimited->size(), 3 + 1 + 12);
  EXPECT_EQ(sets->spaceDelimitedSet(), ZUMCharacterSets::builtInSpaceDelimitedSet());

  auto content = ZUMContent::create(1, sets);
  EXPECT_EQ(content->tokensOfParagraph("xabyé"), (Tokens{"x", "a", "b", "yé"}));

  // A list stored as an array rather than as its text.
  defaults.removeObjectForKey(kZUMCharacterDelimitedUnicodeRangeKey);
  EXPECT_TRUE(defaults.setObject(nlohmann::ordered_json::array({nlohmann::ordered_json::array({48, 10})}),
                                 kZUMSpaceDelimitedUnicodeRangeKey));
  sets->updateCharacterSets();
  EXPECT_EQ(sets->spaceDelimitedSet()->size(), 10);

  // Ranges wholly outside Unicode add nothing.
  EXPECT_TRUE(defaults.setObject("[[2000000, 5], [-10, 3], [65, 0]]", kZUMSpaceDelimitedUnicodeRangeKey));
  sets->updateCharacterSets();
  EXPECT_TRUE(sets->spaceDelimitedSet()->isEmpty());
  EXPECT_EQ(sets->characterDelimitedSet(), characterDelimited) << "an absent list leaves the set";
  platform::SystemLog::Capture capture(true);
  for (const char* invalid : {"{\"a\": 1}", "[[1, 2, 3]]", "[[1]]", "not json", "[[true, 1]]"}) {
    EXPECT_TRUE(defaults.setObject(invalid, kZUMCharacterDelimitedUnicodeRangeKey));
    sets->updateCharacterSets();
    EXPECT_EQ(sets->characterDelimitedSet(), ZUMCharacterSets::builtInCharacterDelimitedSet()) << invalid;
  }
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Invalid Unicode range list under /vantor/ads/character_delimited_unicode_range"));
}

TEST_F(ZUMContentTest, ADeliveredRangeListCutsTheNextWalkNotTheOneUnderWay) {
  ZUMRegisterTelemetry();
  auto underWay = ZUMContent::create(1);
  EXPECT_EQ(underWay->tokensOfParagraph("xab"), Tokens{"xab"});
  ZUMApplySDKConstants({{"character_delimited_unicode_range", "[[97, 1]]"}}, ZUMSDKConstantsTargets::registered());
  env.runUntilIdle();
  EXPECT_EQ(underWay->tokensOfParagraph("xab"), Tokens{"xab"});
  EXPECT_EQ(ZUMContent::create(2)->tokensOfParagraph("xab"), (Tokens{"x", "a", "b"}));
}

}  // namespace
