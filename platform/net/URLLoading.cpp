#include "platform/net/URLLoading.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/base/ASCIIString.h"

namespace platform {

namespace {

struct Mapping {
  std::string host;
  int port;
};

struct Settings {
  std::mutex mutex;
  std::map<std::string, Mapping> hosts;  // by lower-cased host
  std::atomic<bool> offline{false};
  std::atomic<bool> loopbackOnly{false};
};

Settings& settings() {
  static Settings* instance = new Settings();  // lives as long as the process
  return *instance;
}

bool isLoopback(std::string_view host) {
  return host == "127.0.0.1" || host == "::1" || host == "[::1]" || asciiLowercased(host) == "localhost";
}

}  // namespace

void URLLoading::mapHostForTesting(std::string host, std::string toHost, int toPort) {
  std::lock_guard lock(settings().mutex);
  settings().hosts[asciiLowercased(host)] = Mapping{std::move(toHost), toPort};
}

void URLLoading::removeHostMappingsForTesting() {
  std::lock_guard lock(settings().mutex);
  settings().hosts.clear();
}

void URLLoading::setOffline(bool offline) { settings().offline = offline; }
bool URLLoading::isOffline() { return settings().offline; }
void URLLoading::setLoopbackOnlyForTesting(bool loopbackOnly) { settings().loopbackOnly = loopbackOnly; }

std::optional<URLLoading::Destination> URLLoading::destinationForURL(const URL& url) {
  std::string host = url.host().value_or(std::string());
  {
    std::lock_guard lock(settings().mutex);
    auto it = settings().hosts.find(asciiLowercased(host));
    if (it != settings().hosts.end()) {
      Destination destination;
      std::string authority = it->second.host;
      if (authority.find(':') != std::string::npos) authority = "[" + authority + "]";
      destination.url = "http://" + authority + ":" + std::to_string(it->second.port) + url.percentEncodedPath();
      if (url.percentEncodedPath().empty()) destination.url += "/";
      if (url.query()) destination.url += "?" + *url.query();
      std::string hostHeader = host;
      if (hostHeader.find(':') != std::string::npos) hostHeader = "[" + hostHeader + "]";
      if (url.port()) hostHeader += ":" + std::to_string(*url.port());
      destination.hostHeader = std::move(hostHeader);
      return destination;
    }
  }
  if (settings().loopbackOnly && !isLoopback(host)) return std::nullopt;
  Destination destination;
  // The fragment never goes to the server.
  const std::string& whole = url.absoluteString();
  destination.url = whole.substr(0, whole.find('#'));
  return destination;
}

}  // namespace platform
