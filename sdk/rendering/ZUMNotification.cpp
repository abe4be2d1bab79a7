#include "sdk/rendering/ZUMNotification.h"

#include <cstdio>
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

// ZUMQueryParametersFromURL(url, false) for a URL with a query, read in place and in one
// pass: "&" and ";" separate pieces, a piece of exactly two "="-parts is a pair, a later
// key wins.
nlohmann::ordered_json parametersOfQuery(std::string_view query) {
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  auto& members = parameters.get_ref<nlohmann::ordered_json::object_t&>();
  members.reserve(8);
  std::string key, value;
  const std::size_t size = query.size();
  std::size_t start = 0;
  while (start <= size) {
    std::size_t equals = std::string_view::npos;
    int equalsCount = 0;
    bool escaped[2] = {false, false};
    unsigned char high[2] = {0, 0};
    std::size_t end = start;
    for (; end < size; ++end) {
      const char c = query[end];
      if (c == '&' || c == ';') break;
      const int side = equalsCount > 0 ? 1 : 0;
      if (c == '=') {
        if (equalsCount++ == 0) equals = end;
      } else if (c == '%') {
        escaped[side] = true;
      } else {
        high[side] |= static_cast<unsigned char>(c) & 0x80;
      }
    }
    if (equalsCount == 1 &&
        decodeInto(query.substr(start, equals - start), escaped[0], high[0] == 0, key) &&
        decodeInto(query.substr(equals + 1, end - equals - 1), escaped[1], high[1] == 0, value)) {
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
