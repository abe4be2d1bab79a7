// A page's navigation URL turned into a message: never crashes, and every message it
// gives holds a non-empty UTF-8 name taken from the path and only string parameters,
// the same ones the query reader finds and the same ones a plain reading of the rules
// (split, decode a byte at a time, a later key replaces the value in place) finds. The
// query reader agrees with the plain reading on any text too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/URL.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/rendering/ZUMNotification.h"

namespace {

// Percent-decoding the plain way, a byte at a time, then the UTF-8 check.
std::optional<std::string> plainDecoding(std::string_view text) {
  const auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (text.size() - i < 3 || hex(text[i + 1]) < 0 || hex(text[i + 2]) < 0) return std::nullopt;
    out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
    i += 2;
  }
  if (!platform::PercentEncoding::isValidUTF8(out)) return std::nullopt;
  return out;
}

// The query rules read the plain way, one key look-up per pair: quadratic, so only for
// inputs of modest size.
nlohmann::ordered_json plainReading(std::string_view query) {
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find_first_of("&;", start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view piece = query.substr(start, end - start);
    const std::size_t equals = piece.find('=');
    if (equals != std::string_view::npos && piece.find('=', equals + 1) == std::string_view::npos) {
      auto key = plainDecoding(piece.substr(0, equals));
      auto value = plainDecoding(piece.substr(equals + 1));
      if (key && value) parameters[*key] = *value;
    }
    start = end + 1;
  }
  return parameters;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // Any text as a query, bytes a URL cannot hold included.
  if (size <= 64 * 1024) fuzzenv::check(ZUMQueryParametersFromString(text, false) == plainReading(text));
  auto url = platform::URL::fromString(text);
  if (!url) return 0;
  auto message = ZUMNotification::createWithNotificationURL(url);
  if (!message) return 0;

  fuzzenv::check(ZUMNotification::isNotificationURL(url));
  fuzzenv::check(!message->name().empty());
  fuzzenv::check(platform::PercentEncoding::isValidUTF8(message->name()));
  fuzzenv::check("/" + message->name() == url->path());
  const nlohmann::ordered_json& parameters = message->parameters();
  fuzzenv::check(parameters.is_object());
  for (const auto& [key, value] : parameters.items()) {
    fuzzenv::check(value.is_string());
    fuzzenv::check(platform::PercentEncoding::isValidUTF8(key));
    fuzzenv::check(platform::PercentEncoding::isValidUTF8(value.get_ref<const std::string&>()));
  }
  fuzzenv::check(parameters == ZUMQueryParametersFromURL(url, false));
  std::string storage;
  const std::string_view query = ZUMQueryTextOfURL(*url, storage);
  if (query.size() <= 64 * 1024) fuzzenv::check(parameters == plainReading(query));
  (void)message->description();
  return 0;
}
