#include "platform/web/WebPage.h"

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/SystemLog.h"
#include "platform/web/WebTestSupport.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

class Client : public WebPage::Client {
 public:
  void pageDidFinishLoad() override { ++finished; }
  void pageDidFailLoad(const ErrorPtr& error, bool) override { failures.push_back(error); }
  void pageDidAlert(const std::string& message) override {
    ++alerts;
    if (onAlert) onAlert(message);
  }
  void pageWebContentProcessDidTerminate() override { ++terminated; }

  int finished = 0;
  int alerts = 0;
  int terminated = 0;
  std::vector<ErrorPtr> failures;
  std::function<void(const std::string&)> onAlert;
};

class WebPageTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    page->loadHTMLString("<p>page</p>", URL::fromString("https://static.example.com/"));
    ASSERT_TRUE(env.runUntil([&] { return client.finished == 1; }));
  }
  void TearDown() override { page->detach(); }

  template <typename Items>
  static std::size_t textBytes(const Items& items) {
    std::size_t bytes = 0;
    for (const auto& item : items) {
      if constexpr (std::is_same_v<typename Items::value_type, std::string>) {
        bytes += item.size();
      } else {
        bytes += item.level.size() + item.message.size();
      }
    }
    return bytes;
  }

  // Time enough for a sanitizer build to carry 4 MiB lines.
  webtest::ProcessLimits limits{30, 60, 60};
  Client client;
  std::shared_ptr<WebPage> page = WebPage::create(&client);
};

// A page that logs and alerts without end keeps only its latest lines, within the caps.
TEST_F(WebPageTest, ConsoleAndAlertFloodsStayWithinTheByteCaps) {
  page->evaluate("var huge = 'h'; while (huge.length < (4 << 20)) huge += huge; console.log(huge); alert(huge)");
  ASSERT_EQ(page->consoleMessages().size(), 1u);
  EXPECT_EQ(page->consoleMessages()[0].message.size(), WebPage::kMaxMessageBytes);
  EXPECT_EQ(page->alerts()[0].size(), WebPage::kMaxMessageBytes);

  // Cut where a character begins, never inside one.
  page->evaluate("console.log(new Array(6000).join('\u20ac'))");
  EXPECT_EQ(page->consoleMessages()[1].message.size(), WebPage::kMaxMessageBytes / 3 * 3);
  EXPECT_TRUE(PercentEncoding::isValidUTF8(page->consoleMessages()[1].message));

  page->evaluate(
      "var line = 'x'; while (line.length < 17000) line += line; line = line.slice(0, 17000);"
      "for (var i = 0; i < 70; i++) { console.warn(i + line); alert(i + line); }");
  EXPECT_LE(textBytes(page->consoleMessages()), WebPage::kMaxKeptBytes);
  EXPECT_LE(textBytes(page->alerts()), WebPage::kMaxKeptBytes);
  EXPECT_EQ(page->consoleMessages().back().message.substr(0, 3), "69x");
  EXPECT_EQ(page->consoleMessages().back().level, "warn");
  EXPECT_EQ(page->alerts().back().substr(0, 3), "69x");
  // Every line counted: kept or dropped.
  EXPECT_EQ(page->consoleMessages().size() + page->droppedConsoleMessages(), 72u);
  EXPECT_EQ(page->alerts().size() + page->droppedAlerts(), 71u);
  EXPECT_GT(page->droppedConsoleMessages(), 0u);
  EXPECT_EQ(client.alerts, 71);

  page->evaluate("for (var i = 0; i < 1500; i++) console.log('n' + i)");
  EXPECT_EQ(page->consoleMessages().size(), WebPage::kMaxKeptMessages);
  EXPECT_EQ(page->consoleMessages().front().message, "n500");
  EXPECT_EQ(page->consoleMessages().size() + page->droppedConsoleMessages(), 1572u);
}

// Events past the cap of one round trip are lost, but never silently.
TEST_F(WebPageTest, MessageFloodReportsItsDroppedCountOnce) {
  SystemLog::Capture log(true);
  page->evaluate("for (var i = 0; i < 10250; i++) console.log('m')");
  EXPECT_EQ(page->droppedPageEvents(), 250u);
  page->evaluate("for (var i = 0; i < 10100; i++) console.log('m')");
  EXPECT_EQ(page->droppedPageEvents(), 350u);
  page->evaluate("console.log('quiet')");
  EXPECT_EQ(page->droppedPageEvents(), 350u);
  auto messages = log.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("made 250 events past the limit"), std::string::npos);
}

// A navigation to a URL past the longest the host reads is dropped in the page's
// process and counted; one at that length still comes through.
TEST_F(WebPageTest, ANavigationToAnOverlongURLIsDroppedBeforeTheHostReadsIt) {
  const std::string head = "tolm://x/m?v=";
  const auto navigate = [&](std::size_t bytes) {
    page->evaluate("var u = 'a'; while (u.length < " + std::to_string(bytes) + ") u += u; location.href = '" + head +
                   "' + u.substring(0, " + std::to_string(bytes - head.size()) + ")");
  };
  navigate(WebPage::kMaxNavigationURLBytes);
  EXPECT_EQ(page->droppedPageEvents(), 0u);
  navigate(WebPage::kMaxNavigationURLBytes + 1);
  EXPECT_EQ(page->droppedPageEvents(), 1u);
}

// Events are weighed as well as counted: long console lines past one round trip's bytes
// are dropped and reported like any others, and the page goes on. A reply longer than
// the host takes ends the process, with that reason.
TEST_F(WebPageTest, LongEventsAreCappedInBytesAndAnOverlongReplyEndsThePage) {
  SystemLog::Capture log(true);
  page->evaluate(
      "var line = 'y'; while (line.length < (64 << 10)) line += line;"
      "for (var i = 0; i < 2000; i++) console.log(line)");
  EXPECT_EQ(client.terminated, 0);
  EXPECT_GT(page->droppedPageEvents(), 1500u);
  EXPECT_LT(page->droppedPageEvents(), 2000u);
  EXPECT_EQ(page->consoleMessages().size() + page->droppedConsoleMessages() + page->droppedPageEvents(), 2000u);
  EXPECT_TRUE(log.contains("events past the limit"));
  EXPECT_EQ(page->evaluate("6 * 7").text, "42");

  const auto result = page->evaluate("var big = 'z'; while (big.length < (8 << 20)) big += big; big + 'tail'");
  ASSERT_TRUE(result.error);
  EXPECT_EQ(client.terminated, 1);
  EXPECT_EQ(page->terminationReason(), "reply too large");
  EXPECT_EQ(result.error->localizedFailureReason(), "reply too large");
  EXPECT_TRUE(log.contains("the page's content process ended: reply too large"));
}

// A page whose timer works a while holds neither the main queue nor another page's timer
// due at the same time: both are sent before the first is answered, and under virtual
// time the answers come after the main queue's work, in the order asked.
TEST_F(WebPageTest, ABusyPageHoldsNeitherMainQueueWorkNorOtherPagesTimers) {
  Client otherClient;
  auto other = WebPage::create(&otherClient);
  other->loadHTMLString("<p>other</p>", URL::fromString("https://other.example.com/"));
  env.runUntilIdle();
  ASSERT_EQ(otherClient.finished, 1);
  std::vector<std::string> log;
  client.onAlert = [&](const std::string& message) {
    log.push_back(message + (other->isBusy() ? " while the other works" : ""));
  };
  otherClient.onAlert = [&](const std::string& message) { log.push_back(message); };
  page->evaluate("setTimeout(function () { for (var i = 0; i < 300000; i++) {} alert('busy page') }, 1000)");
  other->evaluate("setTimeout(function () { alert('other page') }, 1000)");
  DispatchQueue::main()->after(
      1.0, [&] { log.push_back(std::string("main queue") + (page->isBusy() ? " while busy" : "")); });
  env.advance(2);
  EXPECT_EQ(log, (std::vector<std::string>{"main queue while busy", "busy page while the other works", "other page"}));
  EXPECT_FALSE(page->isBusy());
  other->detach();
}

// A content process that dies with several requests owed fails each of them, and the
// page reports its end once.
TEST_F(WebPageTest, AProcessEndedWithRequestsOwedIsReportedOnce) {
  webtest::ProcessLimits shortLimit(0.3);
  Client looping;
  auto view = WebPage::create(&looping);
  view->loadHTMLString("<script>setTimeout(function () { while (true) {} }, 1000)</script>",
                       URL::fromString("https://loop.example.com/"));
  env.runUntilIdle();
  ASSERT_EQ(looping.finished, 1);
  std::vector<ErrorPtr> errors;
  DispatchQueue::main()->after(
      1.0, [&] { view->evaluate("1", [&](WebPage::EvaluationResult result) { errors.push_back(result.error); }); });
  env.advance(2);
  EXPECT_EQ(looping.terminated, 1);
  EXPECT_EQ(view->terminationReason(), "timed out");
  ASSERT_EQ(errors.size(), 1u);
  ASSERT_TRUE(errors[0]);
  EXPECT_EQ(errors[0]->code(), kWebContentErrorProcessTerminated);
  view->detach();

  // A page that never loaded starts its process for an evaluation.
  Client blank;
  auto fresh = WebPage::create(&blank);
  std::string text;
  fresh->evaluate("6 * 7", [&](WebPage::EvaluationResult result) { text = result.text; });
  env.runUntilIdle();
  EXPECT_EQ(text, "42");
}

TEST(WebPageRecordingTest, EvaluatedScriptsAreABoundedRingThatKeepsTheLatest) {
  std::vector<std::string> recorded;
  for (int i = 0; i < 70; ++i) WebPage::recordEvaluatedScript(recorded, "s" + std::to_string(i));
  ASSERT_EQ(recorded.size(), WebPage::kMaxRecordedScripts);
  EXPECT_EQ(recorded.front(), "s6");
  EXPECT_EQ(recorded.back(), "s69");

  const std::string half(WebPage::kMaxKeptBytes / 2, 'h');
  WebPage::recordEvaluatedScript(recorded, half);
  WebPage::recordEvaluatedScript(recorded, half);
  EXPECT_EQ(recorded, (std::vector<std::string>{half, half}));
  const std::string huge(WebPage::kMaxKeptBytes + 1, 'x');
  WebPage::recordEvaluatedScript(recorded, huge);
  EXPECT_EQ(recorded, std::vector<std::string>{huge});
}

}  // namespace
}  // namespace platform
