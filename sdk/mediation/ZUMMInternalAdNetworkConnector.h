// The connector as the SDK's own code sees it: the public adapter-facing connector plus
// its network entry and the optional app-event report of banner adapters. Main thread.
#pragma once

#include <memory>
#include <string>

#include "ZUMMAdNetworkConnector.h"

class ZUMMAdNetworkConfig;

class ZUMMInternalAdNetworkConnector : public ZUMMAdNetworkConnector {
 public:
  virtual std::shared_ptr<ZUMMAdNetworkConfig> networkConfig() const = 0;
  virtual void setNetworkConfig(std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) = 0;
  // An app event of the banner's network; false: not implemented.
  virtual bool adapterDidReceiveAppEvent(ZUMMAdNetworkAdapter& /*adapter*/, const std::string& /*name*/,
                                         const std::string& /*info*/) {
    return false;
  }
};
