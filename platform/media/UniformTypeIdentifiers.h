// The uniform type identifier of a MIME type, for the media types the platform plays
// ("video/mp4" -> "public.mpeg-4"). Parameters and case are ignored. Any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// std::nullopt for a MIME type the table does not know.
std::optional<std::string> preferredTypeIdentifierForMIMEType(std::string_view mimeType);

}  // namespace platform
