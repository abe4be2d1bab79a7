// What a page controls on its way into a web view: the content process's messages (their
// text comes from page scripts), the HTML of the document and the CSS colours it sets.
// The first byte picks the parser.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/web/CSSColor.h"
#include "platform/web/ContentProtocol.h"
#include "platform/web/HTMLDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0:
      (void)platform::ContentProtocol::decodeMessage(input);
      break;
    case 1: {
      auto document = platform::HTMLDocument::parse(input);
      (void)document;
      break;
    }
    default:
      (void)platform::CSSColor::parse(input);
      break;
  }
  return 0;
}
