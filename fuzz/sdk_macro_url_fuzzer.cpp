// The SDK's macro and URL helpers on arbitrary input: the input is cut at NUL bytes
// into a template (or URL), a macro name, a value and a query key. Nothing crashes, and
// every URL a helper returns is one the platform parses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/URL.h"
#include "sdk/foundation/ZUMMacros.h"
#include "sdk/foundation/ZUMURLUtilities.h"

namespace {

std::vector<std::string_view> pieces(std::string_view input) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (parts.size() < 3) {
    std::size_t end = input.find('\0', start);
    if (end == std::string_view::npos) break;
    parts.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  parts.push_back(input.substr(start));
  while (parts.size() < 4) parts.emplace_back();
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parts = pieces(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string text(parts[0]);
  std::string_view name = parts[1], value = parts[2], key = parts[3];

  std::string filled = text;
  ZUMReplaceMacro(filled, name, value);
  ZUMReplaceMacro(filled, name, ZUMPercentEncodedString(value));
  ZUMRemoveUnreplacedMacros(filled);
  std::size_t before = filled.size();
  ZUMUnescapeMacroAtSigns(filled);
  fuzzenv::check(filled.size() <= before);

  for (const std::string& candidate : {text, filled}) {
    auto url = platform::URL::fromString(candidate);
    (void)ZUMURLsFromWhitespaceSeparatedString(candidate);
    if (!url) continue;
    auto parameters = ZUMQueryParametersFromURL(url, true);
    fuzzenv::check(parameters.is_object());
    (void)ZUMQueryValuesForKey(url, key);
    (void)ZUMURLInnerPathString(*url);
    (void)ZUMURLStringWithoutFragment(*url);
    (void)ZUMURLHasScheme(url, key);
    (void)ZUMURLHasHost(url, key);
    nlohmann::ordered_json added = {{std::string(key), std::string(value)}, {"n", 1.5}, {"e", ""}};
    if (auto appended = ZUMURLByAppendingQueryParameters(*url, added)) {
      fuzzenv::check(platform::URL::fromString(appended->absoluteString()).has_value());
    }
    (void)ZUMURLMatchesAnyPattern(url, {std::string(name)});
  }
  return 0;
}
