#include "platform/gl/GLError.h"

#include <nlohmann/json.hpp>

namespace platform {

ErrorPtr makeGLError(GLErrorCode code, const std::string& description) {
  Error::Details details;
  details.localizedDescription = description;
  return Error::create(kGLErrorDomain, code, nlohmann::ordered_json::object(), details);
}

}  // namespace platform
