// The publisher banner's options: its app-event and ad-size delegates (held weakly) and
// manual impressions, which ask the server for them ({"d_imp_hdr": "1"}).
#pragma once

#include "ZUMAdLoaderOptions.h"

class ZUMAdSizeDelegate;
class ZUMAppEventDelegate;

class PXRBannerViewOptions : public ZUMAdLoaderOptions {
 public:
  static constexpr const char* kClassName = "PXRBannerViewOptions";
  static std::shared_ptr<PXRBannerViewOptions> create() { return std::make_shared<PXRBannerViewOptions>(); }
  std::shared_ptr<ZUMAppEventDelegate> appEventDelegate() const { return appEventDelegate_.lock(); }
  void setAppEventDelegate(const std::shared_ptr<ZUMAppEventDelegate>& d) { appEventDelegate_ = d; }
  std::shared_ptr<ZUMAdSizeDelegate> adSizeDelegate() const { return adSizeDelegate_.lock(); }
  void setAdSizeDelegate(const std::shared_ptr<ZUMAdSizeDelegate>& d) { adSizeDelegate_ = d; }
  bool enableManualImpressions() const { return enableManualImpressions_; }
  void setEnableManualImpressions(bool enable) { enableManualImpressions_ = enable; }

  std::shared_ptr<ZUMAdLoaderOptions> copy() const override { return std::make_shared<PXRBannerViewOptions>(*this); }
  std::optional<nlohmann::ordered_json> requestParameters() const override;
  std::string className() const override { return kClassName; }

 private:
  std::weak_ptr<ZUMAppEventDelegate> appEventDelegate_;
  std::weak_ptr<ZUMAdSizeDelegate> adSizeDelegate_;
  bool enableManualImpressions_ = false;
};
