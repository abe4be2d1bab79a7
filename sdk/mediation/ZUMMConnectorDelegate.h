// The connectors' view of the waterfall: what a network delivered or why it failed.
// Implemented by the mediation manager; the connector holds it weakly. Main thread.
#pragma once

#include <memory>

#include "platform/base/Error.h"

class ZUMMAdNetworkConnectorImpl;
class ZUMMediatedAd;
class ZUMSlot;

namespace platform {
class View;
}

class ZUMMConnectorDelegate {
 public:
  using Connector = ZUMMAdNetworkConnectorImpl;
  virtual ~ZUMMConnectorDelegate() = default;
  virtual void adRequestReturnsFromConnectorWithView(Connector& connector,
                                                     const std::shared_ptr<platform::View>& view) = 0;
  // The network's interstitial object, when it hands one over.
  virtual void adRequestReturnsFromConnectorWithInterstitial(Connector& connector,
                                                             const std::shared_ptr<void>& interstitial) = 0;
  virtual void adRequestReturnsFromConnectorWithMediatedAd(Connector& connector,
                                                           const std::shared_ptr<ZUMMediatedAd>& mediatedAd) = 0;
  virtual void adRequestFailedFromConnectorWithError(Connector& connector, const platform::ErrorPtr& error) = 0;
  // Whether the owner of the slot's ad processes mediated ads itself.
  virtual bool connectorShouldReturnMediatedAd(Connector& connector) = 0;
  // The slot the waterfall runs for: the connector answers about its request and ad,
  // and relays the adapter's screen and click events to it (nullptr once gone).
  virtual std::shared_ptr<ZUMSlot> slot() const = 0;
};
