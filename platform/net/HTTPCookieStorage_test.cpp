#include "platform/net/HTTPCookieStorage.h"

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

URL url(const char* string) { return *URL::fromString(string); }

class HTTPCookieStorageTest : public testenv::PlatformTest {
 protected:
  HTTPCookieStorage storage;
};

TEST_F(HTTPCookieStorageTest, MatchesDomainPathAndScheme) {
  storage.setCookiesFromHeaderValues(
      {"host=1", "wide=2; Domain=.example.com; Path=/ads", "safe=3; Secure; Path=/", "foreign=4; Domain=other.com"},
      url("https://ads.example.com/ads/slot"));
  EXPECT_EQ(storage.cookies().size(), 3u);  // a cookie for another domain is refused
  EXPECT_EQ(storage.cookieHeaderForURL(url("https://ads.example.com/ads/x")), "host=1; wide=2; safe=3");
  // Host-only cookies stay with their host; domain cookies reach its subdomains.
  EXPECT_EQ(storage.cookieHeaderForURL(url("https://cdn.example.com/ads")), "wide=2");
  EXPECT_EQ(storage.cookieHeaderForURL(url("http://ads.example.com/ads")), "host=1; wide=2");  // not secure
  EXPECT_EQ(storage.cookieHeaderForURL(url("http://cdn.example.com/adsx")), std::nullopt);
  EXPECT_EQ(storage.cookieHeaderForURL(url("https://badexample.com/ads")), std::nullopt);
}

TEST_F(HTTPCookieStorageTest, ExpiresOnThePlatformClockAndReplacesByName) {
  storage.setCookiesFromHeaderValues({"a=1; Max-Age=60", "b=2; Expires=Wed, 21 Oct 2015 07:28:00 GMT", "c=3"},
                                     url("https://ads.example.com/"));
  EXPECT_EQ(storage.cookieHeaderForURL(url("https://ads.example.com/")), "a=1; c=3");
  storage.setCookiesFromHeaderValues({"c=4"}, url("https://ads.example.com/"));
  EXPECT_EQ(storage.cookieHeaderForURL(url("https://ads.example.com/")), "a=1; c=4");
  env.clock().advanceBy(61);
  EXPECT_EQ(storage.cookieHeaderForURL(url("https://ads.example.com/")), "c=4");
  storage.setCookiesFromHeaderValues({"c=; Max-Age=0"}, url("https://ads.example.com/"));
  EXPECT_EQ(storage.cookieHeaderForURL(url("https://ads.example.com/")), std::nullopt);
}

}  // namespace
}  // namespace platform
