// What a ZUMURLConnection tells its owner about one ad-response load. Every operation is
// required and called on the main thread, in this order: zero or more redirects (each
// asked first, then announced), the final response offered to the memory cache, then
// exactly one of finish or failure. A load answered from the memory cache hears only
// the cached response and the finish.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/net/HTTPURLResponse.h"

class ZUMURLConnection;
class ZUMURLConnectionRedirect;

class ZUMURLConnectionDelegate {
 public:
  virtual ~ZUMURLConnectionDelegate() = default;

  // Asked before following a redirect to `url`. An error stops the load, which is then
  // reported as failed with that error and status -1; nullptr follows the redirect.
  virtual platform::ErrorPtr connectionShouldRedirectToURL(ZUMURLConnection& connection, const platform::URL& url) = 0;
  // A redirect that is being followed.
  virtual void connectionWillPerformRedirect(ZUMURLConnection& connection,
                                             const std::shared_ptr<ZUMURLConnectionRedirect>& redirect) = 0;
  // The final, successful (2xx) response; true lets it enter the memory cache once its
  // body has arrived.
  virtual bool connectionLoadShouldUseCacheForResponse(ZUMURLConnection& connection,
                                                       const platform::HTTPURLResponse& response) = 0;
  // The load is answered from the memory cache with this response.
  virtual void connectionLoadDidReceiveCachedResponse(ZUMURLConnection& connection,
                                                      const platform::HTTPURLResponse& response) = 0;
  // The body as text and the URL it came from (after redirects).
  virtual void connectionLoadDidFinish(ZUMURLConnection& connection, const std::string& body,
                                       const platform::URL& baseURL) = 0;
  // The load failed. `error` is the transport's error, the redirect veto, or nullptr
  // for an HTTP error status. `httpStatusCode` is the status of an HTTP error, 0 for a
  // transport failure, -1 when the load was refused, stopped at a redirect or could not
  // be made.
  virtual void connectionLoadDidFail(ZUMURLConnection& connection, const platform::ErrorPtr& error,
                                     std::int64_t httpStatusCode) = 0;
};
