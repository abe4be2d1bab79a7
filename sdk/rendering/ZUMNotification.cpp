#include "sdk/rendering/ZUMNotification.h"

#include <cstdio>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"

namespace {

// What a dropped message's log line shows of its URL.
constexpr std::size_t kLoggedURLBytes = 256;

void logDropped(const platform::URL& url, const std::string& why) {
  const std::string& text = url.absoluteString();
  ZUMLog(kZUMLogLevelDefault, "Dropped an in-page message " + why + ": " + text.substr(0, kLoggedURLBytes) +
                                  (text.size() > kLoggedURLBytes ? "..." : ""));
}

}  // namespace

bool ZUMNotification::isNotificationURL(const std::optional<platform::URL>& url) {
  // A scheme is ASCII, so ASCII case folding is the whole of it.
  return url && url->scheme() && platform::equalsIgnoringASCIICase(*url->scheme(), "tolm");
}

std::shared_ptr<const ZUMNotification> ZUMNotification::createWithNotificationURL(
    const std::optional<platform::URL>& url) {
  if (!isNotificationURL(url)) return nullptr;
  const std::size_t bytes = url->absoluteString().size();
  if (bytes > kMaximumURLBytes) {
    logDropped(*url, "of " + std::to_string(bytes) + " bytes (at most " + std::to_string(kMaximumURLBytes) + ")");
    return nullptr;
  }
  std::optional<std::string> path = url->path();
  if (!path || path->size() < 2) {
    logDropped(*url, "without a name");
    return nullptr;
  }
  std::string storage;
  const std::string_view query = ZUMQueryTextOfURL(*url, storage);
  // A query shorter than the limit cannot hold more pieces than it: no need to count.
  const std::size_t pieces = query.size() < kMaximumParameterCount ? 0 : ZUMQueryPieceCount(query);
  if (pieces > kMaximumParameterCount) {
    logDropped(*url, "of " + std::to_string(pieces) + " parameters (at most " +
                         std::to_string(kMaximumParameterCount) + ")");
    return nullptr;
  }
  path->erase(0, 1);
  // The reader gives string values only, so the dictionary is taken as it is.
  return std::make_shared<const ZUMNotification>(
      Token{}, std::move(*path),
      std::make_shared<const nlohmann::ordered_json>(ZUMQueryParametersFromString(query, false)));
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
