#include "platform/web/WKWebView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/net/URLLoading.h"
#include "platform/web/WebTestSupport.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using webtest::readPage;

class RecordingNavigationDelegate : public WKNavigationDelegate {
 public:
  void webViewDecidePolicyForNavigationAction(WKWebView&, const WKNavigationAction& action,
                                              std::function<void(WKNavigationActionPolicy)> decisionHandler) override {
    const std::string url = action.request.url()->absoluteString();
    log.push_back("decide " + url + " " + std::to_string(static_cast<int>(action.navigationType)) +
                  (action.targetFrame && action.targetFrame->isMainFrame ? " main" : " frame"));
    actions.push_back(action);
    const bool allow = url.rfind("tolm:", 0) != 0;
    if (holdDecisions) {
      held.push_back([decisionHandler, allow] {
        decisionHandler(allow ? WKNavigationActionPolicy::Allow : WKNavigationActionPolicy::Cancel);
      });
      return;
    }
    decisionHandler(allow ? WKNavigationActionPolicy::Allow : WKNavigationActionPolicy::Cancel);
  }
  void webViewDidCommitNavigation(WKWebView&) override { log.push_back("commit"); }
  void webViewDidFinishNavigation(WKWebView&) override { log.push_back("finish"); }
  void webViewDidFailNavigation(WKWebView&, const ErrorPtr& error) override {
    log.push_back("fail " + std::to_string(error->code()));
  }
  void webViewDidFailProvisionalNavigation(WKWebView&, const ErrorPtr& error) override {
    log.push_back("fail provisional " + std::to_string(error->code()));
    errors.push_back(error);
  }
  void webViewWebContentProcessDidTerminate(WKWebView&) override { log.push_back("terminated"); }

  bool holdDecisions = false;
  std::vector<std::function<void()>> held;
  std::vector<std::string> log;
  std::vector<WKNavigationAction> actions;
  std::vector<ErrorPtr> errors;
};

class RecordingUIDelegate : public WKUIDelegate {
 public:
  std::shared_ptr<WKWebView> webViewCreateWebViewWithConfiguration(WKWebView&, const WKWebViewConfiguration&,
                                                                   const WKNavigationAction& action) override {
    newWindows.push_back(action);
    return nullptr;
  }
  void webViewRunJavaScriptAlertPanelWithMessage(WKWebView&, const std::string& message, const WKFrameInfo& frame,
                                                 std::function<void()> completionHandler) override {
    alerts.push_back(message + " @" + frame.request.url()->host().value_or(""));
    completionHandler();
  }
  std::vector<WKNavigationAction> newWindows;
  std::vector<std::string> alerts;
};

class WKWebViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    URLLoading::setLoopbackOnlyForTesting(true);
    configuration->userContentController()->addUserScript(WKUserScript::create(
        "console.log('user start', document.readyState)", WKUserScriptInjectionTime::AtDocumentStart, true));
    configuration->userContentController()->addUserScript(WKUserScript::create(
        "console.log('user end', document.readyState)", WKUserScriptInjectionTime::AtDocumentEnd, false));
    view = WKWebView::create({0, 0, 320, 50}, configuration);
    view->setNavigationDelegate(delegate);
    view->setUIDelegate(ui);
  }
  void TearDown() override { URLLoading::setLoopbackOnlyForTesting(false); }

  void load(const std::string& page, const std::string& base = "https://static.example.com/page.html") {
    view->loadHTMLString(readPage(page), URL::fromString(base));
    ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  }

  std::shared_ptr<WKWebViewConfiguration> configuration = WKWebViewConfiguration::create();
  std::shared_ptr<RecordingNavigationDelegate> delegate = std::make_shared<RecordingNavigationDelegate>();
  std::shared_ptr<RecordingUIDelegate> ui = std::make_shared<RecordingUIDelegate>();
  std::shared_ptr<WKWebView> view;
};

TEST_F(WKWebViewTest, PageMessageReachesThePolicyDecisionBeforeTheCompletion) {
  load("sdk_core.html", "https://static.example.com/sdk/core.html");
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"decide https://static.example.com/sdk/core.html -1 main",
                                                     "commit", "decide tolm://sdkCoreLoaded -1 main", "finish"}));
  delegate->log.clear();
  const std::string script = "QYRA_getAd({request_id: 1, url: 'https://ads.example.com/ad?a=1&b=2'})";
  std::optional<nlohmann::ordered_json> result;
  view->evaluateJavaScript(script, [&](const nlohmann::ordered_json& value, const ErrorPtr& error) {
    EXPECT_FALSE(error);
    delegate->log.push_back("completion");
    result = value;
  });
  EXPECT_TRUE(delegate->log.empty());  // nothing before a later turn
  env.runUntilIdle();
  ASSERT_EQ(delegate->log.size(), 2u);
  EXPECT_EQ(delegate->log[1], "completion");
  const URL url = *delegate->actions.back().request.url();
  EXPECT_EQ(url.absoluteString(),
            "tolm://loadAdURL?request_id=1&url=https%3A%2F%2Fads.example.com%2Fad%3Fa%3D1%26b%3D2");
  EXPECT_EQ(delegate->actions.back().navigationType, WKNavigationType::Other);
  ASSERT_TRUE(delegate->actions.back().targetFrame);
  EXPECT_TRUE(delegate->actions.back().targetFrame->isMainFrame);
  EXPECT_EQ(*result, "requested 1");
  EXPECT_EQ(view->evaluatedScripts(), std::vector<std::string>{script});
}

TEST_F(WKWebViewTest, EvaluationsCompleteInOrderWithTypedResultsAndErrors) {
  load("sdk_core.html");
  std::vector<std::string> seen;
  auto record = [&](const nlohmann::ordered_json& value, const ErrorPtr& error) {
    seen.push_back(error ? "error " + std::to_string(error->code()) : value.dump());
  };
  view->evaluateJavaScript("var n = 1; ({a: [n, 'x', true]})", record);
  view->evaluateJavaScript("n += 1; n", record);
  view->evaluateJavaScript("undefined", record);
  view->evaluateJavaScript("throw new TypeError('bad')", record);
  view->evaluateJavaScript("(function () {})", record);
  view->evaluateJavaScript("n", nullptr);
  view->evaluateJavaScript("n * 10", record);
  env.runUntilIdle();
  EXPECT_EQ(seen, (std::vector<std::string>{R"({"a":[1,"x",true]})", "2", "null", "error 4", "error 5", "20"}));
  EXPECT_EQ(view->evaluatedScripts().size(), 7u);
}

TEST_F(WKWebViewTest, UserScriptsRunAtDocumentStartAndEnd) {
  load("frames_and_links.html");
  std::vector<std::string> console;
  for (const auto& line : view->consoleMessages()) console.push_back(line.message);
  EXPECT_EQ(console, (std::vector<std::string>{"user start loading", "user end interactive"}));
}

// A timer that does a lot each time it fires stays under the per-request limit but not
// under the budget: the page is ended and the delegate hears it once.
TEST_F(WKWebViewTest, BusyTimerPageIsEndedWhenItsBudgetIsUsed) {
  webtest::ProcessLimits limits(30, 1, 120);
  load("sdk_core.html");
  delegate->log.clear();
  view->evaluateJavaScript(
      "var spins = 0; setInterval(function () { for (spins = 0; spins < 300000; spins++) {} }, 1000)");
  env.runUntilIdle();
  env.advance(100);
  EXPECT_EQ(delegate->log, std::vector<std::string>{"terminated"});
  EXPECT_EQ(view->webContentProcessTerminationReason(), "over its time budget");
  ErrorPtr error;
  view->evaluateJavaScript("1", [&](const nlohmann::ordered_json&, const ErrorPtr& e) { error = e; });
  env.runUntilIdle();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kWebContentErrorProcessTerminated);
}

TEST_F(WKWebViewTest, EndlessLoopTerminatesTheContentProcess) {
  webtest::ProcessLimits limits(0.5);
  load("endless_loop.html");
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"decide https://static.example.com/page.html -1 main", "commit",
                                                     "fail 2", "terminated"}));
  ErrorPtr error;
  view->evaluateJavaScript("1", [&](const nlohmann::ordered_json&, const ErrorPtr& e) { error = e; });
  env.runUntilIdle();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kWebContentErrorProcessTerminated);
  // An evaluation that loops stops the process too, and the next load replaces it.
  load("sdk_core.html");
  delegate->log.clear();
  view->evaluateJavaScript("for (;;) {}", [&](const nlohmann::ordered_json&, const ErrorPtr& e) { error = e; });
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"terminated"});
  EXPECT_EQ(error->code(), kWebContentErrorProcessTerminated);
}

TEST_F(WKWebViewTest, DecisionsMayComeLaterAndRefusedLoadsAreNotLoaded) {
  delegate->holdDecisions = true;
  view->loadHTMLString("<p>hi</p>", URL::fromString("https://a.example.com/"));
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"decide https://a.example.com/ -1 main"});
  EXPECT_TRUE(view->isLoading());
  delegate->held[0]();
  delegate->held[0]();  // a second answer changes nothing
  ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  EXPECT_EQ(delegate->log.back(), "finish");
  EXPECT_EQ(view->URL()->absoluteString(), "https://a.example.com/");

  delegate->holdDecisions = false;
  delegate->log.clear();
  view->loadHTMLString("<p>never</p>", URL::fromString("tolm://nothing"));
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"decide tolm://nothing -1 main"});
  EXPECT_FALSE(view->isLoading());
  EXPECT_EQ(view->URL()->absoluteString(), "https://a.example.com/");
}

TEST_F(WKWebViewTest, ProvisionalFailureCarriesTheFailingURL) {
  URLLoading::setOffline(true);
  view->loadRequest(URLRequest(*URL::fromString("https://offline.example.com/p")));
  ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  URLLoading::setOffline(false);
  EXPECT_EQ(delegate->log.back(), "fail provisional -1009");
  EXPECT_EQ(delegate->errors.back()->userInfoString(kErrorFailingURLStringKey), "https://offline.example.com/p");
}

TEST_F(WKWebViewTest, FramesNewWindowsAlertsAndContentSize) {
  std::vector<Size> sizes;
  view->setContentSizeObserver([&](Size size) { sizes.push_back(size); });
  load("frames_and_links.html", "https://ad.example.com/ad.html");
  EXPECT_EQ(sizes, std::vector<Size>{(Size{320, 250})});
  delegate->log.clear();
  view->evaluateJavaScript("sendFromFrame('tolm://frame/message'); clickLanding(); clickPopup(); alert('hello')");
  delegate->holdDecisions = true;  // keep the landing page from loading
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"decide tolm://frame/message -1 frame",
                                                     "decide https://landing.example.com/page?x=1 0 main"}));
  EXPECT_EQ(delegate->actions[delegate->actions.size() - 2].request.mainDocumentURL()->absoluteString(),
            "https://ad.example.com/ad.html");
  ASSERT_EQ(ui->newWindows.size(), 1u);
  EXPECT_FALSE(ui->newWindows[0].targetFrame);
  EXPECT_EQ(ui->newWindows[0].navigationType, WKNavigationType::LinkActivated);
  EXPECT_EQ(ui->newWindows[0].request.url()->absoluteString(), "https://popup.example.com/");
  EXPECT_EQ(ui->alerts, std::vector<std::string>{"hello @ad.example.com"});
}

TEST_F(WKWebViewTest, PageTimersAreDroppedWithTheirDocument) {
  load("timers.html");
  view->loadHTMLString("<p>next</p>", URL::fromString("https://b.example.com/"));
  ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  delegate->log.clear();
  env.advance(10);
  EXPECT_TRUE(delegate->log.empty());
}

}  // namespace
}  // namespace platform
