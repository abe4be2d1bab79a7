// The network transport behind URL connections: libcurl's multi interface on one I/O
// thread owned by the process (made on first use, never torn down). It runs single
// HTTP exchanges: redirects are not followed here but reported, so the loader can show
// each hop to its delegate. TLS peers are verified.
//
// start() and cancel() may be called from any thread. A transfer's client is called on
// the I/O thread, so it must only hand the news on; after cancel() returns on any
// thread, the client may still see a call already under way, never a later one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/net/HTTPHeaderFields.h"

namespace platform::detail {

class TransferClient {
 public:
  virtual ~TransferClient() = default;
  virtual void transferDidReceiveHead(int statusCode, std::string httpVersion, HTTPHeaderFields fields,
                                      std::vector<std::string> setCookieValues) = 0;
  virtual void transferDidReceiveBody(std::string_view bytes) = 0;
  // `errorCode` is 0 on success, else a URL-loading error code.
  virtual void transferDidComplete(std::int64_t errorCode) = 0;
};

struct TransferRequest {
  std::string url;
  std::string method = "GET";
  HTTPHeaderFields headers;
  std::optional<std::string> body;
  TimeInterval timeout = 60;  // real-time idle limit, a back-stop for the loader's own timer
};

class CurlTransport {
 public:
  static CurlTransport& shared();

  // Returns the transfer's id (never 0).
  std::uint64_t start(TransferRequest request, std::shared_ptr<TransferClient> client);
  void cancel(std::uint64_t id);

  // Whether a header name and value may be sent as given: no CR, LF or NUL, and a name
  // made of token characters. Fields that fail are dropped, never sent.
  static bool isSendableField(std::string_view name, std::string_view value);

  struct Impl;

 private:
  CurlTransport();
  Impl* impl_;
};

}  // namespace platform::detail
