#include "sdk/rendering/ZUMTOLMHandler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/net/URLRequest.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMNotification.h"
#include "testing/TestEnvironment.h"

namespace {

using nlohmann::ordered_json;

// Claims "a" and "sub"; holds messages while `hold` is set; records what runs.
class RecordingHandler : public ZUMTOLMHandler {
 public:
  const ActionTable* actionBlockDictionary() const override {
    static const ActionTable table{{"a", action(&RecordingHandler::adViewA)},
                                   {"sub", action(&RecordingHandler::adViewSub)}};
    return &table;
  }
  const ActionTable* subActionBlockDictionary() const override {
    static const ActionTable table{{"tick", action(&RecordingHandler::adViewTick)}};
    return &table;
  }
  bool shouldBufferNotification(const ZUMNotification&, const ZUMAdView&) override { return hold; }

  void adViewA(ZUMAdView& adView, const ordered_json& parameters) {
    runs.push_back({&adView, parameters.value("n", std::string())});
  }
  void adViewSub(ZUMAdView& adView, const ordered_json& parameters) {
    if (!runSubAction("action", adView, parameters)) runs.push_back({&adView, "unknown"});
  }
  void adViewTick(ZUMAdView& adView, const ordered_json&) { runs.push_back({&adView, "tick"}); }

  bool hold = false;
  std::vector<std::pair<ZUMAdView*, std::string>> runs;
};

std::shared_ptr<const ZUMNotification> message(const std::string& name,
                                               ordered_json parameters = ordered_json::object()) {
  return ZUMNotification::create(name, parameters);
}

class ZUMTOLMHandlerTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 50});
  std::shared_ptr<ZUMAdView> otherView = ZUMAdView::create({0, 0, 320, 50});
  RecordingHandler handler;
};

TEST_F(ZUMTOLMHandlerTest, ClaimsOnlyNamesOfItsTableExactly) {
  EXPECT_FALSE(ZUMTOLMHandler::create()->handleNotification(message("a"), adView));
  EXPECT_FALSE(handler.handleNotification(nullptr, adView));
  EXPECT_FALSE(handler.handleNotification(message("a"), nullptr));
  EXPECT_FALSE(handler.handleNotification(message("A"), adView));
  EXPECT_FALSE(handler.handleNotification(message("b"), adView));
  EXPECT_TRUE(handler.runs.empty());
  EXPECT_TRUE(handler.handleNotification(message("a", {{"n", "1"}}), adView));
  ASSERT_EQ(handler.runs.size(), 1u);
  EXPECT_EQ(handler.runs[0], std::make_pair(adView.get(), std::string("1")));
}

TEST_F(ZUMTOLMHandlerTest, HeldMessagesCountAsClaimedAndReplayInOrderWithTheirOwnViews) {
  handler.hold = true;
  EXPECT_TRUE(handler.handleNotification(message("a", {{"n", "1"}}), adView));
  EXPECT_TRUE(handler.handleNotification(message("a", {{"n", "2"}}), otherView));
  EXPECT_TRUE(handler.runs.empty());

  handler.flushBuffer();  // still held: same messages, same order
  EXPECT_TRUE(handler.runs.empty());
  EXPECT_EQ(handler.bufferedNotificationCount(), 2u);

  handler.hold = false;
  handler.flushBuffer();
  const std::vector<std::pair<ZUMAdView*, std::string>> expected{{adView.get(), "1"}, {otherView.get(), "2"}};
  EXPECT_EQ(handler.runs, expected);
  EXPECT_EQ(handler.bufferedNotificationCount(), 0u);
}

TEST_F(ZUMTOLMHandlerTest, SubActionsRunByTheirParameterAndUnknownOnesStayClaimed) {
  for (const auto& [parameters, expected] : std::vector<std::pair<ordered_json, std::string>>{
           {{{"action", "tick"}}, "tick"}, {{{"action", "tock"}}, "unknown"}, {ordered_json::object(), "unknown"}}) {
    handler.runs.clear();
    EXPECT_TRUE(handler.handleNotification(message("sub", parameters), adView));
    ASSERT_EQ(handler.runs.size(), 1u);
    EXPECT_EQ(handler.runs[0].second, expected) << parameters.dump();
  }
}

TEST_F(ZUMTOLMHandlerTest, RequestsAreClaimedOnlyForMessageURLs) {
  for (const auto& [url, claimed] : std::vector<std::pair<std::string, bool>>{
           {"tolm://x/a?n=3", true}, {"TOLM://x/a", true}, {"https://x/a", false}, {"tolm://x/", false}}) {
    EXPECT_EQ(handler.handleRequest(platform::URLRequest(*platform::URL::fromString(url)), adView), claimed) << url;
  }
  EXPECT_EQ(handler.runs.front().second, "3");
}

TEST(ZUMTOLMHandlerParametersTest, ParametersReadAsStringsWithDefaultsForMissingOrUnfitValues) {
  const ordered_json p{{"empty", ""},          {"one", "1"},      {"yes", "YES"},   {"true", "true"},
                       {"n", " -2.5e1x"},      {"huge", "1e999"}, {"int", "42abc"}, {"url", "https://x.example.com/a"},
                       {"bad url", "http://["}};
  EXPECT_TRUE(ZUMTOLMHandler::hasParameter(p, "empty"));
  EXPECT_FALSE(ZUMTOLMHandler::hasParameter(p, "none"));
  for (const auto& [key, flag] : std::vector<std::pair<std::string, bool>>{
           {"one", true}, {"true", true}, {"yes", false}, {"empty", false}, {"none", false}}) {
    EXPECT_EQ(ZUMTOLMHandler::flagParameter(p, key), flag) << key;
  }
  EXPECT_TRUE(ZUMTOLMHandler::boolParameter(p, "yes"));
  EXPECT_FALSE(ZUMTOLMHandler::boolParameter(p, "empty", true));
  EXPECT_TRUE(ZUMTOLMHandler::boolParameter(p, "none", true));
  EXPECT_EQ(ZUMTOLMHandler::doubleParameter(p, "n"), -25.0);
  EXPECT_EQ(ZUMTOLMHandler::doubleParameter(p, "huge", 7), 7.0);
  EXPECT_EQ(ZUMTOLMHandler::doubleParameter(p, "none", 3), 3.0);
  EXPECT_EQ(ZUMTOLMHandler::doubleParameter(p, "empty", 3), 0.0);
  EXPECT_EQ(ZUMTOLMHandler::integerParameter(p, "int"), 42);
  EXPECT_EQ(ZUMTOLMHandler::integerParameter(p, "none", -1), -1);
  EXPECT_EQ(ZUMTOLMHandler::URLParameter(p, "url")->host(), "x.example.com");
  EXPECT_FALSE(ZUMTOLMHandler::URLParameter(p, "bad url"));
  EXPECT_FALSE(ZUMTOLMHandler::URLParameter(p, "none"));
}

}  // namespace
