#include "platform/base/Error.h"

#include <cerrno>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace platform {
namespace {

TEST(ErrorTest, EqualityCoversDomainCodeUserInfoAndUnderlyingError) {
  nlohmann::ordered_json info = {{"HttpStatus", "HTTP status 404: not found"}};
  Error::Details details;
  details.localizedDescription = "Request Error: No ad to show.";
  details.localizedFailureReason = "Request Error: No ad to show.";
  details.underlyingError = makeURLError(kURLErrorTimedOut, "https://a/b");
  ErrorPtr a = Error::create("com.vantor.ads", 1, info, details);
  ErrorPtr b = Error::create("com.vantor.ads", 1, info, details);
  EXPECT_TRUE(sameError(a, b));
  EXPECT_FALSE(sameError(a, nullptr));

  EXPECT_FALSE(*a == *Error::create("com.vantor.ads", 2, info, details));
  EXPECT_FALSE(*a == *Error::create("com.vantor.ads", 1, {{"HttpStatus", "x"}}, details));
  Error::Details otherUnderlying = details;
  otherUnderlying.underlyingError = makeURLError(kURLErrorCancelled);
  EXPECT_FALSE(*a == *Error::create("com.vantor.ads", 1, info, otherUnderlying));

  EXPECT_EQ(a->userInfoString("HttpStatus"), "HTTP status 404: not found");
  EXPECT_EQ(a->underlyingError()->userInfoString(kErrorFailingURLStringKey), "https://a/b");
}

TEST(ErrorTest, DescriptionsFallBackToAGenericText) {
  ErrorPtr bare = Error::create("com.vantor.zum_videoplayer_glview", -1);
  EXPECT_EQ(bare->localizedDescription(),
            "The operation could not be completed. (com.vantor.zum_videoplayer_glview error -1.)");

  Error::Details empty;
  empty.localizedDescription = "";  // an empty description stays empty
  EXPECT_EQ(Error::create("d", 0, nlohmann::ordered_json::object(), empty)->localizedDescription(), "");

  // A user info that is not an object is refused, not kept.
  EXPECT_TRUE(Error::create("d", 0, nlohmann::ordered_json::array({1, 2}))->userInfo().empty());
}

TEST(ErrorTest, PlatformErrors) {
  ErrorPtr timedOut = makeURLError(kURLErrorTimedOut);
  EXPECT_EQ(timedOut->domain(), kURLErrorDomain);
  EXPECT_FALSE(timedOut->localizedDescription().empty());
  EXPECT_FALSE(timedOut->userInfo().contains(kErrorFailingURLStringKey));
  ErrorPtr missing = makePOSIXError(ENOENT, "read /x");
  EXPECT_EQ(missing->domain(), kPOSIXErrorDomain);
  EXPECT_NE(missing->localizedDescription().find("read /x: "), std::string::npos);
}

}  // namespace
}  // namespace platform
