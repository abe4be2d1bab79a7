#include "sdk/request/ZUMAdConfiguration.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PXRBannerViewOptions.h"
#include "ZUMCorrelatorAdLoaderOptions.h"
#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMNativeAdViewAdOptions.h"
#include "ZUMVideoOptions.h"
#include "platform/base/SystemLog.h"
#include "sdk/request/ZUMCorrelator.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

std::shared_ptr<ZUMMultipleAdsAdLoaderOptions> ads(std::int64_t number) {
  auto option = ZUMMultipleAdsAdLoaderOptions::create();
  option->setNumberOfAds(number);
  return option;
}

std::shared_ptr<ZUMNativeAdImageAdLoaderOptions> images(std::int64_t orientation, bool multiple) {
  auto option = ZUMNativeAdImageAdLoaderOptions::create();
  option->setPreferredImageOrientation(orientation);
  option->setShouldRequestMultipleImages(multiple);
  return option;
}

std::shared_ptr<PXRBannerViewOptions> manualImpressions(bool on) {
  auto option = PXRBannerViewOptions::create();
  option->setEnableManualImpressions(on);
  return option;
}

class ZUMAdConfigurationTest : public testenv::PlatformTest {};

TEST_F(ZUMAdConfigurationTest, TheFirstOptionOfAClassWinsAndTheParametersMerge) {
  const struct {
    const char* name;
    ZUMAdConfiguration::Options given;
    std::size_t kept;
    Json parameters;
    const char* logged;
  } rows[] = {
      {"none", {}, 0, Json::object(), nullptr},
      {"two of a class",
       {ads(3), ads(5)},
       1,
       {{"max_num_ads", 3}},
       "Options already provided for ZUMMultipleAdsAdLoaderOptions. Ignoring option object (<ZUMMultipleAdsAdLoaderOptions: 0x"},
      {"no option", {nullptr}, 0, Json::object(), "Invalid ad loader option will be ignored ((null))."},
      {"manual impressions", {manualImpressions(true)}, 1, {{"d_imp_hdr", "1"}}, nullptr},
      {"automatic impressions",
       {manualImpressions(false), ZUMNativeAdViewAdOptions::create()},
       2,
       Json::object(),
       nullptr},
      {"orientation 0", {images(0, false)}, 1, Json::object(), nullptr},
      {"each orientation",
       {images(1, true)},
       1,
       {{"native_image_orientation", "any"}, {"multiple_images", "1"}},
       nullptr},
      {"portrait", {images(2, false)}, 1, {{"native_image_orientation", "portrait"}}, nullptr},
      {"landscape", {images(3, false)}, 1, {{"native_image_orientation", "landscape"}}, nullptr},
      {"unknown orientation", {images(4, false)}, 1, Json::object(), nullptr},
      {"all together",
       {ads(2), ZUMVideoOptions::create(), manualImpressions(true), ZUMAdLoaderOptions::create()},
       4,
       {{"max_num_ads", 2}, {"video", {{"startMuted", "1"}}}, {"d_imp_hdr", "1"}},
       nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    platform::SystemLog::Capture capture(true);
    auto configuration = ZUMAdConfiguration::create(row.given);
    env.runUntilIdle();
    EXPECT_EQ(configuration->options() ? configuration->options()->size() : 0u, row.kept);
    EXPECT_EQ(configuration->options().has_value(), row.kept > 0) << "no valid option: none kept";
    EXPECT_EQ(configuration->requestParameters(), row.parameters);
    if (row.logged) {
      EXPECT_TRUE(capture.contains(row.logged));
    } else {
      EXPECT_TRUE(capture.messages().empty());
    }
  }
}

TEST_F(ZUMAdConfigurationTest, OptionsAreKeptAsCopiesOfTheirOwnClass) {
  auto video = ZUMVideoOptions::create();
  auto correlator = ZUMCorrelatorAdLoaderOptions::create();
  correlator->setCorrelator(ZUMCorrelator::create());
  auto configuration = ZUMAdConfiguration::create({video, correlator});
  video->setStartMuted(false);  // the host's object, not the kept one
  auto kept = configuration->option<ZUMVideoOptions>();
  ASSERT_TRUE(kept);
  EXPECT_NE(kept, video);
  EXPECT_TRUE(kept->startMuted());
  EXPECT_EQ(configuration->option<ZUMCorrelatorAdLoaderOptions>()->correlator(), correlator->correlator());
  EXPECT_FALSE(configuration->option<ZUMAdLoaderOptions>()) << "only an option of exactly that class";
  EXPECT_FALSE(configuration->option<PXRBannerViewOptions>());
}

}  // namespace
