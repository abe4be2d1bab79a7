#include "sdk/foundation/ZUMJSONAdditions.h"

#include <cmath>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "sdk/errors/ZUMErrors.h"

using nlohmann::ordered_json;

namespace {

void expectInvalidJSONObject(const ordered_json& value) {
  platform::ErrorPtr error;
  EXPECT_EQ(zum_JSONStringPretty(value, false, &error), std::nullopt) << value.type_name();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->localizedDescription(), "Invalid JSON object.");
}

ordered_json nested(std::size_t depth) {
  ordered_json value = ordered_json::array();
  for (std::size_t i = 0; i < depth; ++i) value = ordered_json::array({std::move(value)});
  return value;
}

TEST(ZUMJSONAdditionsTest, WritesCompactOrPrettyJSONInOrder) {
  ordered_json dictionary = {{"z", 1}, {"a", "é"}, {"list", {1.5, true, nullptr}}};
  EXPECT_EQ(zum_JSONStringPretty(dictionary, false, nullptr), R"({"z":1,"a":"é","list":[1.5,true,null]})");
}

TEST(ZUMJSONAdditionsTest, RefusesValuesThatAreNotJSONObjects) {
  expectInvalidJSONObject(3);
  expectInvalidJSONObject({{"n", NAN}});
  expectInvalidJSONObject({{"d", platform::makeData({1})}});
  expectInvalidJSONObject({{"s", std::string("\xff\xfe")}});
  expectInvalidJSONObject(nested(platform::kMaxPropertyListDepth + 5));
  EXPECT_EQ(zum_JSONStringPretty(3, false, nullptr), std::nullopt);  // no error asked for
}

TEST(ZUMJSONAdditionsTest, DecodingFailuresCarryAReadingError) {
  EXPECT_EQ(zum_decodedJSONObjectError(R"({"b":2,"a":[1,"x"]})", nullptr).value_or(nullptr).dump(),
            R"({"b":2,"a":[1,"x"]})");
  // A key written twice keeps its first place and takes its last value, whole.
  EXPECT_EQ(zum_decodedJSONObjectError(R"({"a":{"x":1},"b":2,"a":{"y":3}})", nullptr).value_or(nullptr).dump(),
            R"({"a":{"y":3},"b":2})");
  for (std::string text : {std::string("{"), std::string("\"s\""), std::string("[1e999]"), std::string("{\"a\":\xff}"),
                           std::string(100000, '['), std::string("[\"\\ud800\"]")}) {
    platform::ErrorPtr error;
    EXPECT_EQ(zum_decodedJSONObjectError(text, &error), std::nullopt) << text.substr(0, 20);
    ASSERT_TRUE(error) << text.substr(0, 20);
    EXPECT_EQ(error->code(), kZUMJSONReadingErrorCorrupt);
  }
  // Brackets inside strings are not nesting.
  EXPECT_TRUE(zum_decodedJSONObjectError("[\"" + std::string(1000, '[') + "\"]", nullptr));
}

TEST(ZUMJSONAdditionsTest, SafeCopiesHoldOnlyWhatJSONCanHold) {
  ordered_json dictionary = {{"plain", "x"}, {"n", 1}, {"nan", NAN}, {"inf", INFINITY}};
  dictionary["data"] = platform::makeData({'f', 'o', 'o'});
  dictionary["date"] = platform::makeDate(86400 + 3661);
  dictionary["bad"] = std::string(
      "a\xff"
      "b");
  dictionary["nested"] = {{"deep", {{"x", -INFINITY}}}, {"list", {platform::makeData({0xfb, 0xff})}}};

  ordered_json safe = zum_JSONSafeDictionary(dictionary);
  EXPECT_EQ(safe["data"], "Zm9v");
  EXPECT_EQ(safe["date"], "1970-01-02 01:01:01 +0000");
  EXPECT_EQ(safe["bad"],
            "a\xef\xbf\xbd"
            "b");
  EXPECT_EQ(safe["nested"]["deep"]["x"], "-inf");
  // Keys that repair to the same text: the later value, in the first one's place.
  ordered_json twins = {{"k\xff", 1}, {"m", 2}, {"k\xfe", 3}};
  EXPECT_EQ(zum_JSONSafeDictionary(twins).dump(), "{\"k\xef\xbf\xbd\":3,\"m\":2}");

  EXPECT_EQ(zum_JSONSafeDictionary(ordered_json::array({1})), ordered_json::object());

  EXPECT_EQ(zum_JSONSafeArray(ordered_json::array({NAN, "x"})), ordered_json::array({"nan", "x"}));
  // Nesting beyond the limit is cut, so the copy can be written.
  EXPECT_TRUE(zum_JSONStringPretty(zum_JSONSafeArray(nested(platform::kMaxPropertyListDepth + 5)), false, nullptr));
}

}  // namespace
