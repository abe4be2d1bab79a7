// What a content process reads of a host request line, and how the text a page makes
// (CESU-8 from the script engine) is turned into UTF-8 for the host. Decoding never
// throws; the conversion leaves no encoded surrogate behind, changes nothing in text
// that is UTF-8 already, and never makes text longer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PercentEncoding.h"
#include "platform/web/content/RequestText.h"

namespace {

// Whether `text` holds a whole encoded UTF-16 surrogate (0xED 0xA0..0xBF 0x80..0xBF),
// which UTF-8 forbids. Broken sequences pass through as they are.
bool hasSurrogate(std::string_view text) {
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    const auto b1 = static_cast<unsigned char>(text[i + 1]);
    const auto b2 = static_cast<unsigned char>(text[i + 2]);
    if (static_cast<unsigned char>(text[i]) == 0xED && b1 >= 0xA0 && b1 <= 0xBF && (b2 & 0xC0) == 0x80) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (auto request = platform::content::decodeRequest(input)) {
    (void)request->id.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }

  const std::string text = platform::content::toUTF8(input);
  fuzzenv::check(text.size() <= input.size());
  fuzzenv::check(!hasSurrogate(text));
  if (platform::PercentEncoding::isValidUTF8(input)) fuzzenv::check(text == input);
  return 0;
}
