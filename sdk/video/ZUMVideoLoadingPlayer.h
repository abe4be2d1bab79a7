// What the video loaders need of the player that shows their item: whether it has told
// the page "canplaythrough" for the current source, and periodic time observers that it
// keeps for its own lifetime. The video player implements it; loaders and items hold it
// weakly.
//
// Main thread only, except that addPeriodicTimeObserver() may be called from any thread
// (the observer is added on the main thread and the token handed to `completion` there).
#pragma once

#include <functional>
#include <memory>

#include "platform/media/MediaTime.h"
#include "platform/media/Player.h"

namespace platform {
class DispatchQueue;
}

class ZUMVideoLoadingPlayer {
 public:
  using Token = platform::Player::TimeObserverToken;
  virtual ~ZUMVideoLoadingPlayer() = default;

  virtual bool hasPostedCanPlayThrough() const = 0;
  // Calls `block` on `queue` every `interval` of playback; `completion` gets the token.
  virtual void addPeriodicTimeObserver(platform::MediaTime interval, std::shared_ptr<platform::DispatchQueue> queue,
                                       std::function<void(platform::MediaTime)> block,
                                       std::function<void(Token)> completion) = 0;
  virtual void removeTimeObserver(const Token& token) = 0;
};
