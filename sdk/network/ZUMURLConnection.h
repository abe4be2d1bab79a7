// One HTTP load of an ad response, with a process-wide in-memory cache of responses that
// the delegate lets in (keyed by the requested URL). A second load of a cached URL is
// answered at once, without the network, by calling the delegate before
// startWithRequestURL() returns.
//
// Network loads deliver on the main run loop (common modes). Use a connection on the
// main thread only; the memory cache itself is thread-safe. The delegate is held weakly;
// releasing the connection stops its load.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/Error.h"
#include "platform/net/BodyBuffer.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"
#include "sdk/network/ZUMURLConnectionDelegate.h"

namespace platform {
class URLConnection;
}

class ZUMURLConnection : public std::enable_shared_from_this<ZUMURLConnection> {
 public:
  static std::shared_ptr<ZUMURLConnection> create();

  // Starts loading `request` for `delegate`. While a load runs, refuses with false and
  // (2, "Ignoring -- Currently loading <URL>"). A GET whose cache policy does not say
  // "reload" is answered from the memory cache when it holds the URL. A request that
  // cannot be loaded (no URL) is reported as failed with status -1 before this returns.
  [[nodiscard]] bool startWithRequestURL(const platform::URLRequest& request,
                                         const std::shared_ptr<ZUMURLConnectionDelegate>& delegate,
                                         platform::ErrorPtr* error);
  // Forgets the delegate and stops the load; nothing more is reported.
  void cancel();

  ~ZUMURLConnection();
  ZUMURLConnection(const ZUMURLConnection&) = delete;
  ZUMURLConnection& operator=(const ZUMURLConnection&) = delete;

  // Ad HTML and settings are small: a body larger than this fails the load once (status
  // -1, "Response body too large."), as the bytes arrive and before more is kept.
  static constexpr std::size_t kMaximumBodyBytes = 4 * 1024 * 1024;

 private:
  class Loader;
  ZUMURLConnection() = default;

  std::optional<platform::URLRequest> willSendRequest(std::uint64_t generation, platform::URLRequest request,
                                                      const platform::HTTPURLResponse& redirectResponse);
  void didReceiveResponse(std::uint64_t generation, const platform::HTTPURLResponse& response);
  void didReceiveData(std::uint64_t generation, std::string_view data);
  void didFinish(std::uint64_t generation);
  void didFail(std::uint64_t generation, const platform::ErrorPtr& error, std::int64_t status);
  bool isCurrent(std::uint64_t generation) const { return loading_ && generation == generation_; }
  // Ends the current load and hands out its delegate for the last call.
  std::shared_ptr<ZUMURLConnectionDelegate> endLoad();

  std::weak_ptr<ZUMURLConnectionDelegate> delegate_;
  std::shared_ptr<platform::URLConnection> connection_;
  std::uint64_t generation_ = 0;
  bool loading_ = false;
  bool cacheAllowed_ = false;
  bool useCache_ = false;
  std::optional<platform::URL> loadingURL_;
  std::optional<platform::HTTPURLResponse> response_;
  platform::BodyBuffer body_;
};
