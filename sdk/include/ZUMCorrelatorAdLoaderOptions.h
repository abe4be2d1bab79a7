// The correlator an ad loader gives its slot. Adds nothing to requests; a copy shares
// the correlator.
#pragma once

#include <utility>

#include "ZUMAdLoaderOptions.h"

class ZUMCorrelator;

class ZUMCorrelatorAdLoaderOptions : public ZUMAdLoaderOptions {
 public:
  static constexpr const char* kClassName = "ZUMCorrelatorAdLoaderOptions";
  static std::shared_ptr<ZUMCorrelatorAdLoaderOptions> create() {
    return std::make_shared<ZUMCorrelatorAdLoaderOptions>();
  }
  const std::shared_ptr<ZUMCorrelator>& correlator() const { return correlator_; }
  void setCorrelator(std::shared_ptr<ZUMCorrelator> correlator) { correlator_ = std::move(correlator); }

  std::shared_ptr<ZUMAdLoaderOptions> copy() const override {
    return std::make_shared<ZUMCorrelatorAdLoaderOptions>(*this);
  }
  std::string className() const override { return kClassName; }

 private:
  std::shared_ptr<ZUMCorrelator> correlator_;
};
