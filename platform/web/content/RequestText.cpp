#include "platform/web/content/RequestText.h"

#include <cstdint>

namespace platform::content {

std::optional<Request> decodeRequest(std::string_view line) {
  auto json = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  Request request;
  if (auto id = json.find("id"); id != json.end()) request.id = *id;
  if (auto op = json.find("op"); op != json.end() && op->is_string()) request.op = op->get<std::string>();
  return request;
}

std::string toUTF8(std::string_view text) {
  auto surrogateAt = [&](std::size_t i, unsigned char low, unsigned char high) -> int {
    if (i + 2 >= text.size()) return -1;
    const auto b0 = static_cast<unsigned char>(text[i]);
    const auto b1 = static_cast<unsigned char>(text[i + 1]);
    const auto b2 = static_cast<unsigned char>(text[i + 2]);
    if (b0 != 0xED || b1 < low || b1 > high || (b2 & 0xC0) != 0x80) return -1;
    return ((b1 & 0x0F) << 6) | (b2 & 0x3F);  // the low ten bits of the surrogate
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const int high = surrogateAt(i, 0xA0, 0xAF);
    if (high >= 0) {
      const int low = surrogateAt(i + 3, 0xB0, 0xBF);
      if (low >= 0) {
        const std::uint32_t cp = 0x10000 + ((static_cast<std::uint32_t>(high) << 10) | static_cast<std::uint32_t>(low));
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
        i += 6;
        continue;
      }
    }
    if (high >= 0 || surrogateAt(i, 0xB0, 0xBF) >= 0) {
      out += "\xEF\xBF\xBD";
      i += 3;
      continue;
    }
    out += text[i++];
  }
  return out;
}

}  // namespace platform::content
