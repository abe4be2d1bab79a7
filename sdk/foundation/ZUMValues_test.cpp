#include "sdk/foundation/ZUMValues.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"

using nlohmann::ordered_json;

namespace {

TEST(ZUMValuesTest, RequestTextOfBooleansAndDoubles) {
  EXPECT_EQ(ZUMStringFromBOOL(true), "1");
  EXPECT_EQ(ordered_json(ZUMNumberWithBool(false)).dump(), "0");
  const std::pair<double, const char*> table[] = {
      {2, "2"}, {-0.25, "-0.25"}, {0.0000001, "0"}, {1e20, "100000000000000000000"}, {NAN, "nan"}};
  for (const auto& [number, text] : table) EXPECT_EQ(ZUMStringFromDouble(number), text);
  EXPECT_EQ(ZUMStringFromDouble(std::numeric_limits<double>::max()).size(), 309u);
}

TEST(ZUMValuesTest, ObjectOfClassForKeyChecksTheType) {
  ordered_json dictionary = {{"s", "text"}, {"n", 3}, {"b", true}, {"a", {1}}, {"d", {{"k", 1}}}};
  dictionary["data"] = platform::makeData({1, 2});
  dictionary["date"] = platform::makeDate(5);
  EXPECT_EQ(*ZUMObjectOfClassForKey(dictionary, "s", ZUMValueClass::String), "text");
  EXPECT_FALSE(ZUMObjectOfClassForKey(dictionary, "n", ZUMValueClass::String));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "b", ZUMValueClass::Number));
  EXPECT_FALSE(ZUMObjectOfClassForKey(dictionary, "date", ZUMValueClass::Data));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "date", ZUMValueClass::Date));
  EXPECT_FALSE(ZUMObjectOfClassForKey(ordered_json::array({"s"}), "s", ZUMValueClass::String));
}

TEST(ZUMValuesTest, SetObjectIfNotNilStoresOnlyWithKeyAndValue) {
  ordered_json dictionary;
  ordered_json value = "v";
  ZUMSetObjectIfNotNil(dictionary, std::nullopt, &value);
  ZUMSetObjectIfNotNil(dictionary, "a", static_cast<const ordered_json*>(nullptr));
  ordered_json null;
  ZUMSetObjectIfNotNil(dictionary, "c", &null);
  EXPECT_TRUE(dictionary.is_null());
  ordered_json array = ordered_json::array();
  ZUMSetObjectIfNotNil(array, "k", &value);
  EXPECT_EQ(array, ordered_json::array());
}

}  // namespace
