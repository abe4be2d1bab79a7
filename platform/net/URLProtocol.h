// Interception of URL loading, after the platform's URL protocols. A handler class is
// registered with the platform; every load (connections, web views' pages and scripts)
// asks the registered classes, last registered first, whether one claims the request.
// The claiming class makes one handler for that load, which answers through its client
// instead of the network: a response, data, a finish or a failure, or a redirect (the
// connection then asks its delegate and loads the new request, which is offered to the
// handlers again).
//
// A handler that re-issues the request itself marks its copy with a property
// (URLRequest::setProperty) and declines requests carrying that marker, so it does not
// claim its own load.
//
// canInitWithRequest(), the handler's constructor, startLoading() and stopLoading() run
// on the URL-loading queue (a serial dispatch queue; under the tests' deterministic
// executor it runs on the test's thread). The client may be called from any thread;
// after stopLoading() its calls are ignored.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <typeindex>
#include <typeinfo>

#include "platform/base/Error.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

namespace platform {

class DispatchQueue;
class URLProtocol;

// How a handler answers; implemented by the loader.
class URLProtocolClient {
 public:
  virtual ~URLProtocolClient() = default;
  virtual void URLProtocolWasRedirectedToRequest(URLProtocol& protocol, URLRequest request,
                                                 HTTPURLResponse redirectResponse) = 0;
  virtual void URLProtocolDidReceiveResponse(URLProtocol& protocol, HTTPURLResponse response) = 0;
  virtual void URLProtocolDidLoadData(URLProtocol& protocol, std::string_view data) = 0;
  virtual void URLProtocolDidFinishLoading(URLProtocol& protocol) = 0;
  virtual void URLProtocolDidFailWithError(URLProtocol& protocol, ErrorPtr error) = 0;
};

class URLProtocol : public std::enable_shared_from_this<URLProtocol> {
 public:
  using CanInit = std::function<bool(const URLRequest&)>;
  using Make = std::function<std::shared_ptr<URLProtocol>(const URLRequest&, std::shared_ptr<URLProtocolClient>)>;

  // Registers handler class P: it needs `static bool canInitWithRequest(const URLRequest&)`
  // and a constructor (const URLRequest&, std::shared_ptr<URLProtocolClient>).
  // Registering a class again makes it the first asked.
  template <class P>
  static void registerClass() {
    registerClass(std::type_index(typeid(P)), &P::canInitWithRequest,
                  [](const URLRequest& request, std::shared_ptr<URLProtocolClient> client) {
                    return std::make_shared<P>(request, std::move(client));
                  });
  }
  template <class P>
  static void unregisterClass() {
    unregisterClass(std::type_index(typeid(P)));
  }
  static void registerClass(std::type_index key, CanInit canInit, Make make);
  static void unregisterClass(std::type_index key);

  // The handler a registered class makes for `request`, or nullptr when none claims it.
  // Call on the URL-loading queue.
  static std::shared_ptr<URLProtocol> handlerForRequest(const URLRequest& request,
                                                        std::shared_ptr<URLProtocolClient> client);
  // The serial queue the handlers run on.
  static const std::shared_ptr<DispatchQueue>& loadingQueue();

  URLProtocol(const URLRequest& request, std::shared_ptr<URLProtocolClient> client);
  virtual ~URLProtocol();

  const URLRequest& request() const { return request_; }
  const std::shared_ptr<URLProtocolClient>& client() const { return client_; }

  virtual void startLoading() = 0;
  // The load was cancelled or redirected: stop answering.
  virtual void stopLoading() = 0;

 private:
  const URLRequest request_;
  const std::shared_ptr<URLProtocolClient> client_;
};

}  // namespace platform
