// A loadable ad class for tests that need the ad-type tables to find a class: it adds no
// parameters, serves every loader and makes no connector.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "sdk/request/ZUMLoadable.h"

namespace loadabletest {

struct LoadableClass : ZUMLoadableClass {
  std::string requiredDelegateProtocol() const override { return "TestAdLoaderDelegate"; }
  std::optional<nlohmann::ordered_json> requestParametersForAdLoader(ZUMAdLoader&) const override {
    return std::nullopt;
  }
  bool canInitWithAdLoader(ZUMAdLoader&, platform::ErrorPtr*) const override { return true; }
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) const override {
    return nullptr;
  }
};

}  // namespace loadabletest
