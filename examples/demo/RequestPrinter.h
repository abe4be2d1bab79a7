// Prints the road as it happens, one line each with the virtual time: the ad server's
// requests as they arrive, the host's steps and callbacks, and the run's summary:
//
//     0.000s  server    GET static.adnetwork.example/static/sdk/core/...
//     0.002s  delegate  interstitialDidReceiveAd
//
// Thread-safe: the server calls print() on its threads.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include "AdServer.h"

class RequestPrinter {
 public:
  // `elapsed` gives the seconds to print before each request.
  RequestPrinter(std::ostream& out, std::function<double()> elapsed);

  void print(const AdServer::Request& request);
  // One line of the host's: `who` (host, user, delegate, slot) and what happened.
  void say(const std::string& who, const std::string& what);
  // "<outcome>: <n> requests to the ad server in <t> s of virtual time", the last line:
  // requests after it are counted, not printed.
  void summarize(const std::string& outcome);

  std::size_t count() const;

 private:
  // With the mutex held.
  void writeLine(const std::string& who, const std::string& what);

  std::ostream& out_;
  std::function<double()> elapsed_;
  mutable std::mutex mutex_;
  std::size_t count_ = 0;
  bool summarized_ = false;
};
