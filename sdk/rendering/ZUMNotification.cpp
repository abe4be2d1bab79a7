#include "sdk/rendering/ZUMNotification.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/PercentEncoding.h"
#include "sdk/foundation/ZUMURLUtilities.h"

namespace {

// A percent-decoded key or value into `out`; false when it does not decode to UTF-8.
// `escaped` and `ascii` say what the caller saw while scanning, so plain text is taken as
// it stands without another pass.
bool decodeInto(std::string_view text, bool escaped, bool ascii, std::string& out) {
  if (!escaped) {
    if (!ascii && !platform::PercentEncoding::isValidUTF8(text)) return false;
    out.assign(text);
    return true;
  }
  auto decoded = platform::PercentEncoding::decode(text);
  if (!decoded) return false;
  out = std::move(*decoded);
  return true;
}

bool isASCII(std::string_view text) {
  unsigned char high = 0;
  for (char c : text) high |= static_cast<unsigned char>(c);
  return (high & 0x80) == 0;
}

// Where the piece that starts at `from` ends: the nearer "&" or ";", else the end.
std::size_t pieceEnd(std::string_view query, std::size_t from) {
  const char* base = query.data();
  const void* amp = std::memchr(base + from, '&', query.size() - from);
  const std::size_t ampAt = amp ? static_cast<std::size_t>(static_cast<const char*>(amp) - base) : query.size();
  const void* semi = std::memchr(base + from, ';', ampAt - from);
  return semi ? static_cast<std::size_t>(static_cast<const char*>(semi) - base) : ampAt;
}

bool decodePart(std::string_view text, std::string& out) {
  return decodeInto(text, text.find('%') != std::string_view::npos, isASCII(text), out);
}

// ZUMQueryParametersFromURL(url, false) for a URL with a query, read in place: "&" and
// ";" separate pieces, a piece of exactly two "="-parts is a pair, a later key wins.
nlohmann::ordered_json parametersOfQuery(std::string_view query) {
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  auto& members = parameters.get_ref<nlohmann::ordered_json::object_t&>();
  members.reserve(1 + static_cast<std::size_t>(std::count(query.begin(), query.end(), '&') +
                                               std::count(query.begin(), query.end(), ';')));
  std::string key, value;
  std::size_t start = 0;
  while (start <= query.size()) {
    const std::size_t end = pieceEnd(query, start);
    const std::string_view piece = query.substr(start, end - start);
    const std::size_t equals = piece.find('=');
    if (equals != std::string_view::npos && piece.find('=', equals + 1) == std::string_view::npos &&
        decodePart(piece.substr(0, equals), key) && decodePart(piece.substr(equals + 1), value)) {
      if (members.empty()) {
        members.emplace_back(std::move(key), std::move(value));
      } else {
        parameters[key] = std::move(value);
      }
    }
    start = end + 1;
  }
  return parameters;
}

}  // namespace

bool ZUMNotification::isNotificationURL(const std::optional<platform::URL>& url) {
  return ZUMURLHasScheme(url, "tolm");
}

std::shared_ptr<const ZUMNotification> ZUMNotification::createWithNotificationURL(
    const std::optional<platform::URL>& url) {
  if (!isNotificationURL(url)) return nullptr;
  std::optional<std::string> path = url->path();
  if (!path || path->size() < 2) return nullptr;
  path->erase(0, 1);
  // Both readers give string values only, so the dictionary is taken as it is.
  auto parameters = std::make_shared<nlohmann::ordered_json>(
      url->query() ? parametersOfQuery(*url->query()) : ZUMQueryParametersFromURL(url, false));
  return std::make_shared<const ZUMNotification>(Token{}, std::move(*path), std::move(parameters));
}

std::shared_ptr<const ZUMNotification> ZUMNotification::create(const std::optional<std::string>& name,
                                                               const nlohmann::ordered_json& parameters) {
  if (!name || name->empty()) return nullptr;
  auto strings = std::make_shared<nlohmann::ordered_json>(nlohmann::ordered_json::object());
  if (parameters.is_object()) {
    for (const auto& [key, value] : parameters.items()) {
      if (value.is_string()) (*strings)[key] = value;
    }
  }
  return std::make_shared<const ZUMNotification>(Token{}, *name, std::move(strings));
}

ZUMNotification::ZUMNotification(Token, std::string name, std::shared_ptr<const nlohmann::ordered_json> parameters)
    : name_(std::move(name)), parameters_(std::move(parameters)) {}

std::string ZUMNotification::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<ZUMNotification: " + std::string(address) + "> name:" + name_ +
         " parameters:" + parameters_->dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
