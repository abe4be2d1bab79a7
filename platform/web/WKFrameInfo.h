// A frame of a page as the newer engine describes it in navigation actions and alerts:
// whether it is the main frame, and the request of its current document. A plain value;
// main thread.
#pragma once

#include "platform/net/URLRequest.h"

namespace platform {

struct WKFrameInfo {
  bool isMainFrame = true;
  URLRequest request;
};

}  // namespace platform
