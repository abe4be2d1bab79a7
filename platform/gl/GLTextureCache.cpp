#include "platform/gl/GLTextureCache.h"

#include <mutex>
#include <string>
#include <vector>

#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>

#include "platform/gl/GLContext.h"
#include "platform/gl/GLError.h"
#include "platform/gl/GLTexture.h"
#include "platform/media/PixelBuffer.h"

namespace platform {

struct GLTexture::Returns {
  std::mutex mutex;
  std::vector<GLuint> names;
};

GLTexture::~GLTexture() {
  std::lock_guard lock(returns_->mutex);
  returns_->names.push_back(name_);
}

namespace {

bool formatFitsPlane(unsigned format, int plane) {
  if (plane == 0) return format == GL_RED_EXT || format == GL_LUMINANCE;
  return format == GL_RG_EXT || format == GL_LUMINANCE_ALPHA;
}

// Why the arguments do not describe a plane of the frame; empty when they do.
std::string invalidArguments(const PixelBuffer& frame, unsigned target, int internalFormat, int width, int height,
                             unsigned format, unsigned type, int plane) {
  if (plane < 0 || plane >= frame.planeCount()) return "the frame has no plane " + std::to_string(plane);
  if (frame.width() == 0 || frame.height() == 0) return "the frame is empty";
  if (target != GL_TEXTURE_2D || type != GL_UNSIGNED_BYTE) return "only 2D textures of unsigned bytes are made";
  if (static_cast<unsigned>(internalFormat) != format || !formatFitsPlane(format, plane)) {
    return "format " + std::to_string(format) + " does not fit plane " + std::to_string(plane);
  }
  if (width != frame.widthOfPlane(plane) || height != frame.heightOfPlane(plane)) {
    return std::to_string(width) + "x" + std::to_string(height) + " is not the size of plane " + std::to_string(plane);
  }
  return {};
}

}  // namespace

std::shared_ptr<GLTextureCache> GLTextureCache::create(std::shared_ptr<GLContext> context, ErrorPtr* error) {
  if (!context) {
    if (error) *error = makeGLError(kGLErrorContextUnavailable, "a texture cache needs a context");
    return nullptr;
  }
  return std::shared_ptr<GLTextureCache>(new GLTextureCache(std::move(context)));
}

GLTextureCache::GLTextureCache(std::shared_ptr<GLContext> context)
    : context_(std::move(context)), returns_(std::make_shared<GLTexture::Returns>()) {}

GLTextureCache::~GLTextureCache() { flush(); }

std::shared_ptr<GLTexture> GLTextureCache::createTextureFromImage(const PixelBuffer& frame, unsigned target,
                                                                  int internalFormat, int width, int height,
                                                                  unsigned format, unsigned type, int planeIndex,
                                                                  ErrorPtr* error) {
  auto fail = [&](GLErrorCode code, const std::string& why) -> std::shared_ptr<GLTexture> {
    if (error) *error = makeGLError(code, why);
    return nullptr;
  };
  if (auto why = invalidArguments(frame, target, internalFormat, width, height, format, type, planeIndex);
      !why.empty()) {
    return fail(kGLErrorInvalidArgument, why);
  }
  if (!context_->isCurrent()) return fail(kGLErrorNoCurrentContext, "the cache's context is not current");
  while (glGetError() != GL_NO_ERROR) {
  }
  GLint previous = 0, alignment = 4;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  // Rows of odd planes (961 pairs of bytes) are packed, not padded to 4 bytes.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, type, frame.baseAddressOfPlane(planeIndex));
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  if (const GLenum glError = glGetError(); glError != GL_NO_ERROR) {
    glDeleteTextures(1, &name);
    return fail(kGLErrorCreationFailed, "glTexImage2D failed with GL error " + std::to_string(glError));
  }
  return std::shared_ptr<GLTexture>(new GLTexture(returns_, target, name, width, height));
}

void GLTextureCache::flush() {
  if (!context_->isCurrent()) return;
  std::vector<GLuint> names;
  {
    std::lock_guard lock(returns_->mutex);
    names.swap(returns_->names);
  }
  if (!names.empty()) glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
}

}  // namespace platform
