#include "platform/net/HTTPURLResponse.h"

#include <gtest/gtest.h>

#include "platform/net/URLRequest.h"

namespace platform {
namespace {

URL url(const char* string) { return *URL::fromString(string); }

TEST(HTTPURLResponseTest, DerivesLengthTypeAndEncodingFromHeaders) {
  HTTPURLResponse response(url("https://ads.example.com/ad"), 200,
                           {{"content-type", "Application/JSON; Charset=\"UTF-8\""}, {"Content-Length", "42"}},
                           "HTTP/1.1");
  EXPECT_EQ(response.expectedContentLength(), 42);
  EXPECT_EQ(response.MIMEType(), "application/json");
  EXPECT_EQ(response.textEncodingName(), "utf-8");
  EXPECT_EQ(response.valueForHTTPHeaderField("CONTENT-TYPE"), "Application/JSON; Charset=\"UTF-8\"");

  HTTPURLResponse bare(url("https://ads.example.com/"), 399, {});
  EXPECT_EQ(bare.expectedContentLength(), -1);
  EXPECT_EQ(bare.MIMEType(), std::nullopt);
  EXPECT_EQ(bare.textEncodingName(), std::nullopt);
  EXPECT_EQ(bare.httpVersion(), std::nullopt);

  HTTPURLResponse badLength(url("https://ads.example.com/"), 200, {{"Content-Length", "-5"}});
  EXPECT_EQ(badLength.expectedContentLength(), -1);
}

TEST(HTTPURLResponseTest, StatusPhrasesFollowThePlatform) {
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(200), "no error");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(204), "no content");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(400), "bad request");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(404), "not found");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(500), "internal server error");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(199), "informational");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(299), "success");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(399), "redirected");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(499), "client error");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(599), "server error");
  EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(-1), "server error");
}

TEST(URLRequestTest, HeaderNamesIgnoreCaseAndKeepOrder) {
  URLRequest request(url("https://ads.example.com/"));
  EXPECT_EQ(request.httpMethod(), "GET");
  EXPECT_EQ(request.timeoutInterval(), 60);
  request.setValue("a", "X-First");
  request.setValue("b", "User-Agent");
  request.setValue("c", "x-first");
  request.addValue("d", "X-FIRST");
  ASSERT_EQ(request.allHTTPHeaderFields().size(), 2u);
  EXPECT_EQ(request.allHTTPHeaderFields().fields()[0], (HTTPHeaderFields::Field{"X-First", "c, d"}));
  EXPECT_EQ(request.valueForHTTPHeaderField("user-agent"), "b");
  request.setValue(std::nullopt, "USER-AGENT");
  EXPECT_FALSE(request.valueForHTTPHeaderField("User-Agent"));

  request.setProperty("yes", "handled");
  URLRequest copy = request;
  EXPECT_EQ(copy.property("handled"), "yes");
  copy.removeProperty("handled");
  EXPECT_EQ(copy.property("handled"), std::nullopt);
}

}  // namespace
}  // namespace platform
