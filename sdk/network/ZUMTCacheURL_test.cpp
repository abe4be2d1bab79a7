#include "sdk/network/ZUMTCacheURL.h"

#include <gtest/gtest.h>

namespace {

std::optional<std::string> inner(const std::string& string) {
  auto url = ZUMURLFromTCacheURL(platform::URL::fromString(string));
  return url ? std::optional(url->absoluteString()) : std::nullopt;
}

TEST(ZUMURLFromTCacheURL, GivesTheInnerHTTPURLOfATCacheURLOnly) {
  EXPECT_EQ(inner("tcache://cache?url=https%3A%2F%2Fcdn.example.com%2Fv.mp4%3Fa%3D1&x=2"),
            "https://cdn.example.com/v.mp4?a=1");
  EXPECT_EQ(inner("TCache://cache?url=http://cdn.example.com/v.mp4"), "http://cdn.example.com/v.mp4");
  EXPECT_EQ(inner("https://cdn.example.com/?url=https%3A%2F%2Fa.com%2F"), std::nullopt);
  EXPECT_EQ(inner("tcache://cache?other=1"), std::nullopt);
  EXPECT_EQ(inner("tcache://cache?url=%zz"), std::nullopt);
  EXPECT_EQ(inner("tcache://cache?url=file%3A%2F%2F%2Fetc%2Fpasswd"), std::nullopt);
  EXPECT_EQ(inner("tcache://cache?url=tcache%3A%2F%2Fc%3Furl%3Dhttps%253A%252F%252Fa.com"), std::nullopt);
  EXPECT_EQ(ZUMURLFromTCacheURL(std::nullopt), std::nullopt);
}

}  // namespace
