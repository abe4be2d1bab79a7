// The host's listener for an ad's video. Every operation is optional; each arrives on
// the main queue, on a turn of its own. Held weakly.
#pragma once

#include "ZUMImplemented.h"

class ZUMVideoController;

class ZUMVideoControllerDelegate {
 public:
  virtual ~ZUMVideoControllerDelegate() = default;
  virtual ZUMImplemented videoControllerDidPlayVideo(ZUMVideoController& /*controller*/) { return std::nullopt; }
  virtual ZUMImplemented videoControllerDidPauseVideo(ZUMVideoController& /*controller*/) { return std::nullopt; }
  virtual ZUMImplemented videoControllerDidEndVideoPlayback(ZUMVideoController& /*controller*/) { return std::nullopt; }
  virtual ZUMImplemented videoControllerDidMuteVideo(ZUMVideoController& /*controller*/) { return std::nullopt; }
  virtual ZUMImplemented videoControllerDidUnmuteVideo(ZUMVideoController& /*controller*/) { return std::nullopt; }
};
