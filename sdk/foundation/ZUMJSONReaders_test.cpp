#include "sdk/foundation/ZUMJSONReaders.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

namespace {

constexpr auto kNone = std::nullopt;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

// Each row: what the readers answer for one value when strings are read as text
// (ZUMJSONStrings::Read). With strings refused, the default, a string answers none of
// the number and boolean readers and everything else reads the same.
TEST(ZUMJSONReadersTest, EveryKindOfValueReadByEveryReader) {
  const struct {
    const char* name;
    Json value;
    std::optional<bool> asBool;
    std::optional<std::int64_t> asInteger;
    std::optional<double> asDouble;
    std::optional<std::string> asString;
  } rows[] = {
      {"null", nullptr, kNone, kNone, kNone, kNone},
      {"true", true, true, 1, 1.0, kNone},
      {"false", false, false, 0, 0.0, kNone},
      {"integer", -7, true, -7, -7.0, kNone},
      {"zero", 0, false, 0, 0.0, kNone},
      {"unsigned beyond int64", std::numeric_limits<std::uint64_t>::max(), true, kMax, 1.8446744073709552e19, kNone},
      {"fraction", 2.75, true, 2, 2.75, kNone},
      {"negative fraction", -2.75, true, -2, -2.75, kNone},
      {"huge fraction", 1e300, true, kMax, 1e300, kNone},
      {"huge negative fraction", -1e300, true, kMin, -1e300, kNone},
      {"NaN", NAN, kNone, kNone, kNone, kNone},
      {"infinity", kInfinity, kNone, kNone, kNone, kNone},
      {"minus infinity", -kInfinity, kNone, kNone, kNone, kNone},
      {"numeric string", "42", true, 42, 42.0, "42"},
      {"padded signed string", " -3.5", true, -3, -3.5, " -3.5"},
      {"point string", ".5", false, 0, 0.5, ".5"},
      {"number then text", "42abc", true, 42, 42.0, "42abc"},
      {"string one", "1", true, 1, 1.0, "1"},
      {"string zero", "0", false, 0, 0.0, "0"},
      {"string true", "true", true, kNone, kNone, "true"},
      {"string YES", "YES", true, kNone, kNone, "YES"},
      {"string false", "false", false, kNone, kNone, "false"},
      {"word", "abc", false, kNone, kNone, "abc"},
      {"empty string", "", false, kNone, kNone, ""},
      {"lone sign", "-", false, kNone, kNone, "-"},
      {"string nan", "nan", false, kNone, kNone, "nan"},
      {"string overflowing", "1e999", true, 1, kNone, "1e999"},
      {"array", Json::array({1}), kNone, kNone, kNone, kNone},
      {"object", Json::object({{"a", 1}}), kNone, kNone, kNone, kNone},
  };
  constexpr auto kRead = ZUMJSONStrings::Read;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ZUMJSONBool(row.value, kRead), row.asBool);
    EXPECT_EQ(ZUMJSONInteger(row.value, kRead), row.asInteger);
    EXPECT_EQ(ZUMJSONDouble(row.value, kRead), row.asDouble);
    EXPECT_EQ(ZUMJSONString(row.value), row.asString);
    EXPECT_EQ(ZUMJSONArray(row.value) != nullptr, row.value.is_array());
    EXPECT_EQ(ZUMJSONObject(row.value) != nullptr, row.value.is_object());

    // Strings refused: a string is no number and no boolean.
    const bool text = row.value.is_string();
    EXPECT_EQ(ZUMJSONBool(row.value), text ? kNone : row.asBool);
    EXPECT_EQ(ZUMJSONInteger(row.value), text ? kNone : row.asInteger);
    EXPECT_EQ(ZUMJSONDouble(row.value), text ? kNone : row.asDouble);

    // The keyed forms read the same, and answer the default where the value answers none.
    const Json dictionary = {{"k", row.value}};
    EXPECT_EQ(ZUMJSONBoolForKey(dictionary, "k", kRead), row.asBool);
    EXPECT_EQ(ZUMJSONIntegerForKey(dictionary, "k", kRead), row.asInteger);
    EXPECT_EQ(ZUMJSONDoubleForKey(dictionary, "k", kRead), row.asDouble);
    EXPECT_EQ(ZUMJSONDoubleForKey(dictionary, "k"), text ? kNone : row.asDouble);
    EXPECT_EQ(ZUMJSONStringForKey(dictionary, "k"), row.asString);
    EXPECT_EQ(ZUMJSONBoolForKey(dictionary, "k", true, kRead), row.asBool.value_or(true));
    EXPECT_EQ(ZUMJSONIntegerForKey(dictionary, "k", 99, kRead), row.asInteger.value_or(99));
    EXPECT_EQ(ZUMJSONDoubleForKey(dictionary, "k", 9.5, kRead), row.asDouble.value_or(9.5));
    EXPECT_EQ(ZUMJSONBoolForKey(dictionary, "k", true), text ? true : row.asBool.value_or(true));
    EXPECT_EQ(ZUMJSONStringForKey(dictionary, "k", "default"), row.asString.value_or("default"));
    EXPECT_EQ(ZUMJSONArrayForKey(dictionary, "k"), ZUMJSONArray(dictionary["k"]));
    EXPECT_EQ(ZUMJSONObjectForKey(dictionary, "k"), ZUMJSONObject(dictionary["k"]));
  }
}

TEST(ZUMJSONReadersTest, AbsentKeysAndNonDictionariesGiveTheDefault) {
  const Json containers[] = {Json::object({{"other", 1}}), Json::array({"k"}), "k", nullptr};
  for (const Json& container : containers) {
    SCOPED_TRACE(container.dump());
    EXPECT_EQ(ZUMJSONValueForKey(container, "k"), nullptr);
    EXPECT_EQ(ZUMJSONBoolForKey(container, "k"), kNone);
    EXPECT_EQ(ZUMJSONIntegerForKey(container, "k", -1), -1);
    EXPECT_EQ(ZUMJSONDoubleForKey(container, "k", 0.5), 0.5);
    EXPECT_EQ(ZUMJSONStringForKey(container, "k", "d"), "d");
    EXPECT_EQ(ZUMJSONArrayForKey(container, "k"), nullptr);
    EXPECT_EQ(ZUMJSONObjectForKey(container, "k"), nullptr);
  }
  const Json dictionary = {{"k", {1, 2}}};
  EXPECT_EQ(ZUMJSONValueForKey(dictionary, "k"), &dictionary["k"]);
}

TEST(ZUMJSONReadersTest, TextOfNumbersAndTheStringItemsOfArrays) {
  const std::optional<std::string> none;
  const struct {
    Json value;
    std::optional<std::string> text;
  } rows[] = {
      {"42", "42"},
      {42, "42"},
      {-7, "-7"},
      {18446744073709551615u, "18446744073709551615"},
      {4.5, "4.5"},
      {true, "1"},
      {false, "0"},
      {nullptr, none},
      {Json::array(), none},
      {Json::object(), none},
  };
  for (const auto& row : rows) EXPECT_EQ(ZUMJSONStringOrNumberText(row.value), row.text) << row.value.dump();
  EXPECT_EQ(ZUMJSONStringItems({"a", 1, nullptr, "b", {"c"}}), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ZUMJSONStringItems(Json::array()), std::vector<std::string>{});  // empty is not absent
  EXPECT_EQ(ZUMJSONStringItems("a"), std::nullopt);
  EXPECT_EQ(ZUMJSONStringItemsForKey({{"k", {"x"}}}, "k"), std::vector<std::string>{"x"});
  EXPECT_EQ(ZUMJSONStringItemsForKey({{"k", "x"}}, "k"), std::nullopt);
  EXPECT_EQ(ZUMJSONStringItemsForKey({{"other", {"x"}}}, "k"), std::nullopt);
}

}  // namespace
