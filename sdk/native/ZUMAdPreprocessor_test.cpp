// The preprocessor against the built-in native-ads page and silent, slow and hostile
// variants of it: the script call it makes, the answer it takes, and the error of each
// way a body, a page or an answer can fail, each completion once and never inside the call.
#include "sdk/native/ZUMAdPreprocessor.h"

#include <chrono>

#include "platform/base/SystemLog.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/native/ZUMNativeTestSupport.h"

namespace {

using namespace std::chrono_literals;
using nativetest::Json;

struct Outcome {
  int calls = 0;
  std::optional<Json> document;
  std::shared_ptr<ZUMSlot> slot;
  platform::ErrorPtr error;
};

class ZUMAdPreprocessorTest : public testenv::PlatformTest {
 protected:
  ZUMAdPreprocessorTest() { ZUMMobileAds::load(); }

  // Starts preprocessing `body`; the completion never runs inside the call.
  std::shared_ptr<Outcome> start(const std::string& body) {
    auto outcome = std::make_shared<Outcome>();
    preprocessor = ZUMAdPreprocessor::create("unit-A");
    preprocessor->preprocessNativeAdJSON(
        body, [outcome](const std::optional<Json>& document, const std::shared_ptr<ZUMSlot>& slot,
                        const platform::ErrorPtr& error) {
          EXPECT_TRUE(platform::isMainThread());
          ++outcome->calls;
          outcome->document = document;
          outcome->slot = slot;
          outcome->error = error;
        });
    EXPECT_EQ(outcome->calls, 0);
    return outcome;
  }
  // Runs until the completion came (moving time on once `ready()` holds, for a run that
  // must time out), then on for a while to see that it came once.
  void finish(const std::shared_ptr<Outcome>& outcome, const std::function<bool()>& ready = nullptr) {
    if (ready) {
      ASSERT_TRUE(env.runUntil(ready));
      EXPECT_EQ(outcome->calls, 0);
      env.advance(std::chrono::duration<double>(ZUMAdPreprocessor::kTimeout) - 1ms);
      EXPECT_EQ(outcome->calls, 0);
      env.advance(1ms);
    }
    ASSERT_TRUE(env.runUntil([&] { return outcome->calls > 0; }));
    env.advance(10s);
    EXPECT_EQ(outcome->calls, 1);
  }
  std::vector<std::string> calls() const { return nativetest::nativeCalls(*preprocessor->slot()); }
  static std::string environment() { return "{\"sdk_version\":\"" + ZUMRequest::sdkVersion() + "\"}"; }

  nativetest::NativeHosts hosts;
  std::shared_ptr<ZUMAdPreprocessor> preprocessor;
};

TEST_F(ZUMAdPreprocessorTest, SendsTheDecodedResponseAndCompletesWithThePagesDocument) {
  auto outcome = start("{ \"ads\" : [ {\"headline\": \"</script><b>\"}, 7 ] }");
  finish(outcome);
  ASSERT_EQ(outcome->error, nullptr);
  EXPECT_EQ(outcome->slot, preprocessor->slot());
  ASSERT_TRUE(outcome->document);
  EXPECT_EQ(*outcome->document,
            (Json{{"ads", {{{"headline", "</script><b>"}, {"sdk_version", ZUMRequest::sdkVersion()}}}}}));
  const std::string sent = ZUMScriptSafeJSON(R"({"ads":[{"headline":"</script><b>"},7]})");
  EXPECT_EQ(calls(),
            std::vector<std::string>{"vantor.qyra.nativeAds.preProcessJsonTolm(" + sent + ", " + environment() + ")"});
  EXPECT_EQ(sent.find('<'), std::string::npos);
  // The slot is the ads' now: the preprocessor no longer hears its loads.
  EXPECT_EQ(outcome->slot->adLoadDelegate(), nullptr);
}

TEST_F(ZUMAdPreprocessorTest, AnEmptyArrayIsJSONAndGoesToThePage) {
  auto outcome = start("[]");
  finish(outcome);
  EXPECT_EQ(outcome->error, nullptr);
  EXPECT_EQ(outcome->document, (Json{{"ads", Json::array()}}));
  EXPECT_EQ(calls(), std::vector<std::string>{"vantor.qyra.nativeAds.preProcessJsonTolm([], " + environment() + ")"});
}

TEST_F(ZUMAdPreprocessorTest, EachFailureCompletesOnceWithItsError) {
  const std::string timedOut = "Timed out waiting for jsLoaded or nativeAdPreProcess TOLMs.";
  const struct {
    const char* name;
    std::string page;  // empty: a page that fails to load
    bool held;
    std::string body;
    std::string domain;
    std::int64_t code;
    std::string description;
    bool timesOut = false;
  } rows[] = {
      {"body is not JSON", std::string(ZUMNativeAdsPageHTML()), false, "<html>", kZUMJSONReadingErrorDomain,
       kZUMJSONReadingErrorCorrupt, ""},
      {"body is a bare string", std::string(ZUMNativeAdsPageHTML()), false, "\"ads\"", kZUMJSONReadingErrorDomain,
       kZUMJSONReadingErrorCorrupt, ""},
      {"page never finishes", std::string(ZUMNativeAdsPageHTML()), true, "{}", kZUMErrorDomain, 11, timedOut, true},
      {"page is silent", nativetest::pageWith("window.onload = function () { send('log', {string: 'page-ready'}); };"),
       false, "{}", kZUMErrorDomain, 11, timedOut, true},
      {"page never answers",
       nativetest::pageWith("vantor.qyra.nativeAds.preProcessJsonTolm = function () {"
                            " send('log', {string: 'page-ready'}); };"),
       false, "{}", kZUMErrorDomain, 11, timedOut, true},
      {"answer is not JSON",
       nativetest::pageWith("vantor.qyra.nativeAds.preProcessJsonTolm = function () {"
                            " send('nativeAdPreProcess', {success: '{ads:'}); };"),
       false, "{}", kZUMErrorDomain, 13, "Request Error: Received invalid response."},
      {"answer is missing",
       nativetest::pageWith("vantor.qyra.nativeAds.preProcessJsonTolm = function () {"
                            " send('nativeAdPreProcess', {failure: '1'}); };"),
       false, "{}", kZUMErrorDomain, 13, "Request Error: Received invalid response."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    hosts.servePage(row.page, row.held);
    platform::SystemLog::Capture capture(true);
    const auto requested = hosts.hits(nativetest::kPagePath);
    auto outcome = start(row.body);
    if (row.timesOut) {
      finish(outcome, [&] {
        return hosts.hits(nativetest::kPagePath) > requested && (row.held || capture.contains("page-ready"));
      });
    } else {
      finish(outcome);
    }
    ASSERT_NE(outcome->error, nullptr);
    EXPECT_EQ(outcome->error->domain(), row.domain);
    EXPECT_EQ(outcome->error->code(), row.code);
    if (!row.description.empty()) {
      EXPECT_EQ(outcome->error->localizedDescription(), row.description);
    }
    EXPECT_EQ(outcome->document, std::nullopt);
    EXPECT_EQ(outcome->slot, nullptr);
    env.runUntilIdle();
    EXPECT_FALSE(capture.messages().empty());
    hosts.server.release(nativetest::kPagePath);
  }
}

TEST_F(ZUMAdPreprocessorTest, APageThatFailsToLoadGivesTheSlotsError) {
  hosts.server.route(nativetest::kPagePath, {.status = 500, .body = "down"});
  auto outcome = start("{}");
  finish(outcome);
  ASSERT_NE(outcome->error, nullptr);
  EXPECT_EQ(outcome->document, std::nullopt);
}

TEST_F(ZUMAdPreprocessorTest, TwoLoadedMessagesRunTheScriptTwiceAndTheFirstAnswerCounts) {
  hosts.servePage(nativetest::pageWith(
      "var answers = 0;"
      "window.onload = function () { send('jsLoaded', {}); send('jsLoaded', {}); };"
      "vantor.qyra.nativeAds.preProcessJsonTolm = function () {"
      " answers++; send('nativeAdPreProcess', {success: JSON.stringify({ads: [], n: answers})}); };"));
  auto outcome = start("{\"ads\":[]}");
  finish(outcome);
  EXPECT_EQ(outcome->document, (Json{{"ads", Json::array()}, {"n", 1}}));
  EXPECT_EQ(calls().size(), 2u);
}

TEST_F(ZUMAdPreprocessorTest, AnAnswerAfterTheTimeOutIsIgnored) {
  hosts.servePage(nativetest::pageWith(
      "vantor.qyra.nativeAds.preProcessJsonTolm = function () {"
      " send('log', {string: 'page-ready'});"
      " setTimeout(function () { send('nativeAdPreProcess', {success: '{\"ads\":[]}'}); }, 6000); };"));
  platform::SystemLog::Capture capture(true);
  auto outcome = start("{}");
  finish(outcome, [&] { return capture.contains("page-ready"); });
  ASSERT_NE(outcome->error, nullptr);
  EXPECT_EQ(outcome->error->code(), 11);
  env.advance(10s);
  EXPECT_EQ(outcome->calls, 1);
  EXPECT_EQ(outcome->document, std::nullopt);
}

TEST_F(ZUMAdPreprocessorTest, APreprocessorReleasedMidRunCompletesNothing) {
  auto outcome = start("{}");
  preprocessor.reset();
  env.advance(10s);
  EXPECT_EQ(outcome->calls, 0);
}

}  // namespace
