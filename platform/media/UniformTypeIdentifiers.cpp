#include "platform/media/UniformTypeIdentifiers.h"

#include <utility>

#include "platform/base/ASCIIString.h"

namespace platform {

std::optional<std::string> preferredTypeIdentifierForMIMEType(std::string_view mimeType) {
  static constexpr std::pair<std::string_view, std::string_view> kTable[] = {
      {"video/mp4", "public.mpeg-4"},
      {"video/x-m4v", "public.mpeg-4"},
      {"application/mp4", "public.mpeg-4"},
      {"audio/mp4", "public.mpeg-4-audio"},
      {"audio/x-m4a", "public.mpeg-4-audio"},
      {"audio/aac", "public.aac-audio"},
      {"audio/mpeg", "public.mp3"},
      {"audio/mp3", "public.mp3"},
      {"video/mpeg", "public.mpeg"},
      {"video/mp2t", "public.mpeg-2-transport-stream"},
      {"video/3gpp", "public.3gpp"},
      {"audio/3gpp", "public.3gpp"},
      {"video/3gpp2", "public.3gpp2"},
      {"audio/wav", "public.wav"},
      {"audio/x-wav", "public.wav"},
      {"video/x-msvideo", "public.avi"},
      {"application/x-mpegurl", "public.m3u-playlist"},
      {"audio/x-mpegurl", "public.m3u-playlist"},
  };
  std::string_view type = mimeType.substr(0, mimeType.find(';'));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  for (const auto& [mime, identifier] : kTable) {
    if (equalsIgnoringASCIICase(type, mime)) return std::string(identifier);
  }
  return std::nullopt;
}

}  // namespace platform
