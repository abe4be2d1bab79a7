#include "sdk/errors/ZUMErrors.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequestError.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/ui/Device.h"

namespace {

constexpr const char* kInvalidRequestText =
    "Request Error: Invalid ad request parameter(s). Check the Xcode console for details.";

TEST(ZUMErrorsTest, EveryCodeHasItsFixedText) {
  const std::pair<std::int64_t, const char*> table[] = {
      {0, kInvalidRequestText},
      {1, "Request Error: No ad to show."},
      {2, "Request Error: A network error occurred."},
      {3, "Request Error: Server error processing the request."},
      {5, "Request Error: The Vantor Ad request was unable to be fulfilled before a timeout occurred."},
      {6, "Request Error: Will not send request because interstitial object has been used."},
      {7, "Request Error: The mediation response was invalid."},
      {8, "Request Error: Cannot find an ad network adapter for mediation."},
      {9, "Request Error: No ad to show from all configured ad networks."},
      {10, "Request Error: Incompatible ad type requested."},
      {11, "Request Error: Internal error."},
      {12, "Request Error: Invalid argument."},
      {13, "Request Error: Received invalid response."},
  };
  for (const auto& [code, text] : table) {
    auto error = ZUMMakeErrorWithCode(code);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "com.vantor.ads");
    EXPECT_EQ(error->code(), code);
    EXPECT_EQ(error->localizedDescription(), text) << code;
    EXPECT_EQ(error->localizedFailureReason(), text) << code;
  }
}

TEST(ZUMErrorsTest, CodesOutsideTheTableTakeCodeZerosTextAndKeepTheirCode) {
  for (std::int64_t code : {std::int64_t{14}, std::int64_t{-1}, INT64_MIN, INT64_MAX}) {
    auto error = ZUMMakeErrorWithCode(code);
    EXPECT_EQ(error->code(), code);
    EXPECT_EQ(error->localizedDescription(), kInvalidRequestText);
  }
}

TEST(ZUMErrorsTest, OSMinimumTextUsesTheDeviceVersionOnceForTheProcess) {
  int calls = 0;
  ZUMSetSystemVersionProvider([&calls] {
    ++calls;
    return std::string("9.3.5");
  });
  const std::string expected = "Request Error: This device's OS is 9.3.5. It is below the minimum of 6.0.";
  EXPECT_EQ(ZUMMakeErrorWithCode(4)->localizedDescription(), expected);
  // Made once: a later provider changes nothing.
  ZUMSetSystemVersionProvider([] { return std::string("1.0.0"); });
  EXPECT_EQ(ZUMMakeError(4, -1, std::nullopt, nullptr)->localizedFailureReason(), expected);
  EXPECT_EQ(calls, 1);
  ZUMSetSystemVersionProvider(nullptr);
}

TEST(ZUMErrorsTest, OSMinimumTextDefaultsToThePlatformDevice) {
  platform::Device::current().setSystemVersion("11.2");
  EXPECT_EQ(ZUMMakeErrorWithCode(4)->localizedDescription(),
            "Request Error: This device's OS is 11.2.0. It is below the minimum of 6.0.");
}

TEST(ZUMErrorsTest, HttpStatusOnlyForAPositiveStatus) {
  auto error = ZUMMakeErrorWithHTTPStatus(3, 404, std::nullopt);
  EXPECT_EQ(error->userInfoString("HttpStatus"), "HTTP status 404: not found");
  EXPECT_EQ(error->localizedDescription(), "Request Error: Server error processing the request.");
  for (std::int64_t status : {std::int64_t{0}, std::int64_t{-1}, INT64_MIN}) {
    EXPECT_TRUE(ZUMMakeErrorWithHTTPStatus(3, status, "x")->userInfo().empty()) << status;
  }
  // A status beyond any real one still gets a text and no crash.
  auto huge = ZUMMakeErrorWithHTTPStatus(3, INT64_MAX, std::nullopt);
  EXPECT_EQ(huge->userInfoString("HttpStatus"), "HTTP status 9223372036854775807: server error");
}

TEST(ZUMErrorsTest, GivenDescriptionsAndCausesReplaceTheFixedText) {
  auto error = ZUMMakeErrorWithDescription(11, "Invalid JSON object.");
  EXPECT_EQ(error->localizedDescription(), "Invalid JSON object.");
  EXPECT_EQ(error->localizedFailureReason(), "Invalid JSON object.");
  EXPECT_EQ(ZUMMakeErrorWithDescription(1, "")->givenLocalizedDescription(), "");
  EXPECT_EQ(ZUMMakeErrorWithDescription(2, std::nullopt)->localizedDescription(),
            "Request Error: A network error occurred.");

  auto cause = platform::makeURLError(platform::kURLErrorTimedOut);
  auto caused = ZUMMakeErrorWithUnderlyingError(2, cause);
  EXPECT_EQ(caused->underlyingError(), cause);
  EXPECT_EQ(caused->localizedDescription(), cause->localizedDescription());
  auto full = ZUMMakeError(13, 500, "bad", cause);
  EXPECT_EQ(full->underlyingError(), cause);
  EXPECT_EQ(full->userInfoString("HttpStatus"), "HTTP status 500: internal server error");
  EXPECT_EQ(ZUMMakeErrorWithUnderlyingError(2, nullptr)->localizedDescription(),
            "Request Error: A network error occurred.");

  // Errors of other domains have no fixed text.
  auto plain = ZUMMakeErrorWithDomain("com.vantor.zum_videoplayer_glview", -1, std::nullopt);
  EXPECT_FALSE(plain->givenLocalizedDescription());
  EXPECT_FALSE(plain->localizedFailureReason());
  EXPECT_EQ(ZUMMakeErrorWithDomain("ad_mediation", 3, "Adapter failed.")->localizedFailureReason(), "Adapter failed.");
}

TEST(ZUMErrorsTest, RequestErrorsEqualTheirSource) {
  auto cause = platform::makeURLError(platform::kURLErrorCannotFindHost, "https://ads.example/x");
  auto source = ZUMMakeError(3, 503, std::nullopt, cause);
  ZUMRequestErrorPtr requestError = ZUMRequestErrorFromError(source);
  ASSERT_TRUE(requestError);
  EXPECT_NE(static_cast<const void*>(requestError.get()), static_cast<const void*>(source.get()));
  EXPECT_EQ(*requestError, *source);
  EXPECT_EQ(requestError->userInfo(), source->userInfo());
  EXPECT_EQ(requestError->underlyingError(), cause);

  auto foreign = ZUMRequestErrorFromError(platform::Error::create("other", 7));
  EXPECT_FALSE(foreign->givenLocalizedDescription());
  EXPECT_FALSE(ZUMRequestErrorFromError(nullptr));
}

}  // namespace
