#include "sdk/foundation/ZUMLocation.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

using ZUMLocationTest = testenv::PlatformTest;

TEST_F(ZUMLocationTest, RequestFormScalesAndTruncatesTowardZero) {
  auto form = ZUMLocation::create(37.4219999, -122.0840575, 12.3456)->dictionaryRepresentation();
  ASSERT_TRUE(form.has_value());
  const auto time = static_cast<std::int64_t>(env.clock().wallNow() * 1e6);
  EXPECT_EQ(*form, (ordered_json{{"time", time}, {"lat", 374219999}, {"long", -1220840575}, {"radius", 12345}}));

  // Toward zero on both sides.
  auto small = ZUMLocation::create(0.00000019, -0.00000019, 0.0019, 1.0000019);
  EXPECT_EQ(*small->dictionaryRepresentation(),
            (ordered_json{{"time", 1000001}, {"lat", 1}, {"long", -1}, {"radius", 1}}));
}

TEST_F(ZUMLocationTest, RoundTripsThroughItsDictionaryForm) {
  auto location = ZUMLocation::create(-33.8688197, 151.2092955, 65, 1'700'000'000.25);
  auto form = *location->dictionaryRepresentation();
  auto back = ZUMLocation::createWithDictionary(form);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->dictionaryRepresentation(), form);
  // A description has no request form.
  EXPECT_FALSE(ZUMLocation::createWithLocationDescription("Zurich")->dictionaryRepresentation().has_value());
}

TEST_F(ZUMLocationTest, HostileNumbersNeverCrash) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ZUMLocation::create(nan, 0, 1), nullptr);
  EXPECT_EQ(ZUMLocation::create(0, -180.5, 1), nullptr);
  auto odd = ZUMLocation::create(1, 1, 1e300, -inf);
  ASSERT_NE(odd, nullptr);
  auto form = *odd->dictionaryRepresentation();
  EXPECT_EQ(form["time"], 0);
  EXPECT_GT(form["radius"].get<std::int64_t>(), 0);  // capped, not wrapped
  EXPECT_EQ(ZUMLocation::create(1, 1, nan)->accuracy(), 0);

  EXPECT_EQ(ZUMLocation::createWithDictionary({{"lat", "1"}, {"long", 1}}), nullptr);
  EXPECT_EQ(ZUMLocation::createWithDictionary({{"lat", 1e300}, {"long", 0}}), nullptr);
  auto partial = ZUMLocation::createWithDictionary({{"lat", 10}, {"long", 20}, {"radius", "x"}, {"time", nullptr}});
  ASSERT_NE(partial, nullptr);
  EXPECT_EQ(*partial->dictionaryRepresentation(),
            (ordered_json{{"time", 0}, {"lat", 10}, {"long", 20}, {"radius", 0}}));
}

}  // namespace
