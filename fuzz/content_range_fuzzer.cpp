// What a ranged or whole download is answered with, checked against what was asked: the
// request's Range, the answer's status, Content-Range and Content-Length. No input may
// crash, and an accepted answer must name a length the cache can hold.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/URL.h"
#include "platform/net/ContentRange.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"
#include "sdk/network/ZUMResourceCache.h"

namespace {

// The next line of the input (without its newline).
std::string_view nextLine(std::string_view& input) {
  auto newline = input.find('\n');
  std::string_view line = input.substr(0, newline);
  input.remove_prefix(newline == std::string_view::npos ? input.size() : newline + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First byte: which fields are present; second: the status; then one line per field.
  const std::uint8_t present = data[0];
  const int status = 100 + data[1] * 2;
  std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string range(nextLine(input));
  const std::string contentRange(nextLine(input));
  const std::string contentLength(nextLine(input));

  static const platform::URL url = *platform::URL::fromString("https://cdn.example.com/video.mp4");
  platform::URLRequest request(url);
  if (present & 1) request.setValue(range, "Range");
  platform::HTTPHeaderFields headers;
  if (present & 2) headers.set("Content-Range", contentRange);
  if (present & 4) headers.set("Content-Length", contentLength);
  platform::HTTPURLResponse response(url, status, headers);

  if (auto parsed = platform::ContentRange::parse(contentRange)) {
    if (parsed->firstByte && (!parsed->lastByte || *parsed->lastByte < *parsed->firstByte)) __builtin_trap();
  }
  std::int64_t expected = -2;
  if (!ZUMResourceCache::checkResponse(request, response, &expected)) {
    if (expected < -1) __builtin_trap();
    if ((present & 1) && (status != 206 || expected < 1)) __builtin_trap();
  }
  return 0;
}
