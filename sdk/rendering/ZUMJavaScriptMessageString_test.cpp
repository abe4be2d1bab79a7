#include "sdk/rendering/ZUMJavaScriptMessageString.h"

#include <cmath>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/PercentEncoding.h"
#include "platform/net/URLLoading.h"
#include "platform/web/JSContext.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/rendering/ZUMNotification.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

// Only constant names of the SDK's own kind can be sent: nothing made at run time
// converts to a page message name, and unfit constants fail the build.
static_assert(ZUMIsPageMessageName("onReadyEventReceived"));
static_assert(ZUMIsPageMessageName("mraid.onError:v-2_x"));
static_assert(!ZUMIsPageMessageName(""));
static_assert(!ZUMIsPageMessageName("a'b"));
static_assert(!ZUMIsPageMessageName("a b"));
static_assert(!ZUMIsPageMessageName("a\\b"));
static_assert(!ZUMIsPageMessageName("x');alert(1);('"));
static_assert(!ZUMIsPageMessageName("</script>"));
static_assert(!ZUMIsPageMessageName("line\u2028break"));
static_assert(!std::is_constructible_v<ZUMPageMessageName, std::string>);
static_assert(!std::is_constructible_v<ZUMPageMessageName, std::string_view>);
static_assert(!std::is_convertible_v<std::string, ZUMPageMessageName>);

// The bytes of U+2028 and U+2029 as they would stand raw in UTF-8.
const std::string kLineSeparator = "\xE2\x80\xA8";
const std::string kParagraphSeparator = "\xE2\x80\xA9";

TEST(ZUMJavaScriptMessageStringTest, BuildsTheShortAndThePayloadForms) {
  EXPECT_EQ(ZUMJavaScriptMessageString("onshow"), "QYRA_ReceiveMessage('onshow');");
  EXPECT_EQ(ZUMJavaScriptMessageString("onshow", Json()), "QYRA_ReceiveMessage('onshow');");
  // Compact JSON after a comma and a blank, keys in their order.
  EXPECT_EQ(ZUMJavaScriptMessageString(
                "onScreenInfoChanged",
                Json{{"width", 320}, {"height", 480.5}, {"isOrientationLandscape", 0}, {"forcedOrientation", "p"}}),
            "QYRA_ReceiveMessage('onScreenInfoChanged', "
            "{\"width\":320,\"height\":480.5,\"isOrientationLandscape\":0,\"forcedOrientation\":\"p\"});");
  EXPECT_EQ(ZUMJavaScriptMessageString("onshow", Json::object()), "QYRA_ReceiveMessage('onshow', {});");
}

TEST(ZUMJavaScriptMessageStringTest, APayloadThatIsNotValidJSONFallsBackToTheShortForm) {
  const std::string shortForm = "QYRA_ReceiveMessage('volume');";
  const Json invalid[] = {
      Json("text"),
      Json(1.5),
      Json(true),
      Json{{"volume", std::nan("")}},
      Json{{"volume", INFINITY}},
      Json{{"bad", std::string("\xFF\xFE")}},
      Json{{std::string("\xC3\x28"), "key not UTF-8"}},
      Json{{"data", Json::binary({1, 2, 3})}},
  };
  for (const Json& payload : invalid) {
    EXPECT_EQ(ZUMJavaScriptMessageString("volume", payload), shortForm) << payload.type_name();
  }
  Json deep = Json::object();
  for (int i = 0; i < 10000; ++i) deep = Json{{"d", std::move(deep)}};
  EXPECT_EQ(ZUMJavaScriptMessageString("volume", deep), shortForm);
}

TEST(ZUMJavaScriptMessageStringTest, PayloadStringsCannotEndTheCallTheLineOrTheScriptElement) {
  const Json payload = {{"close", "</script><script>alert(1)</script>"},
                        {"quotes", "it's \"quoted\"');alert(2);('"},
                        {"lines", kLineSeparator + kParagraphSeparator},
                        {"comment", "<!-- & -->"},
                        {"</script>", "key"}};
  const std::string call = ZUMJavaScriptMessageString("onPrecacheEvent", payload);
  EXPECT_EQ(call,
            "QYRA_ReceiveMessage('onPrecacheEvent', {"
            "\"close\":\"\\u003c/script\\u003e\\u003cscript\\u003ealert(1)\\u003c/script\\u003e\","
            "\"quotes\":\"it\\u0027s \\\"quoted\\\"\\u0027);alert(2);(\\u0027\","
            "\"lines\":\"\\u2028\\u2029\","
            "\"comment\":\"\\u003c!-- \\u0026 --\\u003e\","
            "\"\\u003c/script\\u003e\":\"key\"});");
  // The escaped text is still JSON for the same values.
  const std::string json = call.substr(call.find(", ") + 2, call.size() - call.find(", ") - 4);
  EXPECT_EQ(Json::parse(json), payload);
}

// Payload values built from the pieces most likely to break a script call.
class PayloadGenerator {
 public:
  explicit PayloadGenerator(unsigned seed) : random_(seed) {}

  Json dictionary(int depth = 0) {
    Json object = Json::object();
    const int keys = pick(5);
    for (int i = 0; i < keys; ++i) object[string()] = value(depth + 1);
    return object;
  }

 private:
  int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }

  std::string string() {
    static const std::vector<std::string> pieces = {
        "a",
        "Z9",
        "\u00e9",
        "\u20ac",
        "\U0001F600",
        kLineSeparator,
        kParagraphSeparator,
        "</script>",
        "<!--",
        "-->",
        "'",
        "\"",
        "\\",
        "\\u2028",
        "\n",
        "\r",
        "\t",
        std::string(1, '\0'),
        "\x1f",
        "\x7f",
        "');alert(1);('",
        "${x}",
        "`",
        "&amp;",
        "\u00a0",
        "\ufeff",
        "]]>",
        "*/",
        "//",
        "<",
        ">",
        "&",
    };
    std::string text;
    for (int i = pick(6); i > 0; --i) text += pieces[static_cast<std::size_t>(pick(static_cast<int>(pieces.size())))];
    return text;
  }

  // Strings are three times as likely as any other kind; containers only near the top.
  Json value(int depth) {
    static const double doubles[] = {0.5, -1.25e-7, 3.14159, 1e300, -0.0, 2.5e-310, 123456.789};
    switch (pick(depth < 3 ? 9 : 7)) {
      case 2:
        return std::uniform_int_distribution<std::int64_t>(-(1LL << 53), 1LL << 53)(random_);
      case 3:
        return doubles[pick(7)];
      case 4:
        return pick(2) == 0;
      case 5:
        return nullptr;
      case 7: {
        Json array = Json::array();
        for (int i = pick(4); i > 0; --i) array.push_back(value(depth + 1));
        return array;
      }
      case 8:
        return dictionary(depth);
      default:
        return string();
    }
  }

  std::mt19937 random_;
};

TEST(ZUMJavaScriptMessageStringTest, EveryGeneratedCallParsesBackInThePageEngine) {
  testenv::TestEnvironment env;
  auto context = platform::JSContext::create();
  ASSERT_TRUE(context);
  // What the page got comes back percent-encoded: the context's replies do not carry
  // characters beyond U+FFFF.
  context->evaluateScript(
      "function QYRA_ReceiveMessage(name, payload) {"
      "  return encodeURIComponent(JSON.stringify(arguments.length === 1 ? [name] : [name, payload]));"
      "}");
  ASSERT_FALSE(context->exception()) << *context->exception();

  auto deliver = [&](const std::string& call) {
    platform::JSValue result = context->evaluateScript(call);
    EXPECT_FALSE(context->exception()) << call << "\n" << context->exception().value_or("");
    auto text = platform::PercentEncoding::decode(result.toString());
    return text ? Json::parse(*text, nullptr, false) : Json();
  };
  EXPECT_EQ(deliver(ZUMJavaScriptMessageString("onshow")), Json::array({"onshow"}));
  PayloadGenerator generator(20240601);
  for (int i = 0; i < 300; ++i) {
    const Json payload = generator.dictionary();
    const std::string call = ZUMJavaScriptMessageString("onVideoEvent", payload);
    ASSERT_NE(call, "QYRA_ReceiveMessage('onVideoEvent');") << payload.dump();
    EXPECT_EQ(call.find(kLineSeparator), std::string::npos);
    EXPECT_EQ(call.find(kParagraphSeparator), std::string::npos);
    EXPECT_EQ(call.find('<'), std::string::npos);
    EXPECT_EQ(deliver(call), Json::array({"onVideoEvent", payload})) << call;
  }
}

// A navigation delegate that turns the page's tolm:// messages into ZUMNotification
// objects and loads everything else.
class MessageCollector : public platform::WKNavigationDelegate {
 public:
  void webViewDecidePolicyForNavigationAction(
      platform::WKWebView&, const platform::WKNavigationAction& action,
      std::function<void(platform::WKNavigationActionPolicy)> decisionHandler) override {
    if (!ZUMNotification::isNotificationURL(action.request.url())) {
      decisionHandler(platform::WKNavigationActionPolicy::Allow);
      return;
    }
    if (auto message = ZUMNotification::createWithNotificationURL(action.request.url())) messages.push_back(message);
    decisionHandler(platform::WKNavigationActionPolicy::Cancel);
  }
  void webViewDidFinishNavigation(platform::WKWebView&) override { finished = true; }

  std::vector<std::shared_ptr<const ZUMNotification>> messages;
  bool finished = false;
};

class PageMessagesTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    view = platform::WKWebView::create({0, 0, 320, 50});
    view->setNavigationDelegate(collector);
  }
  void TearDown() override { platform::URLLoading::setLoopbackOnlyForTesting(false); }

  void load(const std::string& html) {
    view->loadHTMLString(html, platform::URL::fromString("https://ads.example.com/ad.html"));
    ASSERT_TRUE(env.runUntil([&] { return collector->finished; }));
  }
  // Runs the call in the page and waits for the page's answer.
  std::shared_ptr<const ZUMNotification> send(const std::string& call) {
    const std::size_t before = collector->messages.size();
    view->evaluateJavaScript(call);
    EXPECT_TRUE(env.runUntil([&] { return collector->messages.size() > before; })) << call;
    return collector->messages.size() > before ? collector->messages.back() : nullptr;
  }

  std::shared_ptr<MessageCollector> collector = std::make_shared<MessageCollector>();
  std::shared_ptr<platform::WKWebView> view;
};

TEST_F(PageMessagesTest, APageReceivesCallsAndAnswersWithMessages) {
  load(platform::webtest::readPage("sdk_messages.html"));
  auto answer = send(ZUMJavaScriptMessageString("onshow"));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->parameters(), (Json{{"name", "onshow"}, {"count", "1"}}));  // no second argument
}

TEST_F(PageMessagesTest, ACallWrittenIntoAScriptElementStaysInside) {
  const Json payload = {{"html", "</script><script>location.href='tolm://x/escaped'</script>"},
                        {"line", kLineSeparator}};
  load(
      "<html><head><script>"
      "function QYRA_ReceiveMessage(name, payload) {"
      "  location.href = 'tolm://x/got?p=' + encodeURIComponent(JSON.stringify(payload));"
      "}</script><script>" +
      ZUMJavaScriptMessageString("onPrecacheEvent", payload) + "</script></head><body></body></html>");
  ASSERT_EQ(collector->messages.size(), 1u);
  EXPECT_EQ(collector->messages[0]->name(), "got");
  EXPECT_EQ(Json::parse(collector->messages[0]->parameters()["p"].get<std::string>()), payload);
}

}  // namespace
