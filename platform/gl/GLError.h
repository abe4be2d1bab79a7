// The errors of the platform's OpenGL ES layer: contexts that cannot be made, drawables
// and textures that cannot be built.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/Error.h"

namespace platform {

inline constexpr const char* kGLErrorDomain = "platform.GLError";
enum GLErrorCode : std::int64_t {
  // No OpenGL ES 2 context could be made or made current (a device without GL).
  kGLErrorContextUnavailable = 1,
  // An argument that cannot describe what was asked: a plane the frame lacks, a size that
  // is not the plane's, a format the cache does not make.
  kGLErrorInvalidArgument = 2,
  // GL refused to build the object (the description carries GL's error code).
  kGLErrorCreationFailed = 3,
  // The call needs a current context, and the calling thread has none (or another one).
  kGLErrorNoCurrentContext = 4,
};

ErrorPtr makeGLError(GLErrorCode code, const std::string& description);

}  // namespace platform
