// The network signals and their request keys (reachability, radio technology, carrier
// codes) and the SDK's web user agent.
//
// Thread-safe. State lives on the network's own serial queue
// ("com.vantor.morvane.network"); reachability changes reach it from the main queue.
//
// requestDictionary() holds:
//   "net"      the link now: "wifi", "cell" or "none";
//   "net_last" the link of the latest reachability notice (the link at start-up until
//              one arrives) as a number: 0 none, 1 Wi-Fi, 2 cellular;
//   "radio"    the radio access technology ("LTE", "WCDMA", ...), on a cellular radio;
//   "mcc", "mnc", "carrier_country" the carrier's codes, each when known.
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace platform {
class DispatchQueue;
}

class ZUMNetwork : public std::enable_shared_from_this<ZUMNetwork> {
 public:
  static std::shared_ptr<ZUMNetwork> sharedInstance();

  nlohmann::ordered_json requestDictionary() const;

  // The user agent of the SDK's web requests; empty until one is set.
  std::string userAgentString() const;
  // Keeps the string when it is not empty.
  void setUserAgentString(const std::string& userAgent);

  ZUMNetwork();
  ~ZUMNetwork();
  ZUMNetwork(const ZUMNetwork&) = delete;
  ZUMNetwork& operator=(const ZUMNetwork&) = delete;

 private:
  void start();

  std::shared_ptr<platform::DispatchQueue> queue_;
  int lastLink_ = 0;       // on queue_
  std::string userAgent_;  // on queue_
  int reachabilityToken_ = 0;
};
