// The network transport behind URL connections: libcurl's multi interface on one I/O
// thread owned by the process (made on first use, never torn down). It runs single
// HTTP exchanges: redirects are not followed here but reported, so the loader can show
// each hop to its delegate. TLS peers are verified.
//
// start() and cancel() may be called from any thread. A transfer's client is called on
// the I/O thread, so it must only hand the news on; after cancel() returns on any
// thread, the client may still see a call already under way, never a later one.
//
// Flow control: each body chunk comes with a receipt, and its bytes count as queued
// until the last copy of the receipt is dropped (by whoever consumed the bytes). A
// transfer with kMaxQueuedBytesPerTransfer queued is paused (the socket is not read) and
// resumes once half of them were consumed, so a consumer that stalls never makes the
// process hold more of a body than that. A body longer than the request's maxBodyBytes
// fails the transfer as it arrives.
//
// Connections are capped, in all and per host (scheme, host and port); transfers past
// the caps wait their turn in the order started, with no time limit of their own. The
// total cap also stays within a quarter of the process's open-file limit.
#pragma once

#include <cstddef>
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
  // The bytes stay queued until the last copy of `receipt` is dropped.
  using BodyReceipt = std::shared_ptr<const void>;
  virtual void transferDidReceiveBody(std::string_view bytes, BodyReceipt receipt) = 0;
  // `errorCode` is 0 on success, else a URL-loading error code.
  virtual void transferDidComplete(std::int64_t errorCode) = 0;
};

struct TransferRequest {
  std::string url;
  std::string method = "GET";
  HTTPHeaderFields headers;
  std::optional<std::string> body;
  TimeInterval timeout = 60;  // real-time idle limit, a back-stop for the loader's own timer
  // A longer body fails the transfer with kURLErrorDataLengthExceedsMaximum.
  std::optional<std::uint64_t> maxBodyBytes;
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

  static constexpr std::size_t kMaxQueuedBytesPerTransfer = 1u << 20;
  static constexpr std::size_t kMaxConnections = 64;
  static constexpr std::size_t kMaxConnectionsPerHost = 16;

  struct Statistics {
    std::size_t queuedBytes = 0;      // body bytes handed on and not yet consumed, all transfers
    std::size_t peakQueuedBytes = 0;  // the most ever queued at once (since the last reset)
    std::size_t running = 0;          // transfers holding a connection
    std::size_t peakRunning = 0;
    std::size_t waiting = 0;  // transfers waiting for a connection
    std::size_t paused = 0;   // transfers paused for their consumer
  };
  Statistics statisticsForTesting();
  void resetPeaksForTesting();
  // Lower caps for a test; 0 restores the default.
  void setConnectionLimitsForTesting(std::size_t total, std::size_t perHost);
  // Waits (real time) until some transfer is paused for its consumer; false on time-out.
  [[nodiscard]] bool waitUntilPausedForTesting(TimeInterval realSeconds);

  struct Impl;

 private:
  CurlTransport();
  Impl* impl_;
};

}  // namespace platform::detail
