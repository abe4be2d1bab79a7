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
  EXPECT_EQ(ZUMStringFromBOOL(false), "0");
  EXPECT_EQ(ordered_json(ZUMNumberWithBool(true)).dump(), "1");
  EXPECT_EQ(ordered_json(ZUMNumberWithBool(false)).dump(), "0");

  EXPECT_EQ(ZUMStringFromDouble(1.5), "1.5");
  EXPECT_EQ(ZUMStringFromDouble(2), "2");
  EXPECT_EQ(ZUMStringFromDouble(0), "0");
  EXPECT_EQ(ZUMStringFromDouble(-0.25), "-0.25");
  EXPECT_EQ(ZUMStringFromDouble(100), "100");
  EXPECT_EQ(ZUMStringFromDouble(0.0000001), "0");
  EXPECT_EQ(ZUMStringFromDouble(1e20), "100000000000000000000");
  EXPECT_EQ(ZUMStringFromDouble(std::numeric_limits<double>::max()).size(), 309u);
  EXPECT_EQ(ZUMStringFromDouble(NAN), "nan");
  EXPECT_EQ(ZUMStringFromDouble(-INFINITY), "-inf");
}

TEST(ZUMValuesTest, ObjectOfClassForKeyChecksTheType) {
  ordered_json dictionary = {{"s", "text"}, {"n", 3}, {"b", true}, {"a", {1}}, {"d", {{"k", 1}}}};
  dictionary["data"] = platform::makeData({1, 2});
  dictionary["date"] = platform::makeDate(5);

  EXPECT_EQ(*ZUMObjectOfClassForKey(dictionary, "s", ZUMValueClass::String), "text");
  EXPECT_FALSE(ZUMObjectOfClassForKey(dictionary, "n", ZUMValueClass::String));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "n", ZUMValueClass::Number));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "b", ZUMValueClass::Number));
  EXPECT_FALSE(ZUMObjectOfClassForKey(dictionary, "s", ZUMValueClass::Number));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "a", ZUMValueClass::Array));
  EXPECT_FALSE(ZUMObjectOfClassForKey(dictionary, "a", ZUMValueClass::Dictionary));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "d", ZUMValueClass::Dictionary));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "data", ZUMValueClass::Data));
  EXPECT_FALSE(ZUMObjectOfClassForKey(dictionary, "date", ZUMValueClass::Data));
  EXPECT_TRUE(ZUMObjectOfClassForKey(dictionary, "date", ZUMValueClass::Date));
  EXPECT_FALSE(ZUMObjectOfClassForKey(dictionary, "missing", ZUMValueClass::String));
  // Not a dictionary at all.
  EXPECT_FALSE(ZUMObjectOfClassForKey(ordered_json::array({"s"}), "s", ZUMValueClass::String));
  EXPECT_FALSE(ZUMObjectOfClassForKey(ordered_json(), "s", ZUMValueClass::String));

  EXPECT_EQ(ZUMStringForKey(dictionary, "s"), "text");
  EXPECT_EQ(ZUMStringForKey(dictionary, "n"), std::nullopt);
}

TEST(ZUMValuesTest, SetObjectIfNotNilStoresOnlyWithKeyAndValue) {
  ordered_json dictionary;
  ordered_json value = "v";
  ZUMSetObjectIfNotNil(dictionary, std::nullopt, &value);
  ZUMSetObjectIfNotNil(dictionary, "a", static_cast<const ordered_json*>(nullptr));
  ZUMSetObjectIfNotNil(dictionary, "b", std::optional<ordered_json>());
  ordered_json null;
  ZUMSetObjectIfNotNil(dictionary, "c", &null);
  EXPECT_TRUE(dictionary.is_null());

  ZUMSetObjectIfNotNil(dictionary, "k", &value);
  ZUMSetObjectIfNotNil(dictionary, "n", std::optional<ordered_json>(2));
  EXPECT_EQ(dictionary, (ordered_json{{"k", "v"}, {"n", 2}}));

  ordered_json array = ordered_json::array();
  ZUMSetObjectIfNotNil(array, "k", &value);
  EXPECT_EQ(array, ordered_json::array());
}

TEST(ZUMValuesTest, FilteredArrayIsNoneWhenNothingPasses) {
  std::vector<int> numbers{1, 2, 3, 4};
  EXPECT_EQ(ZUMFilteredArray(numbers, [](int n) { return n % 2 == 0; }), (std::vector<int>{2, 4}));
  EXPECT_EQ(ZUMFilteredArray(numbers, [](int n) { return n > 9; }), std::nullopt);
  EXPECT_EQ(ZUMFilteredArray(std::vector<int>{}, [](int) { return true; }), std::nullopt);
}

}  // namespace
