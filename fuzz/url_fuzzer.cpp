// URL parsing, resolution and percent-decoding of arbitrary bytes: never crashes, and
// every URL's string parses back to the same components.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/URL.h"

namespace {

bool sameComponents(const platform::URL& a, const platform::URL& b) {
  return a.absoluteString() == b.absoluteString() && a.scheme() == b.scheme() && a.user() == b.user() &&
         a.password() == b.password() && a.host() == b.host() && a.port() == b.port() &&
         a.percentEncodedPath() == b.percentEncodedPath() && a.path() == b.path() && a.query() == b.query() &&
         a.fragment() == b.fragment() && a.resourceSpecifier() == b.resourceSpecifier() &&
         a.pathComponents() == b.pathComponents();
}

void roundTrip(const platform::URL& url) {
  auto again = platform::URL::fromString(url.absoluteString());
  fuzzenv::check(again.has_value());
  fuzzenv::check(sameComponents(url, *again));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  if (auto decoded = platform::PercentEncoding::decode(text)) {
    fuzzenv::check(platform::PercentEncoding::isValidUTF8(*decoded));
    auto encoded = platform::PercentEncoding::encode(*decoded, platform::PercentEncoding::alphanumerics());
    fuzzenv::check(platform::PercentEncoding::decode(encoded) == decoded);
  }

  auto url = platform::URL::fromString(text);
  if (url) {
    roundTrip(*url);
    roundTrip(url->appendingPathComponent(text));
  }

  static const platform::URL base = *platform::URL::fromString("http://a/b/c/d;p?q");
  if (auto resolved = platform::URL::fromString(text, base)) roundTrip(*resolved);
  if (url) {
    if (auto resolved = platform::URL::fromString("../x/./y?z#w", *url)) roundTrip(*resolved);
  }
  return 0;
}
