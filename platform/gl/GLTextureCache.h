// Makes GL textures from the planes of the bi-planar 4:2:0 frames of platform media
// (PixelBuffer.h), after the platform's video texture cache: plane 0 (luma) as a
// one-channel texture, plane 1 (interleaved Cb/Cr) as a two-channel one, each of its
// plane's size, so a 1921 x 1081 frame gives 1921 x 1081 and 961 x 541.
//
// A GPU shares the decoder's memory; Mesa's software rasterizer cannot, so each texture
// is one upload of its plane (glTexImage2D), which is the floor per plane and frame here.
//
// Create on any thread; make textures and flush where the cache's context is current.
#pragma once

#include <memory>

#include "platform/base/Error.h"
#include "platform/gl/GLTexture.h"

namespace platform {

class GLContext;
class GLTexture;
class PixelBuffer;

class GLTextureCache {
 public:
  // nullptr (with `error`) without a context.
  static std::shared_ptr<GLTextureCache> create(std::shared_ptr<GLContext> context, ErrorPtr* error = nullptr);
  ~GLTextureCache();
  GLTextureCache(const GLTextureCache&) = delete;
  GLTextureCache& operator=(const GLTextureCache&) = delete;

  // A texture of plane `planeIndex` of `frame`: `target` GL_TEXTURE_2D, `internalFormat`
  // equal to `format`, which is GL_RED_EXT (or GL_LUMINANCE) for plane 0 and GL_RG_EXT
  // (or GL_LUMINANCE_ALPHA) for plane 1, `type` GL_UNSIGNED_BYTE, and `width` x `height`
  // the plane's size. The texture binding in force is kept. nullptr, with `error`, for
  // arguments that do not describe the frame (kGLErrorInvalidArgument), without the
  // cache's context current (kGLErrorNoCurrentContext), or when GL refuses.
  [[nodiscard]] std::shared_ptr<GLTexture> createTextureFromImage(const PixelBuffer& frame, unsigned target,
                                                                  int internalFormat, int width, int height,
                                                                  unsigned format, unsigned type, int planeIndex,
                                                                  ErrorPtr* error = nullptr);
  // Deletes the GL textures of the textures dropped so far (the cache's context must be
  // current; otherwise they wait for a later flush).
  void flush();

  const std::shared_ptr<GLContext>& context() const { return context_; }

 private:
  explicit GLTextureCache(std::shared_ptr<GLContext> context);

  std::shared_ptr<GLContext> context_;
  std::shared_ptr<GLTexture::Returns> returns_;
};

}  // namespace platform
