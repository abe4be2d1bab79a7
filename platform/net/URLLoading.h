// Process-wide switches of URL loading, meant for tests: host mapping (the SDK's https
// hosts answered by the loopback server over plain http while every caller keeps
// seeing the original URL), an offline switch, and a guard that keeps tests off any
// address but the loopback. Thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/base/URL.h"

namespace platform {

class URLLoading {
 public:
  // Requests to `host` (any scheme of http and https, any port) go to
  // http://`toHost`:`toPort` instead, with the original "Host" header.
  static void mapHostForTesting(std::string host, std::string toHost, int toPort);
  static void removeHostMappingsForTesting();

  // While offline, every network load fails with kURLErrorNotConnectedToInternet
  // (interception handlers still answer, as on a device).
  static void setOffline(bool offline);
  static bool isOffline();

  // While on, a network load to any host other than 127.0.0.1, ::1 or localhost (after
  // mapping) fails with kURLErrorCannotFindHost without leaving the machine.
  static void setLoopbackOnlyForTesting(bool loopbackOnly);

  // Where the network transport actually sends a request for `url`.
  struct Destination {
    std::string url;                        // the URL to connect to
    std::optional<std::string> hostHeader;  // the "Host" to send when mapped
  };
  // std::nullopt when the loopback guard refuses the host.
  [[nodiscard]] static std::optional<Destination> destinationForURL(const URL& url);
};

}  // namespace platform
