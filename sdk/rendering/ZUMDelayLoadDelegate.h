// What the page-load delay handler tells the ad-view delegate that waits on it: the
// page's count of holds on the load changed, or the handler gave up (cancelled).
// Counts are signed 64-bit. Both operations are required.
//
// Called on the main thread.
#pragma once

#include <cstdint>

class ZUMTOLMHandler;

class ZUMDelayLoadDelegate {
 public:
  virtual ~ZUMDelayLoadDelegate() = default;
  virtual void loadHandlerDidChangeDelay(ZUMTOLMHandler& handler, std::int64_t from, std::int64_t to) = 0;
  virtual void loadHandlerDidCancel(ZUMTOLMHandler& handler) = 0;
};
