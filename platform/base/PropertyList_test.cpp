#include "platform/base/PropertyList.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

TEST(PropertyListTest, NumbersAndStringsAnswerTheReadingsOthersDoNot) {
  EXPECT_EQ(boolValue(Json(0.25)), true);
  EXPECT_EQ(integerValue(Json("  +12abc")), 12);
  EXPECT_EQ(integerValue(Json(-2.9)), -2);
  EXPECT_EQ(integerValue(Json(1e300)), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(integerValue(Json(std::nan(""))), 0);
  EXPECT_EQ(integerValue(Json(std::numeric_limits<std::uint64_t>::max())), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(intValue(Json(5'000'000'000)), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(intValue(Json(-1e20)), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(floatValue(Json(1e300)), std::numeric_limits<float>::infinity());
  EXPECT_EQ(doubleValue(Json("0.5")), 0.5);

  EXPECT_EQ(stringValue(Json(true)), "1");
  EXPECT_EQ(stringValue(Json(3.0)), "3");

  for (const Json& other : {Json(), Json::array({1}), Json::object(), makeData({1}), makeDate(1)}) {
    EXPECT_FALSE(boolValue(other)) << other.type_name();
    EXPECT_FALSE(integerValue(other)) << other.type_name();
    EXPECT_FALSE(doubleValue(other)) << other.type_name();
    EXPECT_FALSE(stringValue(other)) << other.type_name();
  }
}

TEST(PropertyListTest, DataAndDatesKeepTheirKindThroughTheTaggedForm) {
  Json value = {
      {"data", makeData({0, 1, 2, 253, 254, 255, 7})},
      {"date", makeDate(1'800'000'123.25)},
      {"looksLikeData", {{"$data", "not base64!"}}},
      {"looksLikeDict", {{"$dict", 5}}},
      {"list", Json::array({makeData({9}), "s", 1, 2.5, true, Json::object()})},
  };
  ASSERT_TRUE(isPropertyList(value));
  const auto tagged = toTaggedJSON(value);
  ASSERT_TRUE(tagged);
  EXPECT_EQ((*tagged)["data"], Json({{"$data", "AAEC/f7/Bw=="}}));
  EXPECT_EQ((*tagged)["date"], Json({{"$date", 1'800'000'123.25}}));
  // Through text and back, as on disk.
  const auto back = fromTaggedJSON(Json::parse(tagged->dump()));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, value);
  EXPECT_EQ(dataValue((*back)["data"]), (Data{0, 1, 2, 253, 254, 255, 7}));
  EXPECT_FALSE(dataValue((*back)["date"]));
}

TEST(PropertyListTest, UnreadablePartsAreDroppedWhereTheyStand) {
  const Json hostile = Json::parse(R"({
      "ok": 1,
      "null": null,
      "badData": {"$data": "abc"},
      "badDate": {"$date": "soon"},
      "badDict": {"$dict": []},
      "list": [null, 1, {"$data": "%%%%"}, {"$date": 5}],
      "nested": {"a": null, "b": {"$data": "QQ=="}}
  })");
  const auto value = fromTaggedJSON(hostile);
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, Json({{"ok", 1}, {"list", Json::array({1, makeDate(5)})}, {"nested", {{"b", makeData({'A'})}}}}));
  EXPECT_FALSE(fromTaggedJSON(Json()));

  Json deep = 1;
  for (std::size_t i = 0; i < kMaxPropertyListDepth + 5; ++i) deep = Json::array({deep});
  EXPECT_FALSE(isPropertyList(deep));
  EXPECT_FALSE(isPropertyList(Json({{"n", std::nan("")}})));
}

}  // namespace
}  // namespace platform
