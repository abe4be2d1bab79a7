#include "ZUMAdSize.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::Size;

// The main screen: 375 x 667, whatever an earlier test of the binary left.
class ZUMAdSizeTest : public testenv::PlatformTest {
 protected:
  ZUMAdSizeTest() { platform::Screen::main().resetForTesting(); }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST_F(ZUMAdSizeTest, StandardSizesHaveNoFlagsAndOthersAreCustom) {
  const ZUMAdSize standard[] = {kZUMAdSizeBanner,     kZUMAdSizeLargeBanner, kZUMAdSizeMediumRectangle,
                                kZUMAdSizeFullBanner, kZUMAdSizeLeaderboard, kZUMAdSizeSkyscraper};
  for (const auto& size : standard) {
    EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromSize(size.size), size)) << ZUMAdSizeDescription(size);
  }
  const ZUMAdSize custom = ZUMAdSizeFromSize({320, 51});
  EXPECT_EQ(custom.flags, kZUMAdSizeFlagCustom);
  EXPECT_FALSE(ZUMAdSizeEqualToSize(ZUMAdSizeFromSize({kNaN, 50}), ZUMAdSizeFromSize({kNaN, 50})));
}

TEST_F(ZUMAdSizeTest, ConcreteSizesResolveAgainstScreenAndKeyWindow) {
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerLandscape), (Size{667, 32}));
  // The screen turned: the portrait width is still the shorter side.
  platform::Screen::main().setBoundsSize({667, 375});
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerPortrait), (Size{375, 50}));
  // A tablet.
  platform::Screen::main().setBoundsSize({768, 1024});
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerLandscape), (Size{1024, 90}));
  // Fluid: the key window's width, the size's own height.
  EXPECT_EQ(ZUMCGSizeFromAdSize(ZUMFluidAdSizeWithSize(10, 80)), (Size{768, 80}));
  auto window = platform::Window::create(platform::Rect(0, 0, 300, 500));
  window->makeKeyAndVisible();
  EXPECT_EQ(ZUMCGSizeFromAdSize(ZUMFluidAdSizeWithSize(10, 80)), (Size{300, 80}));
}

TEST_F(ZUMAdSizeTest, ValidityFollowsTheScreenRefusesHostileNumbersAndErrsWithCodeTwelve) {
  EXPECT_TRUE(ZUMIsAdSizeValid(ZUMAdSizeFromSize({667, 375}))) << "fits turned";
  EXPECT_FALSE(ZUMIsAdSizeValid(kZUMAdSizeLeaderboard)) << "728 is wider than a phone";
  EXPECT_FALSE(ZUMIsAdSizeValid(kZUMAdSizeInvalid));
  // Validation judges a negative dimension by its absolute value; the validity check
  // refuses it.
  struct Row {
    Size size;
    bool validates;
  };
  const Row hostile[] = {
      {{320, kNaN}, false}, {{-kInf, 50}, false}, {{-320, 50}, true}, {{-320, -700}, false}, {{1e308, 1e308}, false}};
  for (const auto& [size, validates] : hostile) {
    EXPECT_FALSE(ZUMIsAdSizeValid(ZUMAdSizeFromSize(size))) << size.width << "x" << size.height;
    EXPECT_FALSE(ZUMIsAdSizeValid(ZUMFluidAdSizeWithSize(size.width, size.height)));
    platform::ErrorPtr error;
    EXPECT_EQ(ZUMValidateAdSize(ZUMAdSizeFromSize(size), &error), validates) << size.width << "x" << size.height;
    EXPECT_EQ(error ? error->code() : 0, validates ? 0 : 12);
  }
  platform::ErrorPtr error;
  EXPECT_FALSE(ZUMValidateAdSize(kZUMAdSizeInvalid, &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kZUMErrorDomain);
  EXPECT_EQ(error->localizedDescription(), "Invalid ad size.");
  EXPECT_FALSE(ZUMValidateAdSize(ZUMAdSizeFromSize({400, 700}), &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->localizedDescription(),
            "Not enough space to show ad with custom size, 400x700. Please use a size that fits the current "
            "screen bounds of {375, 667}.");
  platform::Screen::main().setBoundsSize({768, 1024});
  EXPECT_TRUE(ZUMIsAdSizeValid(kZUMAdSizeLeaderboard));
}

TEST_F(ZUMAdSizeTest, DescriptionsParsingAndBoxing) {
  EXPECT_EQ(ZUMAdSizeDescription(ZUMAdSizeFromSize({320.5, 50})), "320.5x50");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMFluidAdSizeWithSize(300, 80)), "fluid 300x80");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMAdSizeFromSize({kNaN, kInf})), "nanxinf");

  EXPECT_EQ(ZUMAdSizeFromString(" 300 x 250 "), (Size{300, 250}));
  for (const char* bad : {"", "320", "320X50", "320x50x10", "320x", "nanx50", "1e999x50", "320x50 trailing"}) {
    EXPECT_EQ(ZUMAdSizeFromString(bad), (Size{0, 0})) << bad;
  }
  EXPECT_EQ(ZUMAdSizeFromString(std::string_view("320x\0"
                                                 "50",
                                                 6)),
            (Size{0, 0}));
  // Unboxing other values gives the invalid size.
  const ZUMAdSize size = ZUMFluidAdSizeWithSize(320, 90);
  EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue(ZUMValueFromAdSize(size)), size));

  EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue(std::any(Size{320, 50})), kZUMAdSizeInvalid));
}

}  // namespace
