#include "platform/net/URLRequest.h"

namespace platform {

URLRequest::URLRequest(URL url, CachePolicy cachePolicy, TimeInterval timeoutInterval)
    : url_(std::move(url)), timeout_(timeoutInterval), cachePolicy_(cachePolicy) {}

std::optional<std::string> URLRequest::property(std::string_view key) const {
  auto it = properties_.find(key);
  if (it == properties_.end()) return std::nullopt;
  return it->second;
}

void URLRequest::removeProperty(std::string_view key) {
  auto it = properties_.find(key);
  if (it != properties_.end()) properties_.erase(it);
}

}  // namespace platform
