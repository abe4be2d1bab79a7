#include "ZUMAdSize.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "sdk/request/ZUMErrors.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::Size;

class ZUMAdSizeTest : public testenv::PlatformTest {};  // the main screen: 375 x 667

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
  EXPECT_EQ(custom.size, (Size{320, 51}));
  EXPECT_FALSE(ZUMAdSizeEqualToSize(custom, ZUMAdSize{{320, 51}, 0}));
  EXPECT_FALSE(ZUMAdSizeEqualToSize(ZUMAdSizeFromSize({kNaN, 50}), ZUMAdSizeFromSize({kNaN, 50})));

  EXPECT_TRUE(ZUMAdSizeIsFluid(ZUMFluidAdSizeWithSize(100, 40)));
  EXPECT_FALSE(ZUMAdSizeIsFluid(kZUMAdSizeBanner));
  for (const auto& smart : {kZUMAdSizeSmartBannerPortrait, kZUMAdSizeSmartBannerLandscape}) {
    EXPECT_TRUE(ZUMAdSizeIsFullWidth(smart));
    EXPECT_TRUE(ZUMAdSizeIsSmartBanner(smart));
    EXPECT_FALSE(ZUMAdSizeIsFluid(smart));
  }
  EXPECT_TRUE(ZUMAdSizeIsFullWidth(ZUMAdSize{{0, 50}, kZUMAdSizeFlagFullWidth}));
  EXPECT_FALSE(ZUMAdSizeIsSmartBanner(ZUMAdSize{{0, 50}, kZUMAdSizeFlagFullWidth}));
  EXPECT_FALSE(ZUMAdSizeIsFullWidth(custom));
}

TEST_F(ZUMAdSizeTest, ConcreteSizesResolveAgainstScreenAndKeyWindow) {
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeMediumRectangle), (Size{300, 250}));
  EXPECT_EQ(ZUMCGSizeFromAdSize(ZUMAdSizeFromSize({10, 20})), (Size{10, 20}));
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerPortrait), (Size{375, 50}));
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerLandscape), (Size{667, 32}));
  EXPECT_EQ(ZUMCGSizeFromAdSize(ZUMAdSize{{0, 60}, kZUMAdSizeFlagFullWidth}), (Size{375, 60}));

  // The screen turned: the portrait width is still the shorter side.
  platform::Screen::main().setBoundsSize({667, 375});
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerPortrait), (Size{375, 50}));

  // A tablet.
  platform::Screen::main().setBoundsSize({768, 1024});
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerPortrait), (Size{768, 90}));
  EXPECT_EQ(ZUMCGSizeFromAdSize(kZUMAdSizeSmartBannerLandscape), (Size{1024, 90}));

  // Fluid: the key window's width, the size's own height.
  EXPECT_EQ(ZUMCGSizeFromAdSize(ZUMFluidAdSizeWithSize(10, 80)), (Size{768, 80}));
  auto window = platform::Window::create(platform::Rect(0, 0, 300, 500));
  window->makeKeyAndVisible();
  EXPECT_EQ(ZUMCGSizeFromAdSize(ZUMFluidAdSizeWithSize(10, 80)), (Size{300, 80}));
}

TEST_F(ZUMAdSizeTest, ValidityFollowsTheScreenAndRefusesHostileNumbers) {
  EXPECT_TRUE(ZUMIsAdSizeValid(kZUMAdSizeBanner));
  EXPECT_TRUE(ZUMIsAdSizeValid(kZUMAdSizeFluid));
  EXPECT_TRUE(ZUMIsAdSizeValid(kZUMAdSizeSmartBannerPortrait));
  EXPECT_TRUE(ZUMIsAdSizeValid(ZUMAdSizeFromSize({667, 375}))) << "fits turned";
  EXPECT_FALSE(ZUMIsAdSizeValid(kZUMAdSizeLeaderboard)) << "728 is wider than a phone";
  EXPECT_FALSE(ZUMIsAdSizeValid(ZUMAdSizeFromSize({400, 400})));
  EXPECT_FALSE(ZUMIsAdSizeValid(kZUMAdSizeInvalid));

  const Size hostile[] = {{kNaN, 50}, {320, kNaN}, {kInf, 50}, {-kInf, 50}, {-320, 50}, {320, -1}, {1e308, 1e308},
                          {std::numeric_limits<double>::denorm_min(), -0.5}};
  for (const Size& size : hostile) {
    EXPECT_FALSE(ZUMIsAdSizeValid(ZUMAdSizeFromSize(size))) << size.width << "x" << size.height;
    EXPECT_FALSE(ZUMIsAdSizeValid(ZUMFluidAdSizeWithSize(size.width, size.height)));
    EXPECT_FALSE(ZUMIsAdSizeValid(ZUMAdSize{size, 0x12}));
    platform::ErrorPtr error;
    EXPECT_FALSE(ZUMValidateAdSize(ZUMAdSizeFromSize(size), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 12);
  }
  EXPECT_TRUE(ZUMIsAdSizeValid(ZUMAdSizeFromSize({0, 0})));

  platform::Screen::main().setBoundsSize({768, 1024});
  EXPECT_TRUE(ZUMIsAdSizeValid(kZUMAdSizeLeaderboard));
}

TEST_F(ZUMAdSizeTest, ValidationErrorsUseCodeTwelveAndTheirTexts) {
  platform::ErrorPtr error;
  EXPECT_TRUE(ZUMValidateAdSize(kZUMAdSizeBanner, &error));
  EXPECT_FALSE(error);
  EXPECT_TRUE(ZUMValidateAdSize(kZUMAdSizeFluid, nullptr));

  EXPECT_FALSE(ZUMValidateAdSize(kZUMAdSizeInvalid, &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kZUMErrorDomain);
  EXPECT_EQ(error->code(), 12);
  EXPECT_EQ(error->localizedDescription(), "Invalid ad size.");

  EXPECT_FALSE(ZUMValidateAdSize(ZUMAdSizeFromSize({400, 700}), &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), 12);
  EXPECT_EQ(error->localizedDescription(),
            "Not enough space to show ad with custom size, 400x700. Please use a size that fits the current "
            "screen bounds of {375, 667}.");
  EXPECT_FALSE(ZUMValidateAdSize(kZUMAdSizeLeaderboard, nullptr));
}

TEST_F(ZUMAdSizeTest, Descriptions) {
  EXPECT_EQ(ZUMAdSizeDescription(kZUMAdSizeBanner), "320x50");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMAdSizeFromSize({320.5, 50})), "320.5x50");
  EXPECT_EQ(ZUMAdSizeDescription(kZUMAdSizeFluid), "fluid");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMFluidAdSizeWithSize(300, 80)), "fluid 300x80");
  EXPECT_EQ(ZUMAdSizeDescription(kZUMAdSizeSmartBannerPortrait), "smart banner portrait");
  EXPECT_EQ(ZUMAdSizeDescription(kZUMAdSizeSmartBannerLandscape), "smart banner landscape");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMAdSize{{0, 60}, kZUMAdSizeFlagFullWidth}), "full width x 60");
  EXPECT_EQ(ZUMAdSizeDescription(kZUMAdSizeInvalid), "-1x-1");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMAdSize{{1, 2}, 0x6}), "{1, 2} flags 0x6");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMAdSizeFromSize({kNaN, kInf})), "nanxinf");
  EXPECT_EQ(ZUMAdSizeDescription(ZUMAdSizeFromSize({1e300, -1e20})), "1e+300x-1e+20");
}

TEST_F(ZUMAdSizeTest, SizeFromStringReadsWidthXHeightOrGivesZero) {
  EXPECT_EQ(ZUMAdSizeFromString("320x50"), (Size{320, 50}));
  EXPECT_EQ(ZUMAdSizeFromString(" 300 x 250 "), (Size{300, 250}));
  EXPECT_EQ(ZUMAdSizeFromString("320.5x-50"), (Size{320.5, -50}));
  for (const char* bad : {"", "x", "320", "320X50", "320x50x10", "axb", "320x", "{320x50}", "nanx50", "infx50",
                          "1e999x50", "320x50 trailing"}) {
    EXPECT_EQ(ZUMAdSizeFromString(bad), (Size{0, 0})) << bad;
  }
  EXPECT_EQ(ZUMAdSizeFromString(std::nullopt), (Size{0, 0}));
  EXPECT_EQ(ZUMAdSizeFromString("320,50"), (Size{320, 50})) << "the text is read as a size string";
  EXPECT_EQ(ZUMAdSizeFromString(std::string_view("320x\0" "50", 6)), (Size{0, 0}));
}

TEST_F(ZUMAdSizeTest, BoxingKeepsSizesAndUnboxingOtherValuesGivesTheInvalidSize) {
  const ZUMAdSize size = ZUMFluidAdSizeWithSize(320, 90);
  EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue(ZUMValueFromAdSize(size)), size));
  EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue(std::any()), kZUMAdSizeInvalid));
  EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue(std::any(std::string("320x50"))), kZUMAdSizeInvalid));
  EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue(std::any(Size{320, 50})), kZUMAdSizeInvalid));
}

}  // namespace
