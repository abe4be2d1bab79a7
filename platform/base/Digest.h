// Message digests, as the platform's crypto library gives them. Used to name files and
// identifiers, never to protect anything. Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The 32-digit lower-case hexadecimal MD5 of the bytes.
std::string md5Hex(std::string_view bytes);

}  // namespace platform
