#include "platform/net/HTTPResponseHeadParser.h"

#include <gtest/gtest.h>

#include "platform/net/ContentRange.h"

namespace platform {
namespace {

using State = HTTPResponseHeadParser::State;

TEST(HTTPResponseHeadParserTest, ReadsStatusAndMergesRepeatedFields) {
  HTTPResponseHeadParser parser;
  EXPECT_EQ(parser.addLine("HTTP/1.1 302 Found\r\n"), State::NeedMore);
  parser.addLine("Location: /next\r\n");
  parser.addLine("X-Qyra-Tracking-Urls: a\r\n");
  parser.addLine("x-qyra-tracking-urls: b\r\n");
  parser.addLine("Set-Cookie: a=1\r\n");
  parser.addLine("Set-Cookie: b=2; Path=/\r\n");
  parser.addLine("X-Folded: one\r\n");
  parser.addLine("\t two\r\n");
  EXPECT_EQ(parser.addLine("\r\n"), State::Complete);

  EXPECT_EQ(parser.statusCode(), 302);
  EXPECT_EQ(parser.httpVersion(), "HTTP/1.1");
  EXPECT_EQ(parser.headerFields().value("location"), "/next");
  EXPECT_EQ(parser.headerFields().value("X-QYRA-TRACKING-URLS"), "a, b");
  EXPECT_EQ(parser.headerFields().value("x-folded"), "one two");
  EXPECT_EQ(parser.setCookieValues(), (std::vector<std::string>{"a=1", "b=2; Path=/"}));
}

TEST(HTTPResponseHeadParserTest, SkipsInterimAnswersAndStartsOverOnANewStatusLine) {
  HTTPResponseHeadParser parser;
  parser.addLine("HTTP/1.1 100 Continue\r\n");
  EXPECT_EQ(parser.addLine("\r\n"), State::NeedMore);
  parser.addLine("HTTP/2 200\r\n");
  parser.addLine("content-type: text/html\r\n");
  EXPECT_EQ(parser.addLine("\r\n"), State::Complete);
  EXPECT_EQ(parser.statusCode(), 200);
  EXPECT_EQ(parser.httpVersion(), "HTTP/2");
  EXPECT_EQ(parser.headerFields().size(), 1u);
}

TEST(HTTPResponseHeadParserTest, RefusesHostileHeads) {
  for (const char* status : {"HTTP/1.1 20 OK", "HTTP/1.1 abc", "HTTP/x 200", "HTTP/1.1 099 Low", "HTTP/1.1 2000"}) {
    HTTPResponseHeadParser parser;
    EXPECT_EQ(parser.addLine(status), State::Invalid) << status;
  }
  HTTPResponseHeadParser headerFirst;
  EXPECT_EQ(headerFirst.addLine("Content-Type: text/html"), State::Invalid);

  HTTPResponseHeadParser tooMany;
  tooMany.addLine("HTTP/1.1 200 OK");
  State state = State::NeedMore;
  for (std::size_t i = 0; i <= HTTPResponseHeadParser::kMaxFields && state == State::NeedMore; ++i) {
    state = tooMany.addLine("X-A: b");
  }
  EXPECT_EQ(state, State::Invalid);

  // Malformed names are skipped, not trusted.
  HTTPResponseHeadParser names;
  names.addLine("HTTP/1.1 200 OK");
  names.addLine("Bad Name: x");
  names.addLine(": empty");
  names.addLine("no colon");
  EXPECT_EQ(names.addLine(""), State::Complete);
  EXPECT_TRUE(names.headerFields().empty());
}

TEST(HTTPResponseHeadParserTest, ContentLengthAcceptsOnlyPlainNumbers) {
  EXPECT_EQ(HTTPResponseHeadParser::parseContentLength("1234"), 1234);
  EXPECT_EQ(HTTPResponseHeadParser::parseContentLength(" 0 "), 0);
  EXPECT_EQ(HTTPResponseHeadParser::parseContentLength("5, 5"), 5);
  for (const char* bad : {"", "-1", "+3", "1e3", "5, 6", "99999999999999999999", "12a"}) {
    EXPECT_EQ(HTTPResponseHeadParser::parseContentLength(bad), std::nullopt) << bad;
  }
}

TEST(ContentRangeTest, ParsesByteRangesAndRefusesImpossibleOnes) {
  EXPECT_EQ(ContentRange::parse("bytes 0-499/1234"), (ContentRange{0, 499, 1234}));
  EXPECT_EQ(ContentRange::parse("Bytes 5-9/*"), (ContentRange{5, 9, std::nullopt}));
  EXPECT_EQ(ContentRange::parse("bytes */1234"), (ContentRange{std::nullopt, std::nullopt, 1234}));
  for (const char* bad : {"bytes 9-5/10", "bytes 0-10/10", "bytes */*", "items 0-1/2", "bytes 0-/5", "bytes -1-2/5",
                          "bytes 0-1", "bytes 0-99999999999999999999/5"}) {
    EXPECT_EQ(ContentRange::parse(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace platform
