// The two search requests: the "search" parameters of a search ad, key by key, and the
// fragment and page URL of a dynamic-height search banner, with hostile host text.
#include "ZUMSearchRequest.h"

#include <algorithm>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMDynamicHeightSearchRequest.h"
#include "platform/base/UserDefaults.h"
#include "testing/TestEnvironment.h"

namespace {

using json = nlohmann::ordered_json;

class ZUMSearchRequestTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    // No request signal unless a test asks for it.
    EXPECT_TRUE(platform::UserDefaults::standard().setObject("0", "/vantor/ads/zums:rdiim_signal"));
  }
};

TEST_F(ZUMSearchRequestTest, ADefaultSearchRequestSendsItsSizesAndKinds) {
  auto request = ZUMSearchRequest::create();
  EXPECT_EQ(request->threadSafeParameters()["search"],
            json({{"headersize", "0"}, {"btype", "none"}, {"bthick", "0"}, {"callbuttoncolor", "light"}}));
  EXPECT_FALSE(request->cacheable());
  EXPECT_EQ(request->threadSafeParameters()["_request_object_properties"]["class"], "ZUMSearchRequest");
}

TEST_F(ZUMSearchRequestTest, EveryPropertyGoesUnderItsKeyInOrderAndComesBack) {
  auto request = ZUMSearchRequest::create();
  request->setQuery("blue shoes");
  request->setBackgroundColor(platform::Color::red());
  request->setHeaderColor(platform::Color::grey(0.5));
  request->setDescriptionTextColor(platform::Color::rgb(0.2, 0.4, 0.6));
  request->setAnchorTextColor(platform::Color::rgb(1, 1, 1));
  request->setFontFamily("Serif");
  request->setHeaderTextSize(18);
  request->setBorderColor(platform::Color::rgb(0, 0, 0.999));
  request->setBorderType(kZUMSearchBorderTypeDotted);
  request->setBorderThickness(2);
  request->setCustomChannels("c1+c2");
  request->setCallButtonColor(kZUMSearchCallButtonDark);
  const json search = request->threadSafeParameters()["search"];
  EXPECT_EQ(search.dump(), json({{"q", "blue shoes"},
                                 {"bgcolor", "#ff0000"},
                                 {"hcolor", "#7f7f7f"},
                                 {"dcolor", "#336699"},
                                 {"acolor", "#ffffff"},
                                 {"font", "Serif"},
                                 {"headersize", "18"},
                                 {"bcolor", "#0000fe"},
                                 {"btype", "dotted"},
                                 {"bthick", "2"},
                                 {"channel", "c1+c2"},
                                 {"callbuttoncolor", "dark"}})
                               .dump());

  for (const auto& rebuilt :
       {ZUMSearchRequest::createWithParameters(request->threadSafeParameters()), request->copy()}) {
    auto copy = std::dynamic_pointer_cast<ZUMSearchRequest>(rebuilt);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->threadSafeParameters()["search"], search);
  }

  request->setBackgroundGradientFrom(platform::Color::white(), std::nullopt);  // one colour: nothing changes
  EXPECT_EQ(request->threadSafeParameters()["search"]["bgcolor"], "#ff0000");
  request->setBackgroundGradientFrom(platform::Color::white(), platform::Color::black());
  auto gradient = request->threadSafeParameters()["search"];
  EXPECT_FALSE(gradient.contains("bgcolor"));
  EXPECT_EQ(gradient["gradientfrom"], "#ffffff");
  EXPECT_EQ(gradient["gradientto"], "#000000");
  EXPECT_EQ(request->copy()->threadSafeParameters()["search"], gradient);
  request->setBackgroundSolid(platform::Color::green());
  gradient = request->threadSafeParameters()["search"];
  EXPECT_EQ(gradient["bgcolor"], "#00ff00");
  EXPECT_FALSE(gradient.contains("gradientfrom") || gradient.contains("gradientto"));
}

TEST_F(ZUMSearchRequestTest, UnknownKindsSendNothingAndReadAsZero) {
  auto request = ZUMSearchRequest::create();
  request->setBorderType(7);
  request->setCallButtonColor(5);
  const auto search = request->threadSafeParameters()["search"];
  EXPECT_FALSE(search.contains("btype"));
  EXPECT_FALSE(search.contains("callbuttoncolor"));

  for (const auto& [value, type, button] : std::vector<std::tuple<std::string, std::uint64_t, std::uint64_t>>{
           {"solid", 3, 0}, {"dashed", 1, 0}, {"medium", 0, 1}, {"DOTTED", 0, 0}}) {
    auto rebuilt = std::dynamic_pointer_cast<ZUMSearchRequest>(
        ZUMSearchRequest::createWithParameters({{"search", {{"btype", value}, {"callbuttoncolor", value}}}}));
    EXPECT_EQ(rebuilt->borderType(), type) << value;
    EXPECT_EQ(rebuilt->callButtonColor(), button) << value;
  }
  auto hostile =
      std::dynamic_pointer_cast<ZUMSearchRequest>(ZUMSearchRequest::createWithParameters({{"search",
                                                                                           {{"bgcolor", 0xff0000},
                                                                                            {"hcolor", "not a colour"},
                                                                                            {"headersize", "-5"},
                                                                                            {"bthick", "12px"},
                                                                                            {"q", json::array()}}}}));
  EXPECT_FALSE(hostile->backgroundColor());
  EXPECT_FALSE(hostile->headerColor());
  EXPECT_EQ(hostile->headerTextSize(), 0u);
  EXPECT_EQ(hostile->borderThickness(), 12u);
  EXPECT_FALSE(hostile->query());
}

TEST_F(ZUMSearchRequestTest, TheDynamicHeightFragmentIsSortedAndEncoded) {
  auto request = ZUMDynamicHeightSearchRequest::create();
  request->setQuery("red socks");
  request->setAdPage(2);
  const std::string version = ZUMRequest::sdkVersion();
  EXPECT_EQ(request->dynamicHeightAdURLFragmentsWithAdUnitID("unit/A"),
            "OSType=iOS&SDKVersion=" + version + "&adPage=2&pubId=unit%2FA&query=red%20socks");
  EXPECT_EQ(request->adPage(), 2);
  EXPECT_FALSE(request->threadSafeParameters().contains("query"));  // never a request parameter

  request->setQuery(std::nullopt);  // the fragment keeps the previous query
  EXPECT_FALSE(request->query());
  EXPECT_EQ(request->fragmentParameters()["query"], "red socks");
  request->setAdTestEnabled(false);
  request->setClickToCallExtensionEnabled(true);
  request->setTitleFontSize(12.5);
  request->setVerticalSpacing(4);
  request->setTextColor("#123");
  request->setAdvancedOptionValue("x", "pubId");            // replaced by the ad unit
  request->setAdvancedOptionValue(json::array(), "query");  // not a string or number: ignored
  request->setAdvancedOptionValue(std::nan(""), "nan");     // no text for it
  EXPECT_EQ(request->dynamicHeightAdURLFragmentsWithAdUnitID("u"),
            "OSType=iOS&SDKVersion=" + version +
                "&adPage=2&adTest=off&clickToCall=1&colorText=%23123&fontSizeTitle=12.5&pubId=u&query=red%20socks"
                "&verticalSpacing=4");
  EXPECT_FALSE(request->adTestEnabled());
  EXPECT_TRUE(request->clickToCallExtensionEnabled());
  EXPECT_EQ(request->titleFontSize(), 12.5);
  EXPECT_EQ(request->textColor(), "#123");

  request->setTestDevices(json::array({"device-1"}));
  auto copy = std::dynamic_pointer_cast<ZUMDynamicHeightSearchRequest>(request->copy());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->threadSafeParameters(), request->threadSafeParameters());  // the request's own properties too
  EXPECT_EQ(copy->dynamicHeightAdURLFragmentsWithAdUnitID("u"), request->dynamicHeightAdURLFragmentsWithAdUnitID("u"));
  EXPECT_EQ(copy->titleFontSize(), 12.5);
}

TEST_F(ZUMSearchRequestTest, EveryOptionWritesItsOwnFragmentKey) {
  auto r = ZUMDynamicHeightSearchRequest::create();
  EXPECT_EQ(r->numberOfAds(), 0);  // nothing set: the defaults
  EXPECT_EQ(r->titleFontSize(), 0);
  EXPECT_FALSE(r->boldTitleEnabled());
  EXPECT_FALSE(r->channel());
  r->setChannel("a"), r->setHostLanguage("b"), r->setLocationExtensionTextColor("c");
  r->setLocationExtensionFontSize(1), r->setLocationExtensionEnabled(true), r->setEndorsementsExtensionEnabled(true);
  r->setSellerRatingsExtensionEnabled(false), r->setSiteLinksExtensionEnabled(true), r->setCSSWidth("d");
  r->setNumberOfAds(3), r->setFontFamily("e"), r->setAttributionFontFamily("f"), r->setAnnotationFontSize(2);
  r->setAttributionFontSize(3), r->setDescriptionFontSize(4), r->setDomainLinkFontSize(5), r->setAdBorderColor("g");
  r->setAdSeparatorColor("h"), r->setAnnotationTextColor("i"), r->setAttributionTextColor("j");
  r->setBackgroundColor("k"), r->setBorderColor("l"), r->setDomainLinkColor("m"), r->setTitleLinkColor("n");
  r->setAdBorderCSSSelections("o"), r->setAdjustableLineHeight(6), r->setAttributionBottomSpacing(7);
  r->setBorderCSSSelections("p"), r->setTitleUnderlineHidden(true), r->setBoldTitleEnabled(true);
  r->setDetailedAttributionExtensionEnabled(true), r->setLongerHeadlinesExtensionEnabled(false);
  r->setAdTestEnabled(true);
  EXPECT_EQ(r->fragmentParameters().dump(), json({{"channel", "a"},
                                                  {"hl", "b"},
                                                  {"colorLocation", "c"},
                                                  {"fontSizeLocation", 1.0},
                                                  {"location", true},
                                                  {"endorsements", true},
                                                  {"sellerRatings", false},
                                                  {"siteLinks", true},
                                                  {"width", "d"},
                                                  {"number", 3},
                                                  {"fontFamily", "e"},
                                                  {"fontFamilyAttribution", "f"},
                                                  {"fontSizeAnnotation", 2.0},
                                                  {"fontSizeAttribution", 3.0},
                                                  {"fontSizeDescription", 4.0},
                                                  {"fontSizeDomainLink", 5.0},
                                                  {"colorAdBorder", "g"},
                                                  {"colorAdSeparator", "h"},
                                                  {"colorAnnotation", "i"},
                                                  {"colorAttribution", "j"},
                                                  {"colorBackground", "k"},
                                                  {"colorBorder", "l"},
                                                  {"colorDomainLink", "m"},
                                                  {"colorTitleLink", "n"},
                                                  {"adBorderSelections", "o"},
                                                  {"adjustableLineHeight", 6.0},
                                                  {"attributionSpacingBelow", 7.0},
                                                  {"borderSelections", "p"},
                                                  {"noTitleUnderline", true},
                                                  {"titleBold", true},
                                                  {"detailedAttribution", true},
                                                  {"longerHeadlines", false},
                                                  {"adTest", "on"}})
                                                .dump());
  EXPECT_EQ(r->channel(), "a");
  EXPECT_EQ(r->numberOfAds(), 3);
  EXPECT_EQ(r->attributionBottomSpacing(), 7);
  EXPECT_TRUE(r->locationExtensionEnabled());
  EXPECT_FALSE(r->sellerRatingsExtensionEnabled());
  EXPECT_EQ(r->borderCSSSelections(), "p");
  r->setAdvancedOptionValue("many", "number");  // the fragment's value is no property
  EXPECT_EQ(r->numberOfAds(), 3);
  EXPECT_EQ(r->fragmentParameters()["number"], "many");
}

TEST_F(ZUMSearchRequestTest, HostTextNeverLeavesTheFragmentOrChangesTheHost) {
  auto request = ZUMDynamicHeightSearchRequest::create();
  request->setQuery("\"><script>alert('x')</script>&number=9#top");
  request->setAdvancedOptionValue("ok", "k'ey<\"&=");
  const auto fragment = request->dynamicHeightAdURLFragmentsWithAdUnitID("a&b=c");
  EXPECT_EQ(fragment.find_first_of("<>\"'# "), std::string::npos) << fragment;
  EXPECT_NE(fragment.find("k%27ey%3C%22%26%3D=ok"), std::string::npos);
  EXPECT_NE(fragment.find("pubId=a%26b%3Dc"), std::string::npos);
  EXPECT_EQ(fragment.find("number="), std::string::npos);

  const std::string tail = "/search/ads/webview.html#" + fragment;
  const std::string defaultURL = std::string("https://") + kZUMDynamicHeightSearchDefaultHost + tail;
  for (const auto& [domain, url] : std::vector<std::pair<json, std::string>>{
           {json(), defaultURL},
           {"", defaultURL},
           {"search.example.com", "https://search.example.com" + tail},
           {"search.example.com:8443", "https://search.example.com:8443" + tail},
           {"evil.example/x?", defaultURL},
           {"evil.example#", defaultURL},
           {"user@evil.example", defaultURL},
           {"evil.example:80x", defaultURL},
           {".example", defaultURL},
           {7, defaultURL},
       }) {
    if (!domain.is_null()) request->setAdvancedOptionValue(domain, "customDomain");
    EXPECT_EQ(request->TRVDynamicHeightSearchRequestURLWithAdUnitID("a&b=c")->absoluteString(), url) << domain;
  }
  EXPECT_EQ(request->dynamicHeightAdURLFragmentsWithAdUnitID("a&b=c"), fragment);  // never in the fragment
}

TEST_F(ZUMSearchRequestTest, TheRequestSignalTakesItsSortedPlace) {
  platform::UserDefaults::standard().removeObjectForKey("/vantor/ads/zums:rdiim_signal");
  auto request = ZUMDynamicHeightSearchRequest::create();
  const auto signal = ZUMRDIIMSignalParameters();
  ASSERT_TRUE(signal);
  const auto fragment = request->dynamicHeightAdURLFragmentsWithAdUnitID("u");
  // Its value is the provider's own, made anew for each call.
  const std::string key = signal->begin().key();
  std::vector<std::string> keys;
  for (std::size_t at = 0; at < fragment.size();) {
    const auto end = std::min(fragment.find('&', at), fragment.size());
    keys.push_back(fragment.substr(at, fragment.find('=', at) - at));
    at = end + 1;
  }
  std::vector<std::string> expected = {"OSType", "SDKVersion", "pubId", key};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(keys, expected);
}

}  // namespace
