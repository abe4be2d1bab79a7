// Response heads as the network transport receives them from a server: status lines,
// header lines, Content-Length, Content-Range and Set-Cookie values. None may crash or
// hang, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/base/URL.h"
#include "platform/net/ContentRange.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/HTTPResponseHeadParser.h"
#include "platform/net/HTTPURLResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  platform::HTTPResponseHeadParser parser;
  while (!input.empty()) {
    auto newline = input.find('\n');
    std::string_view line = input.substr(0, newline == std::string_view::npos ? input.size() : newline + 1);
    input.remove_prefix(line.size());
    parser.addLine(line);
  }

  static const platform::URL url = *platform::URL::fromString("https://ads.example.com/a/b");
  platform::HTTPURLResponse response(url, parser.statusCode(), parser.headerFields(), parser.httpVersion());
  (void)response.expectedContentLength();
  (void)platform::HTTPURLResponse::localizedStringForStatusCode(parser.statusCode());
  for (const auto& [name, value] : parser.headerFields()) {
    (void)platform::HTTPResponseHeadParser::parseContentLength(value);
    if (auto range = platform::ContentRange::parse(value)) {
      if (range->firstByte && *range->lastByte < *range->firstByte) __builtin_trap();
    }
  }

  auto& cookies = platform::HTTPCookieStorage::sharedStorage();
  cookies.setCookiesFromHeaderValues(parser.setCookieValues(), url);
  (void)cookies.cookieHeaderForURL(url);
  cookies.removeAllCookies();
  return 0;
}
