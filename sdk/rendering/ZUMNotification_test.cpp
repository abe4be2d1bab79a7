#include "sdk/rendering/ZUMNotification.h"

#include <cstdio>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/SystemLog.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

std::optional<platform::URL> url(const std::string& text) {
  auto made = platform::URL::fromString(text);
  EXPECT_TRUE(made) << text;
  return made;
}

TEST(ZUMNotificationTest, RecognisesTheMessageSchemeInAnyCase) {
  for (const char* yes : {"tolm://x/click", "TOLM://x/click", "ToLm:click"}) {
    EXPECT_TRUE(ZUMNotification::isNotificationURL(url(yes))) << yes;
  }
  for (const char* no : {"tolmx://x/click", "tol://x/click", "https://tolm/click", "tolm/click" /* no scheme */}) {
    EXPECT_FALSE(ZUMNotification::isNotificationURL(url(no))) << no;
  }
  EXPECT_FALSE(ZUMNotification::isNotificationURL(std::nullopt));
  EXPECT_FALSE(ZUMNotification::createWithNotificationURL(url("https://x/click?a=1")));
  EXPECT_FALSE(ZUMNotification::createWithNotificationURL(std::nullopt));
}

TEST(ZUMNotificationTest, NameIsThePathWithoutItsFirstCharacterWhateverTheHost) {
  struct Case {
    std::string url;
    std::optional<std::string> name;  // std::nullopt: no message
  };
  const Case cases[] = {
      {"tolm://x/click", "click"},
      {"TOLM://x/click", "click"},
      {"tolm:///click", "click"},
      {"tolm://other.host:8080/click", "click"},
      {"tolm://user@[::1]/click", "click"},
      {"tolm:/click", "click"},
      {"tolm://x/a/b", "a/b"},
      {"tolm://x/click/", "click"},     // the platform drops a trailing slash
      {"tolm://x/a%20b%2Fc", "a b/c"},  // decoded like any path
      {"tolm://x/%E2%82%AC", "\u20ac"},
      {"tolm://x/", std::nullopt},
      {"tolm://x", std::nullopt},
      {"tolm://x?name=click", std::nullopt},
      {"tolm://", std::nullopt},
      {"tolm:click", std::nullopt},    // opaque: no path
      {"tolm://x/%FF", std::nullopt},  // the path is not UTF-8
      {"tolm://x/a%2F", "a"},          // a trailing slash counts once decoded
      {"tolm://x/%2F", std::nullopt},
  };
  for (const Case& c : cases) {
    auto message = ZUMNotification::createWithNotificationURL(url(c.url));
    if (!c.name) {
      EXPECT_FALSE(message) << c.url;
      continue;
    }
    ASSERT_TRUE(message) << c.url;
    EXPECT_EQ(message->name(), *c.name) << c.url;
  }
}

TEST(ZUMNotificationTest, ParametersFollowTheQueryRules) {
  struct Case {
    std::string tail;  // after "tolm://x/m"
    Json parameters;
  };
  const Case cases[] = {
      // "&" and ";" both separate; a piece without "=" adds nothing; values stay strings.
      {"?a=1;b=2&c", {{"a", "1"}, {"b", "2"}}},
      {"?n=1&t=true&f=0.5", {{"n", "1"}, {"t", "true"}, {"f", "0.5"}}},
      // Only two-part pieces count: two equals signs and empty pieces are skipped, an
      // equals sign at the end gives an empty value.
      {"?a=1&b=x=y&&;;c=&=", {{"a", "1"}, {"c", ""}, {"", ""}}},
      // A later duplicate replaces the earlier one; keys keep their case.
      {"?a=x&a=2&Key=V&key=w", {{"a", "2"}, {"Key", "V"}, {"key", "w"}}},
      // UTF-8 percent-decoding of key and value; a pair that fails is dropped alone.
      {"?e=%E2%82%AC&bad=%FF&half=%C3%28&%FE=k&d=ok", {{"e", "\u20ac"}, {"d", "ok"}}},
      // A later duplicate that fails to decode leaves the earlier value; one that decodes replaces it.
      {"?a=1&a=%FF&b=%41&b=%42%43", {{"a", "1"}, {"b", "BC"}}},
      {"?x=%26%3D%3B%20&%61=b+c", {{"x", "&=; "}, {"a", "b+c"}}},
      // The text starts after the first "?"; later ones are plain text.
      {"?u=https://e.com/p?q&v=1?2", {{"u", "https://e.com/p?q"}, {"v", "1?2"}}},
      {"?", Json::object()},
      {"", Json::object()},        // no query: still a dictionary
      {"?a=1#b=2", {{"a", "1"}}},  // the fragment is not part of the query
  };
  for (const Case& c : cases) {
    auto message = ZUMNotification::createWithNotificationURL(url("tolm://x/m" + c.tail));
    ASSERT_TRUE(message) << c.tail;
    EXPECT_EQ(message->parameters(), c.parameters) << c.tail;
  }
}

class ZUMNotificationLimitsTest : public testenv::PlatformTest {};

TEST_F(ZUMNotificationLimitsTest, MessagesPastTheLimitsOrWithoutANameAreDroppedWithALogLine) {
  const std::string head = "tolm://x/m?";
  const std::size_t fill = ZUMNotification::kMaximumURLBytes - head.size() - 2;
  // One piece more than allowed: "a;" repeated, then "z".
  std::string pieces;
  for (std::size_t i = 1; i < ZUMNotification::kMaximumParameterCount; ++i) pieces += "a;";
  struct Case {
    std::string url;
    bool parsed;
    std::string logged;
  } cases[] = {
      {head + "v=" + std::string(fill, 'b'), true, ""},
      {head + "v=" + std::string(fill + 1, 'b'), false, "Dropped an in-page message of 262145 bytes (at most 262144)"},
      {head + pieces + "z=1", true, ""},
      {head + pieces + ";z=1", false, "Dropped an in-page message of 100001 parameters (at most 100000)"},
      {"tolm://x/?a=1", false, "Dropped an in-page message without a name: tolm://x/?a=1"},
  };
  for (const Case& c : cases) {
    platform::SystemLog::Capture capture(true);
    auto message = ZUMNotification::createWithNotificationURL(url(c.url));
    env.runUntilIdle();
    EXPECT_EQ(message != nullptr, c.parsed) << c.logged;
    if (c.parsed) {
      EXPECT_TRUE(capture.messages().empty()) << c.url.size();
    } else {
      EXPECT_TRUE(capture.contains(c.logged)) << c.logged;
    }
  }
}

TEST(ZUMNotificationTest, DesignatedCreatorNeedsANameAndKeepsOnlyStringParameters) {
  EXPECT_FALSE(ZUMNotification::create(std::nullopt, Json::object()));
  EXPECT_FALSE(ZUMNotification::create("", Json{{"a", "1"}}));

  auto message = ZUMNotification::create(
      "open", Json{{"u", "https://e.com"}, {"n", 3}, {"o", Json::object()}, {"nil", nullptr}, {"s", "x"}});
  ASSERT_TRUE(message);
  EXPECT_EQ(message->name(), "open");
  EXPECT_EQ(message->parameters(), (Json{{"u", "https://e.com"}, {"s", "x"}}));

  for (const Json& notADictionary : {Json(), Json::array({"a", "b"}), Json("a=1"), Json(7)}) {
    auto plain = ZUMNotification::create("open", notADictionary);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->parameters(), Json::object());
  }
}

TEST(ZUMNotificationTest, DescriptionShowsAddressNameAndParameters) {
  auto message = ZUMNotification::createWithNotificationURL(url("tolm://x/click?x=1&y=%E2%82%AC"));
  ASSERT_TRUE(message);
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(message.get()));
  EXPECT_EQ(message->description(),
            "<ZUMNotification: " + std::string(address) + "> name:click parameters:{\"x\":\"1\",\"y\":\"\u20ac\"}");
}

}  // namespace
