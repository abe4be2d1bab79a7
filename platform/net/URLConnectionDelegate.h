// What a URLConnection tells its owner, in this order: zero or more redirect hops, one
// response, data in chunks, then exactly one of finish or failure. Every operation has a
// default body, so a delegate implements only what it needs. Called on the run loop or
// operation queue the connection was scheduled on, one call at a time.
#pragma once

#include <optional>
#include <string_view>

#include "platform/base/Error.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

namespace platform {

class URLConnection;

class URLConnectionDelegate {
 public:
  virtual ~URLConnectionDelegate() = default;

  // A redirect: `request` is what the loader would send next (the Location resolved
  // against the redirecting URL; a POST turned into a GET without body for 301, 302 and
  // 303). Return it, a changed request, or std::nullopt to stop there: the redirect
  // response is then delivered as the final response, with its body and the finish.
  virtual std::optional<URLRequest> connectionWillSendRequest(URLConnection& connection, URLRequest request,
                                                              const HTTPURLResponse& redirectResponse);
  virtual void connectionDidReceiveResponse(URLConnection& connection, const HTTPURLResponse& response);
  virtual void connectionDidReceiveData(URLConnection& connection, std::string_view data);
  virtual void connectionDidFinishLoading(URLConnection& connection);
  // An error of kURLErrorDomain carrying the failing URL string.
  virtual void connectionDidFailWithError(URLConnection& connection, const ErrorPtr& error);
};

}  // namespace platform
