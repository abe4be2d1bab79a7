// Performs exactly one HTTP fetch of an ad response and fills a ZUMAd from it: the body
// becomes the ad's HTML, and the response headers whose names begin "x-qyra-" configure
// the ad, its response type (0 invalid, 1 standard, 2 mediation, 3 native, 4 custom
// rendering) and a few process-wide switches. Every set of headers the fetch sees is
// processed (given headers, each redirect, a cached response, the final response), so
// tracking URLs accumulate over redirects. One fetcher per fetch; the slot makes one for
// every load. Releasing a fetcher cancels it.
//
// create() goes through the registered factory, so tests can substitute their own;
// ZUMRegisterAdFetcher() installs the real one (createDefault()).
//
// Main thread: the connection delivers on the main run loop, and a fetch without a
// request completes through the main operation queue.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"
#include "platform/net/URLRequest.h"
#include "sdk/network/ZUMURLConnectionDelegate.h"

class ZUMAd;
class ZUMAdFetcherDelegate;
class ZUMTiming;

class ZUMAdFetcher : public ZUMURLConnectionDelegate, public std::enable_shared_from_this<ZUMAdFetcher> {
 public:
  ~ZUMAdFetcher() override;
  ZUMAdFetcher(const ZUMAdFetcher&) = delete;
  ZUMAdFetcher& operator=(const ZUMAdFetcher&) = delete;

  // A new fetcher from the registered factory, or nullptr when none is registered.
  static std::shared_ptr<ZUMAdFetcher> create();
  // Installs (or, with an empty function, removes) the factory. Any thread.
  static void setFactory(std::function<std::shared_ptr<ZUMAdFetcher>()> factory);
  // The real fetcher, made directly.
  static std::shared_ptr<ZUMAdFetcher> createDefault();

  // Fetches `request` into a new, empty ad (the SDK-core page's own HTTP requests).
  [[nodiscard]] bool fetchRequestURL(const platform::URLRequest& request,
                                     const std::shared_ptr<ZUMAdFetcherDelegate>& delegate, platform::ErrorPtr* error);
  // Completes `ad`: without HTML it is fetched from its ad URL (a GET with the SDK's user
  // agent); with HTML, or without a URL, nothing is loaded. `headers` (a dictionary),
  // when given, are processed as response headers.
  [[nodiscard]] virtual bool fetchRemainingContentForAd(const std::shared_ptr<ZUMAd>& ad,
                                                        const std::optional<nlohmann::ordered_json>& headers,
                                                        const std::shared_ptr<ZUMAdFetcherDelegate>& delegate,
                                                        platform::ErrorPtr* error);
  // The common entry of both. true when the fetch started: the delegate (held weakly)
  // then hears exactly one result, possibly before this returns (a cached response, or
  // given headers that make the response invalid). false, with the reason in `error`,
  // when it could not start: a second start of one fetcher (code 2 "Could not start
  // fetch. This object has already been used to fetch."; the delegate hears nothing), or
  // a connection that refuses (code 2 "Failed to start ad connection."; the delegate
  // hears that error once, as a failure with status 0, before this returns).
  [[nodiscard]] bool fetchRequestURL(const std::optional<platform::URLRequest>& request,
                                     const std::shared_ptr<ZUMAdFetcherDelegate>& delegate,
                                     const std::optional<nlohmann::ordered_json>& responseHeaders,
                                     const std::shared_ptr<ZUMAd>& responseAd, platform::ErrorPtr* error);
  // Forgets the delegate and stops the connection; the delegate hears nothing more.
  virtual void cancel();

  // Processes one set of response headers (a dictionary; names of any case) into the ad.
  void processHTTPHeaders(const nlohmann::ordered_json& headers);
  // The response type that lower-cased headers call for; an invalid one (0) sets `error`
  // to code 3.
  static std::uint64_t adResponseTypeFromHeaders(const nlohmann::ordered_json& lowercasedHeaders,
                                                 platform::ErrorPtr* error);

  const std::shared_ptr<ZUMAd>& ad() const { return ad_; }
  std::shared_ptr<ZUMAdFetcherDelegate> delegate() const { return delegate_.lock(); }
  const std::shared_ptr<ZUMTiming>& timer() const { return timer_; }
  const std::shared_ptr<ZUMURLConnection>& adConnection() const { return adConnection_; }
  bool adConnectionHasCompleted() const { return adConnectionHasCompleted_; }
  // The HTTP status of the response finally served (or of the failure), once known.
  std::optional<std::int64_t> responseStatusCode() const { return responseStatusCode_; }

  // ZUMURLConnectionDelegate
  platform::ErrorPtr connectionShouldRedirectToURL(ZUMURLConnection& connection, const platform::URL& url) override;
  void connectionWillPerformRedirect(ZUMURLConnection& connection,
                                     const std::shared_ptr<ZUMURLConnectionRedirect>& redirect) override;
  bool connectionLoadShouldUseCacheForResponse(ZUMURLConnection& connection,
                                               const platform::HTTPURLResponse& response) override;
  void connectionLoadDidReceiveCachedResponse(ZUMURLConnection& connection,
                                              const platform::HTTPURLResponse& response) override;
  void connectionLoadDidFinish(ZUMURLConnection& connection, const std::string& body,
                               const platform::URL& baseURL) override;
  void connectionLoadDidFail(ZUMURLConnection& connection, const platform::ErrorPtr& error,
                             std::int64_t httpStatusCode) override;

 protected:
  ZUMAdFetcher();

 private:
  // Where a set of headers comes from: a redirect hop may not decide process-wide
  // switches that only the response finally served should.
  enum class HeaderSource { Final, Redirect };
  void processHeaders(const nlohmann::ordered_json& headers, HeaderSource source);
  void applyHeaders(const nlohmann::ordered_json& headers, HeaderSource source);
  void completedURLConnection();
  void resourceFailedToLoadWithError(const platform::ErrorPtr& error, std::int64_t responseCode);

  std::shared_ptr<ZUMURLConnection> adConnection_;
  std::shared_ptr<ZUMAd> ad_;
  std::weak_ptr<ZUMAdFetcherDelegate> delegate_;
  std::shared_ptr<ZUMTiming> timer_;
  bool hasStartedFetch_ = false;
  bool adConnectionHasCompleted_ = false;
  bool hasNotifiedDelegate_ = false;
  std::optional<std::int64_t> responseStatusCode_;
};

// Installs the real fetcher as the factory of ZUMAdFetcher::create(). Called once at
// start-up.
void ZUMRegisterAdFetcher();
