// Hears the active-view messages that the SDK-core page sends about the units it
// measures: a unit became visible or hidden, or the page stopped tracking it. The
// SDK-core web view implements it; the active-view handler of an ad view's chain has no
// delegate, so there these calls go nowhere.
//
// Called on the main thread.
#pragma once

#include <cstdint>

class ZUMTOLMHandler;

class ZUMActiveViewTOLMHandlerDelegate {
 public:
  virtual ~ZUMActiveViewTOLMHandlerDelegate() = default;
  virtual void activeViewTOLMHandlerDidReceiveVisibilityNotification(ZUMTOLMHandler& handler, bool visible,
                                                                     std::uint64_t activeViewID) = 0;
  virtual void activeViewTOLMHandlerDidReceiveUntrackNotification(ZUMTOLMHandler& handler,
                                                                  std::uint64_t activeViewID) = 0;
};
