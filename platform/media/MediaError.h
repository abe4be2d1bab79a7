// The media framework's errors: items and assets that cannot be opened, read or decoded.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/Error.h"

namespace platform {

inline constexpr const char* kMediaErrorDomain = "platform.MediaError";
enum MediaErrorCode : std::int64_t {
  kMediaErrorUnknown = 1,
  // No byte source for the URL: a scheme without a resource-loader delegate, or one the
  // delegate declined.
  kMediaErrorUnsupportedURL = 2,
  // The bytes are not a container or codec this platform reads.
  kMediaErrorFormatNotRecognized = 3,
  // The file's index points past its end.
  kMediaErrorTruncated = 4,
  kMediaErrorDecodeFailed = 5,
  // The resource could not be read (the underlying error says why).
  kMediaErrorResourceUnavailable = 6,
};

// An error of the media domain with `description`, over `underlying` when given.
ErrorPtr makeMediaError(MediaErrorCode code, const std::string& description, ErrorPtr underlying = nullptr);

}  // namespace platform
