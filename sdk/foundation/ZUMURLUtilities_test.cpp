#include "sdk/foundation/ZUMURLUtilities.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMNetwork.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

platform::URL url(std::string_view text) {
  auto parsed = platform::URL::fromString(text);
  EXPECT_TRUE(parsed) << text;
  return parsed.value_or(*platform::URL::fromString("about:blank"));
}

std::string appended(std::string_view text, const ordered_json& parameters) {
  auto result = ZUMURLByAppendingQueryParameters(url(text), parameters);
  return result ? result->absoluteString() : "<none>";
}

TEST(ZUMURLUtilitiesTest, QueryParametersSplitOnAmpersandAndSemicolonAndSkipBadPieces) {
  auto parameters = ZUMQueryParametersFromURL(url("tolm://host/name?a=1;b=x%20y&c=%E2%82%AC&Key=K"), false);
  EXPECT_EQ(parameters, (ordered_json{{"a", "1"}, {"b", "x y"}, {"c", "€"}, {"Key", "K"}}));
  // Keys lower-case, Unicode too.
  EXPECT_EQ(ZUMQueryParametersFromURL(url("h://x/?%C3%84=1"), true), (ordered_json{{"ä", "1"}}));
  // Escapes that do not decode to UTF-8 drop their pair.
  parameters = ZUMQueryParametersFromURL(url("http://h/?bad=%FF&%C3=1&alone&two=1=2&=empty&e=&ok=1&ok=2"), false);
  EXPECT_EQ(parameters, (ordered_json{{"", "empty"}, {"e", ""}, {"ok", "2"}}));
  // Without a query, the text after the first "?" of the resource specifier counts,
  // fragment and all.
  EXPECT_EQ(ZUMQueryParametersFromURL(url("mailto:a@b.example?Subject=Hi%21&body=x#f"), true),
            (ordered_json{{"subject", "Hi!"}, {"body", "x#f"}}));
  EXPECT_EQ(ZUMQueryParametersFromURL(url("tolm://x/m#f?a=1"), false), (ordered_json{{"a", "1"}}));
  auto u = url("http://h/?lvn_aeid=%5Bpw_lvnaeid%5D;x&k=1&k=two%20words&k=%C3%28&k=a=b");
  EXPECT_EQ(ZUMQueryValueForKey(u, "lvn_aeid"), "[pw_lvnaeid];x");
  EXPECT_EQ(ZUMQueryValuesForKey(u, "k"), (std::vector<std::string>{"1", "two words"}));
  EXPECT_EQ(ZUMQueryValuesForKey(u, "K"), std::nullopt);
}

TEST(ZUMURLUtilitiesTest, ManyPairsKeepFirstPlacesAndLastValuesAsAFewDo) {
  // Past the size where keys are looked up through an index, a later duplicate (in any
  // case, when keys are lower-cased) still replaces the value in the first one's place.
  for (const bool lowercase : {false, true}) {
    std::string query;
    ordered_json expected = ordered_json::object();
    for (int i = 0; i < 300; ++i) {
      query += "K" + std::to_string(i) + "=" + std::to_string(i) + ";";
      expected[(lowercase ? "k" : "K") + std::to_string(i)] = std::to_string(i);
    }
    for (int i = 0; i < 300; i += 7) {
      query += "k" + std::to_string(i) + "=again&";
      expected[(lowercase ? "k" : "k") + std::to_string(i)] = "again";
    }
    query += "K299=last";
    expected[(lowercase ? "k" : "K") + std::string("299")] = "last";
    const ordered_json parsed = ZUMQueryParametersFromString(query, lowercase);
    EXPECT_EQ(parsed, expected) << lowercase;
    EXPECT_EQ(parsed.size(), lowercase ? 300u : 343u);
  }
  // Escaped values, decoded straight into their places, go through the same index: each
  // key keeps one place whichever kind of value came first or last.
  std::string query;
  ordered_json expected = ordered_json::object();
  for (int i = 0; i < 60; ++i) {
    query += "e" + std::to_string(i) + (i % 3 == 0 ? "=%41&" : "=a&");
    expected["e" + std::to_string(i)] = i % 3 == 0 ? "A" : "a";
  }
  for (int i = 0; i < 60; i += 2) {
    query += "e" + std::to_string(i) + (i % 4 == 0 ? "=%42&" : "=b&");
    expected["e" + std::to_string(i)] = i % 4 == 0 ? "B" : "b";
  }
  EXPECT_EQ(ZUMQueryParametersFromString(query, false), expected);
  // Text read in place (not through a URL) may hold raw bytes: only UTF-8 counts.
  EXPECT_EQ(ZUMQueryParametersFromString("a=\xC3\xA4&b=\xFF&\xC3=c&d=1", false),
            (ordered_json{{"a", "\u00e4"}, {"d", "1"}}));
  EXPECT_EQ(ZUMQueryPieceCount(""), 1u);
  EXPECT_EQ(ZUMQueryPieceCount("a=1;b&c;"), 4u);
}

TEST(ZUMURLUtilitiesTest, PairsAreFoundWhereverTheyFallInTheText) {
  // Separators, "=", escapes and raw bytes at every place around the reader's steps.
  for (std::size_t length = 0; length < 40; ++length) {
    const std::string run(length, 'p');
    const std::string query = run + "=" + run + "&k" + run + "=%41" + run + ";" + run + "x=\xC3\xA4&bad=" + run +
                              "\xFF&two=" + run + "=&last=" + run;
    ordered_json expected = ordered_json::object();
    expected[run] = run;
    expected["k" + run] = "A" + run;
    expected[run + "x"] = "\u00e4";
    expected["last"] = run;
    EXPECT_EQ(ZUMQueryParametersFromString(query, false), expected) << length;
    EXPECT_EQ(ZUMQueryPieceCount(query), 6u) << length;
  }
  // Counted past the point where a step's counts could wrap.
  EXPECT_EQ(ZUMQueryPieceCount(std::string(5000, '&') + std::string(17, ';')), 5018u);
}

TEST(ZUMURLUtilitiesTest, AppendingParametersKeepsTheAdURLTailLast) {
  EXPECT_EQ(appended("http://h/p", {{"a", "x y"}, {"b", "&=?/"}}), "http://h/p?a=x%20y&b=%26%3D%3F%2F");
  // Empty values are appended alone; numbers as their text.
  EXPECT_EQ(appended("http://h/p", {{"e", ""}, {"n", 1.5}, {"i", 7}, {"t", true}}), "http://h/p?e&n=1.5&i=7&t=1");
  // Characters that would end the pair are encoded in keys.
  EXPECT_EQ(appended("http://h/p", {{"a&b=c", "1"}}), "http://h/p?a%26b%3Dc=1");
  EXPECT_EQ(appended("http://h/p#frag", {{"a", "1"}}), "http://h/p?a=1#frag");
  // The ad URL tail stays last.
  EXPECT_EQ(appended("http://h/c?adurl=http://d.example/#f", {{"a", "1"}, {"b", "2"}}),
            "http://h/c?a=1&b=2&adurl=http://d.example/#f");
  // "adurl=" that is not a parameter of its own is not the tail.
  EXPECT_EQ(appended("http://h/c?xadurl=1", {{"a", "1"}}), "http://h/c?xadurl=1&a=1");
}

TEST(ZUMURLUtilitiesTest, PathsSchemesAndHosts) {
  EXPECT_EQ(ZUMURLInnerPathString(url("https://h/a/b/c/d")), "b/c");
  EXPECT_EQ(ZUMURLInnerPathString(url("https://h/a/b")), std::nullopt);
  EXPECT_TRUE(ZUMURLHasHost(url("https://ADS.Example/x"), "ads.example"));
  EXPECT_FALSE(ZUMURLHasHost(url("mailto:a@ads.example"), "ads.example"));

  std::vector<std::string> schema{"(", "^https://[^/]*\\.ads\\.example/imp"};
  EXPECT_TRUE(ZUMURLMatchesAnyPattern(url("HTTPS://x.ADS.example/imp?a"), schema));
  EXPECT_FALSE(ZUMURLMatchesAnyPattern(url("https://ads.example/imp"), schema));
}

TEST(ZUMURLUtilitiesTest, StringsAndLists) {
  EXPECT_EQ(ZUMPercentEncodedString("!*'();:@&=+$,/?%#[] aZ0-._~é"),
            "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%20aZ0-._~%C3%A9");

  auto urls = ZUMURLsFromStrings({"https://a/", "not a url", "https://b/"});
  ASSERT_TRUE(urls);
  EXPECT_EQ(ZUMStringsFromURLs(*urls), (std::vector<std::string>{"https://a/", "https://b/"}));
  EXPECT_EQ(ZUMURLsFromStrings({"bad url", ""}), std::nullopt);

  EXPECT_EQ(ZUMURLsFromWhitespaceSeparatedString(" https://a/1 \n\thttps://b/2  ").size(), 2u);
}

class ZUMURLRequestTest : public testenv::PlatformTest {};

TEST_F(ZUMURLRequestTest, RequestsCarryTheUserAgentAndABodyOnlyWithAType) {
  EXPECT_EQ(ZUMURLRequestWithBody(std::nullopt, "body", std::nullopt, "text/plain"), std::nullopt);

  ZUMNetwork::sharedInstance()->setUserAgentString("Agent/1");
  auto get = ZUMURLRequestWithBody(url("https://h/p"), "body", std::nullopt, std::nullopt);
  EXPECT_EQ(get ? get->httpMethod() : "", "GET");

  auto post =
      ZUMURLRequestWithBody(url("https://h/p"), "{\"a\":1}",
                            platform::HTTPHeaderFields{{"X-Custom", "1"}, {"User-Agent", "page"}}, "application/json");
  ASSERT_TRUE(post);
  EXPECT_EQ(post->httpMethod(), "POST");
  EXPECT_EQ(post->valueForHTTPHeaderField("User-Agent"), "Agent/1");
  EXPECT_EQ(post->valueForHTTPHeaderField("Content-Length"), "7");
  EXPECT_EQ(post->valueForHTTPHeaderField("Content-Type"), "application/json");
}

}  // namespace
