// One load of a URL request, after the platform's URL connection. The request is offered
// to the registered interception handlers first (see URLProtocol); unclaimed http(s)
// requests go to the network through the loader's I/O thread. The loader follows
// redirects itself, asking the delegate at each hop.
//
// Callbacks reach the delegate on the run loop the connection is scheduled in (by default
// the creating thread's run loop, in the common modes) or on the operation queue given
// with setDelegateQueue(), one at a time and in order. The delegate is held strongly
// until the load finishes, fails or is cancelled.
//
// The request's time-out is a timer on the platform clock (virtual time in tests), reset
// whenever something arrives; when it fires the load fails with kURLErrorTimedOut.
//
// create() and the configuration calls belong to the thread that starts the connection;
// cancel() may be called from any thread and, once it returns on the delivery thread,
// nothing more reaches the delegate.
//
// Body bytes not yet delivered are bounded: a delegate run loop or queue that stalls
// pauses the network transfer (see CurlTransport) instead of letting the body pile up.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Error.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLConnectionDelegate.h"
#include "platform/net/URLRequest.h"

namespace platform {

class OperationQueue;
class RunLoop;

namespace detail {
class URLLoad;
}

class URLConnection : public std::enable_shared_from_this<URLConnection> {
 public:
  // A connection that has not started; start() begins the load.
  static std::shared_ptr<URLConnection> create(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate);

  // Where callbacks go; call before start(). The last call wins.
  void scheduleInRunLoop(RunLoop& runLoop, std::string_view mode);
  void setDelegateQueue(std::shared_ptr<OperationQueue> queue);

  // Fails the load with kURLErrorDataLengthExceedsMaximum as soon as a body passes
  // `bytes`, checked as the bytes arrive rather than once they were delivered. Call
  // before start().
  void limitBodyLength(std::size_t bytes);

  // Starts the load; later calls do nothing. Nothing is delivered before start() returns.
  void start();
  // Stops the load; nothing more is delivered. Safe to call at any time, more than once.
  void cancel();

  const URLRequest& originalRequest() const { return originalRequest_; }
  // The request of the current hop (after redirects).
  URLRequest currentRequest() const;

  using CompletionHandler =
      std::function<void(std::optional<HTTPURLResponse> response, std::string data, ErrorPtr error)>;
  // Loads `request` and calls `completion` once on `queue` (the main operation queue when
  // null): with the response and the whole body, or with an error (no response, empty
  // data). An HTTP error status is a response, not an error. A body larger than
  // `maxBodyBytes` fails the load with kURLErrorDataLengthExceedsMaximum as the bytes
  // arrive; the body kept never takes more memory than that. Returns the connection, for a
  // caller that may give up on the load: cancel() stops it, and `completion` never runs.
  static constexpr std::size_t kMaxAsynchronousBodyBytes = 32u << 20;
  static std::shared_ptr<URLConnection> sendAsynchronousRequest(URLRequest request,
                                                                std::shared_ptr<OperationQueue> queue,
                                                                CompletionHandler completion,
                                                                std::size_t maxBodyBytes = kMaxAsynchronousBodyBytes);

  ~URLConnection();
  URLConnection(const URLConnection&) = delete;
  URLConnection& operator=(const URLConnection&) = delete;

 private:
  friend class detail::URLLoad;
  URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate);

  const URLRequest originalRequest_;
  std::shared_ptr<detail::URLLoad> load_;
};

}  // namespace platform
