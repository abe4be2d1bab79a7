#include "sdk/rendering/ZUMNotification.h"

#include <cstdio>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/PercentEncoding.h"
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

struct ZUMNotification::Storage {
  Storage(std::string&& name, nlohmann::ordered_json&& dictionary)
      : parameters(std::move(dictionary)), notification(Token{}, std::move(name), parameters) {}
  // The string values are freed in place: the library's general teardown of a dictionary
  // first moves every value onto a stack of its own.
  ~Storage() {
    if (parameters.is_object()) parameters.get_ref<nlohmann::ordered_json::object_t&>().clear();
  }

  nlohmann::ordered_json parameters;  // a dictionary, before the notification that refers to it
  ZUMNotification notification;
};

std::shared_ptr<const ZUMNotification> ZUMNotification::make(std::string&& name, nlohmann::ordered_json&& parameters) {
  auto storage = std::make_shared<Storage>(std::move(name), std::move(parameters));
  const ZUMNotification* notification = &storage->notification;
  // The owner is moved, not copied: no count to raise and lower again.
  return std::shared_ptr<const ZUMNotification>(std::move(storage), notification);
}

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
  // The name is path() without its leading "/", decoded straight from the text after it
  // (a non-opaque path is empty or begins with "/", which decodes to itself).
  const std::string& encodedPath = url->percentEncodedPath();
  std::string name;
  const bool decoded =
      encodedPath.size() >= 2 && platform::PercentEncoding::decode(std::string_view(encodedPath).substr(1), name);
  if (decoded && !name.empty() && name.back() == '/') name.pop_back();
  if (!decoded || name.empty()) {
    logDropped(*url, "without a name");
    return nullptr;
  }
  std::string storage;
  const std::string_view query = ZUMQueryTextOfURL(*url, storage);
  // A query shorter than the limit cannot hold more pieces than it: no need to count.
  const std::size_t pieces = query.size() < kMaximumParameterCount ? 0 : ZUMQueryPieceCount(query);
  if (pieces > kMaximumParameterCount) {
    logDropped(*url,
               "of " + std::to_string(pieces) + " parameters (at most " + std::to_string(kMaximumParameterCount) + ")");
    return nullptr;
  }
  // The reader gives string values only, so the dictionary is taken as it is.
  return make(std::move(name), ZUMQueryParametersFromString(query, false));
}

std::shared_ptr<const ZUMNotification> ZUMNotification::create(const std::optional<std::string>& name,
                                                               const nlohmann::ordered_json& parameters) {
  if (!name || name->empty()) return nullptr;
  nlohmann::ordered_json strings = nlohmann::ordered_json::object();
  if (parameters.is_object()) {
    // Distinct keys, each put at the end: no look-up among the keys before it.
    auto& members = strings.get_ref<nlohmann::ordered_json::object_t&>();
    for (const auto& [key, value] : parameters.items()) {
      if (value.is_string()) members.emplace_back(key, value);
    }
  }
  return make(std::string(*name), std::move(strings));
}

ZUMNotification::ZUMNotification(Token, std::string&& name, const nlohmann::ordered_json& parameters)
    : name_(std::move(name)), parameters_(parameters) {}

std::string ZUMNotification::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<ZUMNotification: " + std::string(address) + "> name:" + name_ +
         " parameters:" + parameters_.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
