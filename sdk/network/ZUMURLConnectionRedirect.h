// One redirect an ad response went through: the redirect response and the request that
// followed it. Ads keep these in their list of redirects. Immutable once made; use it
// from any thread.
#pragma once

#include <memory>
#include <utility>

#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

class ZUMURLConnectionRedirect {
 public:
  static std::shared_ptr<ZUMURLConnectionRedirect> create(platform::HTTPURLResponse response,
                                                          platform::URLRequest request) {
    return std::make_shared<ZUMURLConnectionRedirect>(std::move(response), std::move(request));
  }

  // The response that redirected.
  const platform::HTTPURLResponse& response() const { return response_; }
  // The request sent next.
  const platform::URLRequest& request() const { return request_; }

  ZUMURLConnectionRedirect(platform::HTTPURLResponse response, platform::URLRequest request)
      : response_(std::move(response)), request_(std::move(request)) {}

 private:
  const platform::HTTPURLResponse response_;
  const platform::URLRequest request_;
};
