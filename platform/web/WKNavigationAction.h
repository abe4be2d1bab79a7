// A navigation the newer engine asks its navigation delegate about: the request, how the
// navigation came about, the frame that asked for it and the frame it targets (none for
// a new window). A plain value; main thread.
#pragma once

#include <optional>

#include "platform/net/URLRequest.h"
#include "platform/web/WKFrameInfo.h"

namespace platform {

// Numbered as the newer engine numbers it ("other" is -1).
enum class WKNavigationType : int {
  LinkActivated = 0,
  FormSubmitted = 1,
  BackForward = 2,
  Reload = 3,
  FormResubmitted = 4,
  Other = -1,
};

struct WKNavigationAction {
  URLRequest request;
  WKNavigationType navigationType = WKNavigationType::Other;
  WKFrameInfo sourceFrame;
  // Absent when the navigation asks for a new window.
  std::optional<WKFrameInfo> targetFrame;
};

}  // namespace platform
