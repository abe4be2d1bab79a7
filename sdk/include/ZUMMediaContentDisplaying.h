// What a native ad's media offers the host's media view: a load of its video, the view to
// show (a placeholder until the video has loaded), and the controller of its video. The
// SDK's own media content (ZUMMediaContent) and mediated ads' media meet it.
//
// Main thread only; each load's completion runs once, on the main queue.
#pragma once

#include <functional>
#include <memory>

#include "platform/base/Error.h"

namespace platform {
class View;
}
class ZUMVideoControlling;

class ZUMMediaContentDisplaying {
 public:
  using CompletionHandler = std::function<void(platform::ErrorPtr error)>;

  virtual ~ZUMMediaContentDisplaying() = default;
  // `completion` hears nullptr once the video can be shown, or the failure.
  virtual void loadVideoWithCompletionHandler(CompletionHandler completion) = 0;
  // The view to show now; nullptr when there is nothing to show yet.
  virtual std::shared_ptr<platform::View> mediaView() = 0;
  // nullptr while there is no video to control.
  virtual std::shared_ptr<ZUMVideoControlling> videoController() const = 0;
};
