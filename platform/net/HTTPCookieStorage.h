// The platform's cookie jar, in memory only: cookies received in "Set-Cookie" answers
// are kept per domain and path and sent back in "Cookie" with later requests whose
// request lets cookies be handled. Expiry ("Max-Age", "Expires") is read on the
// platform clock; "Secure" cookies go only to https. Thread-safe.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/base/URL.h"

namespace platform {

class HTTPCookieStorage {
 public:
  struct Cookie {
    std::string name;
    std::string value;
    std::string domain;  // lower-case, without a leading dot
    std::string path;
    bool hostOnly = true;
    bool secure = false;
    std::optional<TimeInterval> expiresDate;  // wall clock; none for a session cookie
  };

  static HTTPCookieStorage& sharedStorage();

  // Stores the cookies of the "Set-Cookie" values that `url` answered with; malformed
  // ones and ones for another domain are dropped.
  void setCookiesFromHeaderValues(const std::vector<std::string>& setCookieValues, const URL& url);
  // The "Cookie" value for a request to `url`, or std::nullopt when no cookie applies.
  std::optional<std::string> cookieHeaderForURL(const URL& url) const;

  std::vector<Cookie> cookies() const;
  void removeAllCookies();

  // A jar never grows past this many cookies; the oldest go first.
  static constexpr std::size_t kMaxCookies = 1000;

 private:
  mutable std::mutex mutex_;
  std::vector<Cookie> cookies_;
};

}  // namespace platform
