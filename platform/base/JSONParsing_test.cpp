#include "platform/base/JSONParsing.h"

#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/JSONObjectIndex.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

// `count` keys "k0", "k1", ... with their numbers as values, past the size from which
// objects are indexed.
std::string members(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i);
  return text;
}

TEST(JSONParsingTest, AKeyWrittenAgainKeepsItsFirstPlaceAndTakesItsLastValueWhole) {
  const struct {
    std::string text;
    std::string value;  // compact, in order
  } rows[] = {
      {R"({"b":1,"a":2,"b":3})", R"({"b":3,"a":2})"},
      {R"({"a":{"x":1,"y":2},"b":0,"a":{"z":3}})", R"({"a":{"z":3},"b":0})"},
      {R"({"a":[1,2],"a":null,"":1,"":"e"})", R"({"a":null,"":"e"})"},
      {R"([{"k":1,"k":2},{"k":3},{"k":{"k":4,"k":5}}])", R"([{"k":2},{"k":3},{"k":{"k":5}}])"},
      // Indexed objects: again early and late keys, a nested object, then a new key.
      {"{" + members(40) + R"(,"k39":"a","k0":{"k0":1,"k0":2},"k5":[5],"new":1})",
       [] {
         Json expected = Json::parse("{" + members(40) + "}");
         expected["k0"] = {{"k0", 2}};
         expected["k5"] = {5};
         expected["k39"] = "a";
         expected["new"] = 1;
         return expected.dump();
       }()},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(parseJSON(row.text).dump(), row.value) << row.text;
    // The library's own parse, which the SDK read every text with before.
    EXPECT_EQ(Json::parse(row.text).dump(), row.value) << row.text;
  }
}

TEST(JSONParsingTest, TextThatIsNotJSONFailsAsTheLibrarysParseDoes) {
  for (const std::string text : {"", "{", R"({"a":1,})", "[1e999]", "1 2", "{\"a\":\xff}", "[1] // note"}) {
    std::string expected, thrown;
    try {
      const Json parsed = Json::parse(text);
    } catch (const Json::exception& exception) {
      expected = exception.what();
    }
    try {
      const Json parsed = parseJSON(text);
    } catch (const Json::exception& exception) {
      thrown = exception.what();
    }
    EXPECT_FALSE(expected.empty()) << text;
    EXPECT_EQ(thrown, expected) << text;
    EXPECT_TRUE(parseJSON(text, JSONParseFailure::Discard).is_discarded()) << text;
  }
  const Json value = parseJSON(" [1, \"\\u00e9\", -2, -2.5e3, true, null] ", JSONParseFailure::Discard);
  EXPECT_EQ(value.dump(), "[1,\"é\",-2,-2500.0,true,null]");
}

TEST(JSONObjectIndexTest, FindsAndSetsKeysOfAnObjectThatAlreadyHoldsSome) {
  Json object = Json::parse("{" + members(20) + "}");
  JSONObjectIndex keys(object.get_ref<Json::object_t&>());
  EXPECT_EQ(*keys.find("k19"), 19);
  EXPECT_EQ(keys.find("k20"), nullptr);
  keys["k3"] = "three";
  keys[std::string("k20")] = 20;
  EXPECT_EQ(keys.find("k20"), &object.back());
  EXPECT_EQ(object.size(), 21u);
  EXPECT_EQ(object["k3"], "three");
  EXPECT_EQ(std::next(object.begin(), 3).key(), "k3");
}

}  // namespace
}  // namespace platform
