#include "platform/net/HTTPCookieStorage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/base/ASCIIString.h"
#include "platform/base/TestingReset.h"

namespace platform {

namespace {

bool domainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
         host[host.size() - domain.size() - 1] == '.';
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath == cookiePath) return true;
  if (requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

// The directory of the request's path, as cookies without a "Path" take it.
std::string defaultPath(const URL& url) {
  std::string path = url.percentEncodedPath();
  if (path.empty() || path.front() != '/') return "/";
  auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// "Wdy, DD Mon YYYY HH:MM:SS GMT" (the form servers send); std::nullopt otherwise.
std::optional<TimeInterval> parseHTTPDate(std::string_view text) {
  static constexpr const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                            "jul", "aug", "sep", "oct", "nov", "dec"};
  std::string value(trimmingSpacesAndTabs(text));
  auto comma = value.find(',');
  if (comma != std::string::npos) value = value.substr(comma + 1);
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  char month[4] = {};
  if (std::sscanf(value.c_str(), " %2d%*[ -]%3s%*[ -]%4d %2d:%2d:%2d", &day, month, &year, &hour, &minute, &second) !=
      6) {
    return std::nullopt;
  }
  std::string monthName = asciiLowercased(month);
  int monthIndex = -1;
  for (int i = 0; i < 12; ++i) {
    if (monthName == kMonths[i]) monthIndex = i;
  }
  if (monthIndex < 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  if (year < 100) year += year < 70 ? 2000 : 1900;
  std::tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = monthIndex;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<TimeInterval>(timegm(&tm));
}

}  // namespace

HTTPCookieStorage& HTTPCookieStorage::sharedStorage() {
  static HTTPCookieStorage* instance = [] {
    auto* made = new HTTPCookieStorage();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~HTTPCookieStorage();
      new (made) HTTPCookieStorage();
    });
    return made;
  }();
  return *instance;
}

void HTTPCookieStorage::setCookiesFromHeaderValues(const std::vector<std::string>& setCookieValues, const URL& url) {
  const std::string host = asciiLowercased(url.host().value_or(std::string()));
  if (host.empty()) return;
  const TimeInterval now = clock().wallNow();
  for (const std::string& header : setCookieValues) {
    std::string_view rest = header;
    auto semicolon = rest.find(';');
    std::string_view pair = trimmingSpacesAndTabs(rest.substr(0, semicolon));
    auto equals = pair.find('=');
    if (equals == std::string_view::npos) continue;
    Cookie cookie;
    cookie.name = std::string(trimmingSpacesAndTabs(pair.substr(0, equals)));
    cookie.value = std::string(trimmingSpacesAndTabs(pair.substr(equals + 1)));
    if (cookie.name.empty() || cookie.name.size() + cookie.value.size() > 4096) continue;
    cookie.domain = host;
    cookie.path = defaultPath(url);
    bool expired = false;
    bool hasMaxAge = false;
    bool valid = true;
    while (semicolon != std::string_view::npos) {
      rest = rest.substr(semicolon + 1);
      semicolon = rest.find(';');
      std::string_view attribute = trimmingSpacesAndTabs(rest.substr(0, semicolon));
      auto eq = attribute.find('=');
      std::string name = asciiLowercased(trimmingSpacesAndTabs(attribute.substr(0, eq)));
      std::string_view value =
          eq == std::string_view::npos ? std::string_view() : trimmingSpacesAndTabs(attribute.substr(eq + 1));
      if (name == "domain" && !value.empty()) {
        std::string domain = asciiLowercased(value);
        if (domain.front() == '.') domain.erase(0, 1);
        if (domain.empty() || !domainMatches(host, domain)) {
          valid = false;
        } else {
          cookie.domain = domain;
          cookie.hostOnly = false;
        }
      } else if (name == "path" && !value.empty() && value.front() == '/') {
        cookie.path = std::string(value);
      } else if (name == "secure") {
        cookie.secure = true;
      } else if (name == "max-age") {
        long long seconds = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (error != std::errc() || end != value.data() + value.size()) continue;
        hasMaxAge = true;
        if (seconds <= 0) {
          expired = true;
        } else {
          expired = false;
          cookie.expiresDate = now + static_cast<TimeInterval>(seconds);
        }
      } else if (name == "expires" && !hasMaxAge) {
        if (auto date = parseHTTPDate(value)) {
          cookie.expiresDate = *date;
          expired = *date <= now;
        }
      }
    }
    if (!valid) continue;

    std::lock_guard lock(mutex_);
    std::erase_if(cookies_, [&](const Cookie& c) {
      return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
    });
    if (expired) continue;
    if (cookies_.size() >= kMaxCookies) cookies_.erase(cookies_.begin());
    cookies_.push_back(std::move(cookie));
  }
}

std::optional<std::string> HTTPCookieStorage::cookieHeaderForURL(const URL& url) const {
  const std::string host = asciiLowercased(url.host().value_or(std::string()));
  if (host.empty()) return std::nullopt;
  const bool secure = asciiLowercased(url.scheme().value_or(std::string())) == "https";
  std::string path = url.percentEncodedPath();
  if (path.empty()) path = "/";
  const TimeInterval now = clock().wallNow();
  std::string header;
  std::lock_guard lock(mutex_);
  for (const Cookie& cookie : cookies_) {
    if (cookie.expiresDate && *cookie.expiresDate <= now) continue;
    if (cookie.secure && !secure) continue;
    if (cookie.hostOnly ? host != cookie.domain : !domainMatches(host, cookie.domain)) continue;
    if (!pathMatches(path, cookie.path)) continue;
    if (!header.empty()) header += "; ";
    header += cookie.name + "=" + cookie.value;
  }
  if (header.empty()) return std::nullopt;
  return header;
}

std::vector<HTTPCookieStorage::Cookie> HTTPCookieStorage::cookies() const {
  std::lock_guard lock(mutex_);
  return cookies_;
}

void HTTPCookieStorage::removeAllCookies() {
  std::lock_guard lock(mutex_);
  cookies_.clear();
}

}  // namespace platform
