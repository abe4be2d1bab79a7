#include "sdk/rendering/ZUMMRAIDResizeProperties.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

TEST(ZUMMRAIDResizePropertiesTest, CloseAreaAndMaskPerPosition) {
  struct Row {
    std::int64_t position;
    double x, y;
    std::uint32_t mask;
  };
  // Content frame (10, 20, 300, 250).
  for (const Row& row :
       {Row{0, 260, 20, 33}, Row{1, 135, 20, 37}, Row{2, 10, 20, 36}, Row{3, 135, 120, 45}, Row{4, 260, 220, 9},
        Row{5, 135, 220, 13}, Row{6, 10, 220, 12}, Row{7, 10, 20, 0}, Row{-1, 10, 20, 0}}) {
    SCOPED_TRACE(row.position);
    EXPECT_EQ(ZUMMRAIDResizeProperties::closeButtonRectForPosition(row.position, {10, 20, 300, 250}),
              (platform::Rect{row.x, row.y, 50, 50}));
    EXPECT_EQ(ZUMMRAIDResizeProperties::autoresizingMaskForClosePosition(row.position), row.mask);
  }
}

}  // namespace

namespace {

using Json = nlohmann::ordered_json;

Json resizeMessage(Json overrides) {
  Json message = {{"width", "300"},
                  {"height", "250"},
                  {"offsetX", "0"},
                  {"offsetY", "-10"},
                  {"customClosePosition", "top-right"},
                  {"allowOffscreen", "false"}};
  for (auto& [key, value] : overrides.items()) {
    if (value.is_null())
      message.erase(key);
    else
      message[key] = value;
  }
  return message;
}

TEST(ZUMMRAIDResizePropertiesTest, EveryValueParsesAndOnlyAMissingKeyIsRefused) {
  const struct {
    const char* name;
    Json overrides;
    bool parses;
    platform::Rect frame;
    std::int64_t position;
    bool offscreen;
  } rows[] = {
      {"strings", Json::object(), true, {0, -10, 300, 250}, 0, false},
      {"numbers",
       {{"width", 320}, {"height", 50.5}, {"offsetX", -4}, {"offsetY", 0}},
       true,
       {-4, 0, 320, 50.5},
       0,
       false},
      {"spaces and sign", {{"width", " +120 "}, {"offsetX", "1e2"}}, true, {100, -10, 120, 250}, 0, false},
      {"zero size passes", {{"width", "0"}, {"height", 0}}, true, {0, -10, 0, 0}, 0, false},
      {"top-center", {{"customClosePosition", "top-center"}}, true, {0, -10, 300, 250}, 1, false},
      {"top-left", {{"customClosePosition", "top-left"}}, true, {0, -10, 300, 250}, 2, false},
      {"center", {{"customClosePosition", "center"}}, true, {0, -10, 300, 250}, 3, false},
      {"bottom-right", {{"customClosePosition", "bottom-right"}}, true, {0, -10, 300, 250}, 4, false},
      {"bottom-center", {{"customClosePosition", "bottom-center"}}, true, {0, -10, 300, 250}, 5, false},
      {"bottom-left", {{"customClosePosition", "bottom-left"}}, true, {0, -10, 300, 250}, 6, false},
      {"capitals are unknown", {{"customClosePosition", "Center"}}, true, {0, -10, 300, 250}, 0, false},
      {"numeric position is unknown", {{"customClosePosition", 3}}, true, {0, -10, 300, 250}, 0, false},
      {"offscreen true", {{"allowOffscreen", "true"}}, true, {0, -10, 300, 250}, 0, true},
      {"offscreen 1", {{"allowOffscreen", "1"}}, true, {0, -10, 300, 250}, 0, true},
      {"offscreen bool", {{"allowOffscreen", true}}, true, {0, -10, 300, 250}, 0, true},
      {"offscreen number", {{"allowOffscreen", 1}}, true, {0, -10, 300, 250}, 0, true},
      {"offscreen zero", {{"allowOffscreen", 0}}, true, {0, -10, 300, 250}, 0, false},
      {"offscreen no", {{"allowOffscreen", "no"}}, true, {0, -10, 300, 250}, 0, false},
      {"offscreen object", {{"allowOffscreen", Json::object()}}, true, {0, -10, 300, 250}, 0, false},
      {"no width", {{"width", nullptr}}, false, {}, 0, false},
      {"no height", {{"height", nullptr}}, false, {}, 0, false},
      {"no offsetX", {{"offsetX", nullptr}}, false, {}, 0, false},
      {"no offsetY", {{"offsetY", nullptr}}, false, {}, 0, false},
      {"no position", {{"customClosePosition", nullptr}}, false, {}, 0, false},
      {"no offscreen", {{"allowOffscreen", nullptr}}, false, {}, 0, false},
      // Read as the platform reads text as a number, with no range check: the frame
      // check judges the frame.
      {"text", {{"width", "wide"}}, true, {0, -10, 0, 250}, 0, false},
      {"trailing text", {{"height", "250px"}}, true, {0, -10, 300, 250}, 0, false},
      {"hexadecimal", {{"width", "0x1A"}}, true, {0, -10, 0, 250}, 0, false},
      {"empty", {{"offsetX", ""}}, true, {0, -10, 300, 250}, 0, false},
      {"nan", {{"offsetY", "nan"}}, true, {0, 0, 300, 250}, 0, false},
      {"infinite", {{"width", "inf"}}, true, {0, -10, 0, 250}, 0, false},
      {"overflowing", {{"width", "1e400"}}, true, {0, -10, 0, 250}, 0, false},
      {"negative size", {{"height", "-1"}}, true, {0, -10, 300, -1}, 0, false},
      {"huge size", {{"width", 1e300}}, true, {0, -10, 1e300, 250}, 0, false},
      {"huge offset", {{"offsetX", "-1e300"}}, true, {-1e300, -10, 300, 250}, 0, false},
      {"largest allowed", {{"width", "100000"}, {"offsetX", "-100000"}}, true, {-100000, -10, 100000, 250}, 0, false},
      {"boolean number", {{"width", true}}, true, {0, -10, 1, 250}, 0, false},
      {"object", {{"offsetY", Json::object()}}, true, {0, 0, 300, 250}, 0, false},
  };
  for (const auto& row : rows) {
    const auto properties = ZUMMRAIDResizeProperties::create(resizeMessage(row.overrides));
    ASSERT_EQ(properties.has_value(), row.parses) << row.name;
    if (!properties) continue;
    EXPECT_EQ(properties->frame(), row.frame) << row.name;
    EXPECT_EQ(properties->customClosePosition(), row.position) << row.name;
    EXPECT_EQ(properties->allowOffscreen(), row.offscreen) << row.name;
  }
  EXPECT_FALSE(ZUMMRAIDResizeProperties::create(Json::array()));
}

TEST(ZUMMRAIDResizePropertiesTest, WithoutPermissionTheFrameAndWithItTheCloseAreaMustLieInTheBounds) {
  const platform::Rect bounds{0, 20, 320, 460};
  const struct {
    const char* name;
    platform::Rect frame;
    bool offscreen;
    std::int64_t position;
    bool valid;
  } rows[] = {
      {"exactly fitting", {0, 20, 320, 460}, false, 0, true},
      {"one point over the right", {1, 20, 320, 460}, false, 0, false},
      {"one point over the top", {0, 19, 320, 100}, false, 0, false},
      {"one point over the bottom", {0, 381, 320, 100}, false, 0, false},
      {"over, offscreen allowed, close inside", {-100, 20, 300, 250}, true, 0, true},
      {"over, offscreen allowed, close outside", {-100, 20, 300, 250}, true, 2, false},
      {"close area one point over", {-1, 20, 300, 250}, true, 2, false},
      {"small frame at the edge, close area out", {0, 20, 30, 30}, false, 0, true},
      {"small frame, close area in", {0, 20, 30, 30}, false, 2, true},
      {"negative size, inside", {320, 480, -320, -460}, false, 0, true},
      {"wider than a frame may be, close inside", {-99900, 20, 100001, 250}, true, 0, false},
      {"as wide as a frame may be", {-99900, 20, 100000, 250}, true, 0, true},
      {"bottom close on the edge", {0, 230, 320, 250}, true, 4, true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMMRAIDResizeProperties::isContentFrameValid(row.frame, bounds, row.offscreen, row.position), row.valid)
        << row.name;
  }
  // The Part's own cases.
  EXPECT_EQ(ZUMMRAIDResizeProperties::closeButtonRectForPosition(3, {0, 0, 300, 250}),
            (platform::Rect{125, 100, 50, 50}));
  EXPECT_EQ(ZUMMRAIDResizeProperties::closeButtonRectForPosition(5, {0, 0, 300, 250}),
            (platform::Rect{125, 200, 50, 50}));
  EXPECT_EQ(ZUMMRAIDResizeProperties::closeButtonRectForPosition(6, {0, 0, 300, 250}),
            (platform::Rect{0, 200, 50, 50}));
}

}  // namespace
