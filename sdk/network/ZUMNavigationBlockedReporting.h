// How an auto-click protection without report templates tells the SDK-core page of a
// blocked navigation. The page sits above network delivery; the rendering area
// implements this and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr), the report is logged and dropped.
//
// Called on the main thread.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMNavigationBlockedReporting : public ZUMSharedInterface<ZUMNavigationBlockedReporting> {
 public:
  virtual ~ZUMNavigationBlockedReporting() = default;

  // Posts "navigationBlocked" with `info` ("debugDialog", "navigationURL") into the page.
  virtual void navigationBlocked(const nlohmann::ordered_json& info) = 0;
};
