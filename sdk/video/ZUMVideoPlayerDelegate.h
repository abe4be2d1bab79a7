// What the video player tells its owner (the ad view): a source has loaded and the page
// was told "canplaythrough". Called later on the main queue, never after the player went.
#pragma once

#include <memory>
#include <optional>

#include "platform/base/URL.h"

namespace platform {
class Player;
}

class ZUMVideoPlayerImpl;

class ZUMVideoPlayerDelegate {
 public:
  virtual ~ZUMVideoPlayerDelegate() = default;
  virtual void playerDidLoadURL(ZUMVideoPlayerImpl& player, const std::optional<platform::URL>& url,
                                const std::shared_ptr<platform::Player>& avPlayer) = 0;
};
