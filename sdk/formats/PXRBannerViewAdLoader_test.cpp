// Publisher banners as an ad class of the ad loader: the sizes the loader's delegate
// names become the request's and the hidden slot's, a delegate without sizes refuses the
// class, only a "banner" network entry gets a banner connector, and a banner hands itself
// to the delegate.
#include <nlohmann/json.hpp>

#include "PXRBannerAdLoaderDelegate.h"
#include "PXRBannerView.h"
#include "ZUMAdLoader.h"
#include "ZUMMobileAds.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/ViewController.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

struct BannerDelegate : PXRBannerAdLoaderDelegate {
  std::vector<ZUMAdSize> validBannerSizesForAdLoader(ZUMAdLoader&) override { return sizes; }
  void adLoaderDidReceivePXRBannerView(ZUMAdLoader&, const std::shared_ptr<PXRBannerView>& banner) override {
    log.push_back(std::string("banner") + (platform::isMainThread() ? "" : "!"));
    received = banner;
  }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr& error) override {
    log.push_back("failed " + std::to_string(error->code()) + " " + error->localizedDescription());
  }
  std::vector<ZUMAdSize> sizes{kZUMAdSizeMediumRectangle, kZUMAdSizeBanner};
  std::vector<std::string> log;
  std::shared_ptr<PXRBannerView> received;
};

struct PlainDelegate : ZUMAdLoaderDelegate {
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr&) override {}
};

class PXRBannerViewAdLoaderTest : public testenv::PlatformTest {
 protected:
  PXRBannerViewAdLoaderTest() { ZUMMobileAds::load(); }
  std::shared_ptr<ZUMAdLoader> makeLoader() {
    auto loader = ZUMAdLoader::create("unit-P", host, {"-1"}, {});
    loader->setDelegate(delegate);
    return loader;
  }
  std::shared_ptr<ZUMLoadableClass> bannerClass() const { return ZUMLoadableClassNamed("PXRBannerView"); }

  std::shared_ptr<BannerDelegate> delegate = std::make_shared<BannerDelegate>();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
};

TEST_F(PXRBannerViewAdLoaderTest, TheDelegatesSizesBecomeTheRequestsAndTheSlots) {
  auto loader = makeLoader();
  ASSERT_NE(bannerClass(), nullptr);
  EXPECT_EQ(bannerClass()->requiredDelegateProtocol(), "PXRBannerAdLoaderDelegate");
  EXPECT_EQ(bannerClass()->requestParametersForAdLoader(*loader),
            (Json{{"allowed_response_types", {"iba"}}, {"sz_array", {"300x250", "320x50"}}}));
  platform::ErrorPtr error;
  EXPECT_TRUE(bannerClass()->canInitWithAdLoader(*loader, &error));
  EXPECT_EQ(error, nullptr);
  auto sizes = loader->validAdSizes();
  ASSERT_TRUE(sizes);
  ASSERT_EQ(sizes->size(), 2u);
  EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue((*sizes)[1]), ZUMAdSizeFromSize({320, 50})));
  // The slot is as big as the first size asked for.
  EXPECT_EQ(loader->bounds(), (platform::Rect{{0, 0}, {300, 250}}));
  // Sizes that have no "WxH" text reach the loader as they were answered.
  delegate->sizes = {kZUMAdSizeFluid, kZUMAdSizeSmartBannerPortrait, ZUMFluidAdSizeWithSize(320, 90), kZUMAdSizeBanner};
  sizes = loader->validAdSizes();
  ASSERT_TRUE(sizes && sizes->size() == delegate->sizes.size());
  for (std::size_t i = 0; i < sizes->size(); ++i) {
    EXPECT_TRUE(ZUMAdSizeEqualToSize(ZUMAdSizeFromValue((*sizes)[i]), delegate->sizes[i])) << i;
  }

  // A host without sizes: no parameters, the class refuses, the load fails on a later turn.
  delegate->sizes.clear();
  EXPECT_EQ(bannerClass()->requestParametersForAdLoader(*loader), Json::object());
  EXPECT_FALSE(bannerClass()->canInitWithAdLoader(*loader, &error));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code(), 12);
  EXPECT_EQ(loader->bounds(), (platform::Rect{{0, 0}, {320, 50}}));  // the slot's banner type
  loader->loadRequest(nullptr);
  EXPECT_TRUE(delegate->log.empty());
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"failed 0 Must provide at least one ad size to load banner ads."});
  EXPECT_FALSE(loader->isLoading());
}

TEST_F(PXRBannerViewAdLoaderTest, ADelegateWithoutTheBannerProtocolIsRefused) {
  auto loader = makeLoader();
  platform::SystemLog::Capture capture(true);
  loader->setDelegate(std::make_shared<PlainDelegate>());
  env.runUntilIdle();
  EXPECT_EQ(loader->delegate(), delegate);
  EXPECT_TRUE(capture.contains("Add PXRBannerAdLoaderDelegate to"));
}

TEST_F(PXRBannerViewAdLoaderTest, OnlyABannerEntryGetsABannerConnector) {
  auto loader = makeLoader();
  const struct {
    Json entry;
    bool banner;
    bool native;
  } rows[] = {{{{"id", "a"}, {"adapters", {"X"}}, {"response_type", "banner"}}, true, false},
              {{{"id", "b"}, {"adapters", {"X"}}, {"response_type", "native"}}, false, false},
              {{{"id", "c"}, {"adapters", {"X"}}}, false, true}};
  for (const auto& row : rows) {
    auto config = ZUMMConfig::create("unit-P", Json{{"ad_networks", {row.entry}}}, nullptr);
    ASSERT_NE(config, nullptr);
    auto entry = config->adNetworkConfigs().front();
    auto fromClass = bannerClass()->mediationConnectorForConfiguration(config, entry);
    EXPECT_EQ(fromClass != nullptr, row.banner) << row.entry.dump();
    EXPECT_EQ(std::dynamic_pointer_cast<ZUMMAdNetworkConnectorBanner>(fromClass) != nullptr, row.banner);
    auto fromLoader = loader->mediationConnectorForConfiguration(config, entry);
    EXPECT_EQ(std::dynamic_pointer_cast<ZUMMAdNetworkConnectorBanner>(fromLoader) != nullptr, row.banner);
    EXPECT_EQ(std::dynamic_pointer_cast<ZUMMAdNetworkConnectorNativeAd>(fromLoader) != nullptr, row.native);
  }
}

TEST_F(PXRBannerViewAdLoaderTest, ABannerHasNothingToPreloadAndHandsItselfOver) {
  auto loader = makeLoader();
  auto banner = PXRBannerView::create(kZUMAdSizeBanner);
  int completions = 0;
  banner->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) {
    EXPECT_EQ(error, nullptr);
    ++completions;
  });
  EXPECT_EQ(completions, 0);
  env.runUntilIdle();
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(banner->loadableClassName(), "PXRBannerView");
  banner->adLoaderDidReceiveAd(*loader);
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"banner"});
  EXPECT_EQ(delegate->received, banner);
}

}  // namespace
