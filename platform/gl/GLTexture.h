// A texture that a GLTextureCache made from one plane of a video frame. Dropping the last
// reference hands its GL name back to the cache, which deletes it at its next flush().
// Any thread; the GL name is used where the cache's context is current.
#pragma once

#include <memory>

namespace platform {

class GLTextureCache;

class GLTexture {
 public:
  ~GLTexture();
  GLTexture(const GLTexture&) = delete;
  GLTexture& operator=(const GLTexture&) = delete;

  unsigned target() const { return target_; }
  unsigned name() const { return name_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // The cache's side, shared with its textures (GLTextureCache.cpp).
  struct Returns;

 private:
  friend class GLTextureCache;
  GLTexture(std::shared_ptr<Returns> returns, unsigned target, unsigned name, int width, int height)
      : returns_(std::move(returns)), target_(target), name_(name), width_(width), height_(height) {}

  std::shared_ptr<Returns> returns_;
  const unsigned target_;
  const unsigned name_;
  const int width_, height_;
};

}  // namespace platform
