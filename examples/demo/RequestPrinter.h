// Prints the ad server's requests as they arrive, one line each with the virtual time
// it came at, and the run's one-line summary:
//
//     0.000s  GET static.adnetwork.example/static/sdk/core/...
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
  // "<outcome>: <n> requests to the ad server in <t> s of virtual time", the last line:
  // requests after it are counted, not printed.
  void summarize(const std::string& outcome);

  std::size_t count() const;

 private:
  std::ostream& out_;
  std::function<double()> elapsed_;
  mutable std::mutex mutex_;
  std::size_t count_ = 0;
  bool summarized_ = false;
};
