// Loads native ads (and publisher banners) of one or more ad types with one request:
//
//   auto loader = ZUMAdLoader::create("unit-A", rootViewController, {"1", "-1"}, {options});
//   loader->setDelegate(delegate);   // must adopt each type's delegate protocol
//   loader->loadRequest(ZUMRequest::create());
//
// The response runs through the ad server's native-ads script in a hidden page; each ad
// it describes loads its assets, and the delegate receives the ads strictly in the order
// of the response, whatever order their assets finish in. Only the last result is final;
// when fewer ads came back than were asked for ("max_num_ads"), a no-fill error (code 1)
// follows the ads as the final result. adLoaderDidFinishLoading follows the final result.
// No failure is called back inside loadRequest. A loader released mid-load ends quietly.
//
// Holds its hidden slot, the load's preprocessors and the ads whose assets load; its
// delegate and root view controller weakly. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZUMAdLoaderDelegate.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "sdk/request/ZUMAdConfiguration.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMAdMediationDelegate.h"

class ZUMAdLoadResults;
class ZUMAdPreprocessor;
class ZUMLoadable;
class ZUMRequest;
class ZUMSlot;
struct ZUMAdLoadResult;

class ZUMAdLoader final : public ZUMSlotDelegate,
                          public ZUMSlotAdLoadDelegate,
                          public ZUMSlotAdResponseDelegate,
                          public ZUMAdMediationDelegate,
                          public std::enable_shared_from_this<ZUMAdLoader> {
 public:
  using Json = nlohmann::ordered_json;

  // A loader whose ad types are all known; with an unknown or no ad type its loads fail
  // ("Must specify at least one ad type.").
  static std::shared_ptr<ZUMAdLoader> create(const std::string& adUnitID,
                                             const std::shared_ptr<platform::ViewController>& rootViewController,
                                             const std::vector<std::string>& adTypes,
                                             const ZUMAdConfiguration::Options& options);
  ~ZUMAdLoader() override;
  ZUMAdLoader(const ZUMAdLoader&) = delete;
  ZUMAdLoader& operator=(const ZUMAdLoader&) = delete;

  std::shared_ptr<ZUMAdLoaderDelegate> delegate() const { return delegate_.lock(); }
  // Refused (logged, not stored) when the delegate lacks an ad type's protocol.
  void setDelegate(const std::shared_ptr<ZUMAdLoaderDelegate>& delegate);
  // Starts a load; while one runs, logs and does nothing.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request);

  const std::string& adUnitID() const { return adUnitID_; }
  bool isLoading() const { return loading_; }
  const std::shared_ptr<ZUMAdLoaderConfiguration>& adLoaderConfiguration() const { return adLoaderConfiguration_; }
  const std::shared_ptr<ZUMSlot>& slot() const { return slot_; }

  // --- ZUMSlotDelegate -----------------------------------------------------------------------
  std::optional<std::shared_ptr<platform::ViewController>> rootViewController() override;
  std::optional<platform::Rect> bounds() override;
  std::optional<platform::Rect> frame() override { return bounds(); }
  // The ad sizes the ad classes ask for (their "sz_array"), as they have them, in class
  // order.
  std::optional<std::vector<std::any>> validAdSizes() override;

  // --- ZUMSlotAdResponseDelegate / ZUMSlotAdLoadDelegate --------------------------------------
  // Always false: the loader takes the response over.
  bool slotShouldProcessAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error) override;
  void slotWillProcessMediatedAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;
  void slotFinishedLoadingAdContent(ZUMSlot&) override {}
  void slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) override;

  // --- ZUMAdMediationDelegate -------------------------------------------------------------------
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;
  std::optional<std::shared_ptr<ZUMAdLoaderConfiguration>> adLoaderConfigurationForAd(
      const std::shared_ptr<ZUMAd>& ad, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;
  bool processesMediatedAds() const override { return true; }
  void adProcessMediatedAd(const std::shared_ptr<ZUMAd>& ad, const std::shared_ptr<ZUMMediatedAd>& mediatedAd,
                           std::function<void(const platform::ErrorPtr&)> completion) override;

  // --- Results (ZUMAdLoadResults hands them over on the main queue) ---------------------------
  void handleLoadResult(const ZUMAdLoadResults& results, const ZUMAdLoadResult& result, bool isFinalResult);

 private:
  ZUMAdLoader(const std::string& adUnitID, const std::shared_ptr<platform::ViewController>& rootViewController);
  void setUp(const ZUMAdConfiguration::Options& options);

  void failOnMainQueue(platform::ErrorPtr error);
  void handleFailedRequestWithRequestError(platform::ErrorPtr error, bool isFinalResult);
  void adDidFinishLoadingAssets(const ZUMAdLoadResult& result, bool isFinalResult);
  void finishLoading();
  void preprocessorDidFinish(const std::shared_ptr<ZUMAdLoadResults>& results, const ZUMAdPreprocessor* preprocessor,
                             const std::optional<Json>& adConfiguration, const std::shared_ptr<ZUMSlot>& slot);
  void createSingleNativeAd(const std::shared_ptr<ZUMAdLoadResults>& results, const Json& entry,
                            const std::shared_ptr<ZUMSlot>& slot, std::int64_t index);
  void loadAssetsForNativeAd(const std::shared_ptr<ZUMAdLoadResults>& results, const ZUMAdLoadResult& ad,
                             std::int64_t index);
  // The loader stops keeping an ad whose assets finished loading, whatever the outcome.
  void releaseNativeAd(const std::shared_ptr<ZUMLoadable>& ad);
  // nullptr when the delegate adopts the protocol of the class, else the code-12 error.
  platform::ErrorPtr delegateConformanceError(const ZUMAdLoaderDelegate& delegate,
                                              const std::optional<ZUMAdClass>& adClass) const;

  std::shared_ptr<ZUMSlot> slot_;
  std::shared_ptr<ZUMAdLoadResults> adLoadResults_;
  bool loading_ = false;
  std::weak_ptr<ZUMAdLoaderDelegate> delegate_;
  const std::string adUnitID_;
  std::shared_ptr<ZUMAdLoaderConfiguration> adLoaderConfiguration_;
  std::weak_ptr<platform::ViewController> rootViewController_;
  std::vector<std::shared_ptr<ZUMAdPreprocessor>> adPreprocessors_;
  std::vector<std::shared_ptr<ZUMLoadable>> nativeAds_;
};
