// A URL request as the platform's URL loading takes it: method, URL, header fields,
// body bytes, time-out, cache policy, main-document URL, whether cookies are handled,
// and properties that interception handlers attach (see URLProtocol). A value type;
// copy it freely and use it from any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Clock.h"
#include "platform/base/URL.h"
#include "platform/net/HTTPHeaderFields.h"

namespace platform {

// The property under which the web engines tag the requests a page makes for its
// resources with the identifier of that page (WebView::pageIdentifier()), so that
// interception can tell which web view a load belongs to.
inline constexpr std::string_view kURLRequestWebPageIdentifierProperty = "WebPageIdentifier";

class URLRequest {
 public:
  enum class CachePolicy {
    UseProtocolCachePolicy = 0,
    ReloadIgnoringLocalCacheData = 1,
    ReturnCacheDataElseLoad = 2,
    ReturnCacheDataDontLoad = 3,
  };

  static constexpr TimeInterval kDefaultTimeoutInterval = 60;

  // A request without a URL (the platform allows one; loading it fails with a bad-URL
  // error).
  URLRequest() = default;
  // A GET for `url`.
  explicit URLRequest(URL url, CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy,
                      TimeInterval timeoutInterval = kDefaultTimeoutInterval);

  const std::optional<URL>& url() const { return url_; }
  void setURL(std::optional<URL> url) { url_ = std::move(url); }

  // "GET" unless set; upper-cased as given by the caller (no normalisation).
  const std::string& httpMethod() const { return method_; }
  void setHTTPMethod(std::string method) { method_ = std::move(method); }

  const HTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
  void setAllHTTPHeaderFields(HTTPHeaderFields fields) { headers_ = std::move(fields); }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const { return headers_.value(name); }
  // Sets (or with std::nullopt removes) one field.
  void setValue(std::optional<std::string> value, std::string_view field) { headers_.set(field, std::move(value)); }
  // Appends to a field, comma-separated.
  void addValue(std::string_view value, std::string_view field) { headers_.add(field, value); }

  // The body bytes; none by default (a GET carries none even when set).
  const std::optional<std::string>& httpBody() const { return body_; }
  void setHTTPBody(std::optional<std::string> body) { body_ = std::move(body); }

  // Seconds the load may stay idle before it fails with a time-out; a value that is not
  // a positive finite number stands for the default.
  TimeInterval timeoutInterval() const { return timeout_; }
  void setTimeoutInterval(TimeInterval seconds) { timeout_ = seconds; }

  CachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(CachePolicy policy) { cachePolicy_ = policy; }

  // The URL of the page this request loads for (cookie policy); absent by default.
  const std::optional<URL>& mainDocumentURL() const { return mainDocumentURL_; }
  void setMainDocumentURL(std::optional<URL> url) { mainDocumentURL_ = std::move(url); }

  // Whether stored cookies are sent and received cookies stored; on by default.
  bool httpShouldHandleCookies() const { return handleCookies_; }
  void setHTTPShouldHandleCookies(bool handle) { handleCookies_ = handle; }

  // Properties that interception handlers attach, such as a marker saying "this request
  // is my own" (see URLProtocol). They travel with copies of the request, through
  // redirects, and never reach the network.
  std::optional<std::string> property(std::string_view key) const;
  void setProperty(std::string value, std::string key) { properties_[std::move(key)] = std::move(value); }
  void removeProperty(std::string_view key);

 private:
  std::optional<URL> url_;
  std::string method_ = "GET";
  HTTPHeaderFields headers_;
  std::optional<std::string> body_;
  TimeInterval timeout_ = kDefaultTimeoutInterval;
  CachePolicy cachePolicy_ = CachePolicy::UseProtocolCachePolicy;
  std::optional<URL> mainDocumentURL_;
  bool handleCookies_ = true;
  std::map<std::string, std::string, std::less<>> properties_;
};

}  // namespace platform
