// How an ad's video starts: muted (the default) and with the host's own controls (off
// by default). Sent with requests as {"video": {"startMuted": "1" or "0"}} and to the
// ad's page as its initial state (ZUMVideoControlling::setInitialStateWithVideoOptions).
#pragma once

#include "ZUMAdLoaderOptions.h"

class ZUMVideoOptions : public ZUMAdLoaderOptions {
 public:
  static constexpr const char* kClassName = "ZUMVideoOptions";
  static std::shared_ptr<ZUMVideoOptions> create() { return std::make_shared<ZUMVideoOptions>(); }
  bool startMuted() const { return startMuted_; }
  void setStartMuted(bool muted) { startMuted_ = muted; }
  bool customControlsRequested() const { return customControlsRequested_; }
  void setCustomControlsRequested(bool requested) { customControlsRequested_ = requested; }

  std::shared_ptr<ZUMAdLoaderOptions> copy() const override { return std::make_shared<ZUMVideoOptions>(*this); }
  std::optional<nlohmann::ordered_json> requestParameters() const override;
  std::string className() const override { return kClassName; }

 private:
  bool startMuted_ = true;
  bool customControlsRequested_ = false;
};
