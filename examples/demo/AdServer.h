// The demo's ad network, on this machine: an HTTP server on 127.0.0.1, on a free port and
// threads of its own, that the host maps the SDK's invented hosts to (hosts()). It serves
//   - the SDK's built-in SDK-core page, at the page's own address, with the network's
//     constants: the interstitial pool on, one ad deep;
//   - the SDK's built-in native-ads page, where the ad loader looks for it;
//   - the application settings the page fetches ("/app_settings");
//   - an interstitial ad for every ad URL the page builds ("/ad?unit=...&format=..."), with
//     the response headers the SDK reads from an ad (impression and click pings, the
//     orientation);
//   - an empty 204 for everything else: pings, click URLs, beacons.
// Every request is handed to the observer as it arrives, on a server thread, before it
// is answered. Stops in its destructor.
//
// Construction and destruction on one thread; the observer must be thread-safe.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

class AdServer {
 public:
  struct Request {
    std::string method;
    std::string host;    // the "Host" the SDK addressed (an invented one)
    std::string target;  // path and query, as sent
  };
  using Observer = std::function<void(const Request&)>;

  // The invented hosts the SDK reaches, all answered here.
  static const std::vector<std::string>& hosts();

  explicit AdServer(Observer observer);
  ~AdServer();
  AdServer(const AdServer&) = delete;
  AdServer& operator=(const AdServer&) = delete;

  int port() const { return port_; }

 private:
  void addRoutes();

  Observer observer_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};
