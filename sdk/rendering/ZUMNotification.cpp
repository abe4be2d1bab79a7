#include "sdk/rendering/ZUMNotification.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMURLUtilities.h"

bool ZUMNotification::isNotificationURL(const std::optional<platform::URL>& url) {
  return ZUMURLHasScheme(url, "tolm");
}

std::shared_ptr<const ZUMNotification> ZUMNotification::createWithNotificationURL(
    const std::optional<platform::URL>& url) {
  if (!isNotificationURL(url)) return nullptr;
  std::optional<std::string> path = url->path();
  if (!path || path->size() < 2) return nullptr;
  // The query reader gives string values only, so its dictionary is taken as it is.
  auto parameters = std::make_shared<nlohmann::ordered_json>(ZUMQueryParametersFromURL(url, false));
  return std::make_shared<const ZUMNotification>(Token{}, path->substr(1), std::move(parameters));
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
