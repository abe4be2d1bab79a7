#include "sdk/foundation/ZUMOrientation.h"

#include <cstdint>
#include <limits>
#include <utility>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMOrientationTest = testenv::PlatformTest;

TEST_F(ZUMOrientationTest, StringsAndMasksGoByTheOrientationNumbers) {
  EXPECT_EQ(ZUMOrientationStringFromInterfaceOrientation(1), "p");
  EXPECT_EQ(ZUMOrientationStringFromInterfaceOrientation(4), "l");
  for (int64_t other : {int64_t{0}, int64_t{5}, std::numeric_limits<int64_t>::max()}) {
    EXPECT_EQ(ZUMOrientationStringFromInterfaceOrientation(other), std::nullopt) << other;
  }
  // One bit per number, whether or not it names an orientation.
  const std::pair<int64_t, uint64_t> masks[] = {{1, 2}, {63, uint64_t{1} << 63}, {64, 0}, {-1, 0}};
  for (const auto& [orientation, mask] : masks) {
    EXPECT_EQ(ZUMInterfaceOrientationMaskFromOrientation(orientation), mask) << orientation;
  }
  EXPECT_EQ(ZUMInterfaceOrientationMaskFromString("any"), 30u);
  EXPECT_EQ(ZUMInterfaceOrientationMaskFromString("portrait"), 6u);
  EXPECT_EQ(ZUMInterfaceOrientationMaskFromString("landscape"), 24u);
  EXPECT_EQ(ZUMInterfaceOrientationMaskFromString("Landscape"), 0u);
  EXPECT_TRUE(ZUMInterfaceOrientationMaskHasPortraitAndLandscape(4 | 8));
  EXPECT_FALSE(ZUMInterfaceOrientationMaskHasPortraitAndLandscape(24));
}

TEST_F(ZUMOrientationTest, ApplicationOrientationSwitchIsReadTyped) {
  constexpr const char* kKey = "/vantor/ads/view_controller_only_supports_application_orientation";
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_FALSE(ZUMViewControllerOnlySupportsApplicationOrientation());
  EXPECT_TRUE(defaults.setObject("YES", kKey));
  EXPECT_TRUE(ZUMViewControllerOnlySupportsApplicationOrientation());
  for (const auto& off : {nlohmann::ordered_json("no"), nlohmann::ordered_json::array({true})}) {
    EXPECT_TRUE(defaults.setObject(off, kKey));
    EXPECT_FALSE(ZUMViewControllerOnlySupportsApplicationOrientation()) << off.dump();
  }
}

}  // namespace
