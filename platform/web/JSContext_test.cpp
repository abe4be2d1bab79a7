#include "platform/web/JSContext.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/web/WebTestSupport.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

class JSContextTest : public testenv::PlatformTest {};

TEST_F(JSContextTest, EvaluatesAndCallsGlobalFunctionsWithJSONArguments) {
  auto context = JSContext::create();
  ASSERT_TRUE(context);
  EXPECT_EQ(
      context->evaluateScript("var log = []; function add(list) { log.push(list.length); return log; } 1").toJSON(), 1);
  auto add = context->objectForKeyedSubscript("add");
  ASSERT_TRUE(add.isFunction());
  auto result = add.callWithArguments({JSValue(Json::parse(R"([{"a":1},{"b":2}])"))});
  EXPECT_EQ(result.toJSON(), Json::parse("[2]"));
  EXPECT_TRUE(context->objectForKeyedSubscript("missing").isUndefined());
  EXPECT_TRUE(context->evaluateScript("typeof window").toString() == "undefined");  // no page here
}

// Characters beyond U+FFFF cross the process boundary intact both ways, and a lone
// surrogate arrives as the replacement character instead of ending the process.
TEST_F(JSContextTest, TextBeyondTheBasicPlaneSurvivesTheTrip) {
  auto context = JSContext::create();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->evaluateScript("'\\uD83D\\uDE00!'").toString(), "\xF0\x9F\x98\x80!");
  EXPECT_EQ(context->evaluateScript("'a\\uD83D'").toString(), "a\xEF\xBF\xBD");
  std::string seen;
  context->setObjectForKeyedSubscript("echo", [&](const std::vector<JSValue>& args) {
    seen = args.at(0).toString();
    return args.at(0);
  });
  EXPECT_EQ(context->evaluateScript("echo('\\uD83D\\uDE00')").toString(), "\xF0\x9F\x98\x80");
  EXPECT_EQ(seen, "\xF0\x9F\x98\x80");
}

TEST_F(JSContextTest, NativeFunctionsGetArgumentsAndCallbacks) {
  auto context = JSContext::create();
  ASSERT_TRUE(context);
  std::vector<Json> requests;
  JSValue pendingSuccess;
  context->setObjectForKeyedSubscript("nativeFetch", [&](const std::vector<JSValue>& args) {
    requests.push_back(args.at(0).toJSON());
    EXPECT_TRUE(args.at(1).isFunction());
    EXPECT_FALSE(args.at(2).isFunction());
    pendingSuccess = args.at(1);
    return JSValue(Json("sent"));
  });
  context->evaluateScript(
      "var answers = [];"
      "function init(config) { return config.io({url: 'https://x.example.com/'}, function (r) { answers.push(r); }, 5); }");
  auto init = context->objectForKeyedSubscript("init");
  auto io = context->objectForKeyedSubscript("nativeFetch");
  EXPECT_EQ(init.callWithArguments({JSValue::object({{"io", io}})}).toJSON(), "sent");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], Json::parse(R"({"url":"https://x.example.com/"})"));
  // The callback is called later, from the host.
  pendingSuccess.callWithArguments({JSValue(Json{{"status_code", 200}, {"response", "ok"}})});
  EXPECT_EQ(context->evaluateScript("answers").toJSON(), Json::parse(R"([{"status_code":200,"response":"ok"}])"));
}

// A native function may let go of the last reference to its context (an ad closing).
TEST_F(JSContextTest, NativeFunctionMayReleaseItsContext) {
  auto context = JSContext::create();
  ASSERT_TRUE(context);
  bool called = false;
  context->setObjectForKeyedSubscript("close", [&](const std::vector<JSValue>&) {
    called = true;
    context.reset();
    return JSValue(Json("closed"));
  });
  JSContext* raw = context.get();
  raw->evaluateScript("close(); 1");
  EXPECT_TRUE(called);
  EXPECT_FALSE(context);
}

TEST_F(JSContextTest, ExceptionsAndRunawayScriptsAreReported) {
  webtest::ProcessLimits limits(0.5, 8u << 20);
  auto context = JSContext::create();
  ASSERT_TRUE(context);
  EXPECT_TRUE(context->evaluateScript("throw new RangeError('nope')").isUndefined());
  EXPECT_EQ(context->exception(), "RangeError: nope");
  EXPECT_EQ(context->evaluateScript("2").toJSON(), 2);
  EXPECT_FALSE(context->exception());
  EXPECT_TRUE(context->evaluateScript("(function () { var a = []; for (;;) a.push([a.length]); })()").isUndefined());
  EXPECT_TRUE(context->exception());
  EXPECT_TRUE(context->evaluateScript("while (true) {}").isUndefined());
  EXPECT_FALSE(context->isValid());
  EXPECT_TRUE(context->evaluateScript("1").isUndefined());
  EXPECT_TRUE(context->exception());
}

}  // namespace
}  // namespace platform
