// What the 360-degree player view (ZUMVideoPlayerGLViewImpl) tells its delegate: whether
// its render thread could set up the spherical shader for a player. Called later on the
// main queue, once per render thread, never after the delegate was cleared or the view
// stopped that thread.
#pragma once

#include <memory>

#include "platform/base/Error.h"

namespace platform {
class Player;
}

class ZUMVideoPlayerGLViewImpl;

class ZUMVideoPlayerGLViewDelegate {
 public:
  virtual ~ZUMVideoPlayerGLViewDelegate() = default;
  virtual void videoPlayerGLViewDidSetUpVideoPlayer(ZUMVideoPlayerGLViewImpl& view,
                                                    const std::shared_ptr<platform::Player>& player) = 0;
  virtual void videoPlayerGLViewDidFailToSetupVideoPlayer(ZUMVideoPlayerGLViewImpl& view,
                                                          const std::shared_ptr<platform::Player>& player,
                                                          const platform::ErrorPtr& error) = 0;
};
