#include "platform/media/MediaError.h"

#include <nlohmann/json.hpp>

namespace platform {

ErrorPtr makeMediaError(MediaErrorCode code, const std::string& description, ErrorPtr underlying) {
  Error::Details details;
  details.localizedDescription = description;
  details.underlyingError = std::move(underlying);
  return Error::create(kMediaErrorDomain, code, nlohmann::ordered_json::object(), details);
}

}  // namespace platform
