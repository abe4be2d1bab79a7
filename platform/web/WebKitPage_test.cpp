// Integration tests on the real engine: each names WebKit, waits on WebKit's real events
// within a bounded real-time limit, and is skipped where no display lets WebKit start.
#include "platform/web/WebKitPage.h"

#include <chrono>
#include <optional>
#include <time.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/RunLoop.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebTestSupport.h"
#include "platform/web/WebView.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using testenv::kRealLimit;
constexpr std::chrono::milliseconds kTurn{10};

std::chrono::nanoseconds threadCPUTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

class Navigations : public WKNavigationDelegate {
 public:
  void webViewDecidePolicyForNavigationAction(WKWebView&, const WKNavigationAction& action,
                                              std::function<void(WKNavigationActionPolicy)> decide) override {
    const std::string url = action.request.url()->absoluteString();
    decided.push_back(url + " " + std::to_string(static_cast<int>(action.navigationType)));
    decide(url.rfind("tolm:", 0) == 0 ? WKNavigationActionPolicy::Cancel : WKNavigationActionPolicy::Allow);
  }
  void webViewDidFinishNavigation(WKWebView&) override { ++finished; }
  void webViewDidFailNavigation(WKWebView&, const ErrorPtr& error) override { failed.push_back(error); }
  void webViewDidFailProvisionalNavigation(WKWebView&, const ErrorPtr& error) override { failed.push_back(error); }
  void webViewWebContentProcessDidTerminate(WKWebView&) override { ++terminated; }

  std::vector<std::string> decided;
  int finished = 0;
  int terminated = 0;
  std::vector<ErrorPtr> failed;
};

class Alerts : public WKUIDelegate {
 public:
  void webViewRunJavaScriptAlertPanelWithMessage(WKWebView&, const std::string& message, const WKFrameInfo&,
                                                 std::function<void()> done) override {
    alerts.push_back(message);
    done();
  }
  std::vector<std::string> alerts;
};

class WebKitPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WebKitPage::isAvailable()) GTEST_SKIP() << "no display: WebKit cannot start here";
    WebPage::setDefaultEngine(WebEngine::WebKit);
  }

  bool waitFor(const std::function<bool()>& done) { return env_.runUntil(done, kRealLimit); }

  std::shared_ptr<WKWebView> loadedView(const std::string& html, Rect frame = {0, 0, 300, 100}) {
    auto view = WKWebView::create(frame);
    view->setNavigationDelegate(navigations_);
    view->setUIDelegate(alerts_);
    view->loadHTMLString(html, URL::fromString("https://creative.adnetwork.example/ad"));
    EXPECT_TRUE(waitFor([&] { return navigations_->finished > 0 || !navigations_->failed.empty(); }));
    return view;
  }

  nlohmann::ordered_json evaluate(WKWebView& view, const std::string& script, ErrorPtr* error = nullptr) {
    nlohmann::ordered_json out = "unanswered";
    bool answered = false;
    view.evaluateJavaScript(script, [&](const nlohmann::ordered_json& result, const ErrorPtr& e) {
      out = result;
      if (error) *error = e;
      answered = true;
    });
    EXPECT_TRUE(waitFor([&] { return answered; })) << script;
    return out;
  }

  testenv::TestEnvironment env_;
  std::shared_ptr<Navigations> navigations_ = std::make_shared<Navigations>();
  std::shared_ptr<Alerts> alerts_ = std::make_shared<Alerts>();
};

constexpr const char* kDomAd = R"(<!DOCTYPE html><html><head><title>DOM ad</title></head>
<body style="margin:0;background:#ffffff">
<script>
  var ad = document.createElement('div');
  ad.id = 'ad';
  ad.style.cssText = 'width:120px;height:40px;background:rgb(200,30,60)';
  ad.onclick = function () { location.href = 'tolm://click?unit=A'; };
  document.body.appendChild(ad);
  console.log('built', document.querySelectorAll('div').length);
</script></body></html>)";

TEST_F(WebKitPageTest, ADomBuiltAdShowsItsPixelsAndAnswersScripts) {
  auto view = loadedView(kDomAd);
  // WebKit hands the title over on its own turn, after the load's end.
  EXPECT_TRUE(waitFor([&] { return view->title() == "DOM ad"; }));
  EXPECT_EQ(view->URL()->absoluteString(), "https://creative.adnetwork.example/ad");

  const Bitmap pixels = view->snapshot(1.0);
  ASSERT_EQ(pixels.width(), 300);
  ASSERT_EQ(pixels.height(), 100);
  EXPECT_EQ(pixels.pixel(10, 10), (Bitmap::Pixel{200, 30, 60, 255}));
  EXPECT_EQ(pixels.pixel(119, 39), (Bitmap::Pixel{200, 30, 60, 255}));
  EXPECT_EQ(pixels.pixel(200, 80), (Bitmap::Pixel{255, 255, 255, 255}));

  // The page serialises results itself, so object keys keep the page's order.
  EXPECT_EQ(evaluate(*view, "({zeta: 1, alpha: [document.getElementById('ad').offsetWidth, 'x']})").dump(),
            R"({"zeta":1,"alpha":[120,"x"]})");
  ErrorPtr error;
  EXPECT_TRUE(evaluate(*view, "undefined", &error).is_null());
  EXPECT_FALSE(error);
  evaluate(*view, "throw new TypeError('bad ad')", &error);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kWebContentErrorJavaScriptException);
  EXPECT_EQ(error->userInfo().value("ExceptionMessage", ""), "bad ad");
  evaluate(*view, "(function () {})", &error);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kWebContentErrorJavaScriptResultTypeIsUnsupported);

  ASSERT_TRUE(waitFor([&] { return !view->consoleMessages().empty(); }));
  EXPECT_EQ(view->consoleMessages().front().message, "built 1");
}

TEST_F(WebKitPageTest, ADomClickSendsItsMessageToTheNavigationDelegate) {
  auto view = loadedView(kDomAd);
  navigations_->decided.clear();
  evaluate(*view, "document.getElementById('ad').click()");
  ASSERT_TRUE(waitFor([&] { return !navigations_->decided.empty(); }));
  EXPECT_EQ(navigations_->decided.front(),
            "tolm://click?unit=A " + std::to_string(static_cast<int>(WKNavigationType::Other)));
  // Cancelled: the ad stays where it was.
  env_.runUntilIdle();
  EXPECT_EQ(view->URL()->absoluteString(), "https://creative.adnetwork.example/ad");
  EXPECT_TRUE(navigations_->failed.empty());
}

TEST_F(WebKitPageTest, AlertsReachTheUIDelegate) {
  auto view = loadedView("<script>alert('hello from the ad')</script>");
  ASSERT_TRUE(waitFor([&] { return !alerts_->alerts.empty(); }));
  EXPECT_EQ(alerts_->alerts, std::vector<std::string>{"hello from the ad"});
}

TEST_F(WebKitPageTest, TheOlderViewEvaluatesSynchronouslyAndAsksAboutLinks) {
  struct Delegate : WebViewDelegate {
    bool webViewShouldStartLoadWithRequest(WebView&, const URLRequest& request, WebViewNavigationType type) override {
      asked.push_back(request.url()->absoluteString() + " " + std::to_string(static_cast<int>(type)));
      return request.url()->scheme() != "tolm";
    }
    void webViewDidFinishLoad(WebView&) override { ++finished; }
    std::vector<std::string> asked;
    int finished = 0;
  };
  auto delegate = std::make_shared<Delegate>();
  auto view = WebView::create({0, 0, 200, 50});
  view->setDelegate(delegate);
  view->loadHTMLString("<body><a id='go' href='tolm://open?x=1'>go</a><div></div><div></div></body>",
                       URL::fromString("https://creative.adnetwork.example/old"));
  ASSERT_TRUE(waitFor([&] { return delegate->finished > 0; }));
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("document.querySelectorAll('div').length"), "2");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("null"), "");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("missing.property"), "");
  view->stringByEvaluatingJavaScriptFromString("document.getElementById('go').click()");
  ASSERT_TRUE(waitFor([&] { return delegate->asked.size() == 2; }));
  EXPECT_EQ(delegate->asked.back(),
            "tolm://open?x=1 " + std::to_string(static_cast<int>(WebViewNavigationType::LinkClicked)));
}

TEST_F(WebKitPageTest, ALoopingPageIsEndedByTheWatchdogWhileTheMainLoopKeepsRunning) {
  // The short limit is for the looping page only; the new web process of the next load
  // gets the usual one.
  std::optional<webtest::ProcessLimits> limits(std::in_place, 1.0);
  auto view = loadedView("<p>about to loop</p>");
  view->evaluateJavaScript("setTimeout(function () { for (;;) {} }, 0)");
  ASSERT_EQ(navigations_->terminated, 0);

  // The main thread's own work each turn (its CPU time, so other processes on the machine
  // do not count) and the overrun of its waits for work stay well below the page's 1 s: a
  // turn held by the page would take that long. Half of it leaves room for a loaded machine.
  auto busiest = std::chrono::nanoseconds::zero();
  auto overrun = std::chrono::nanoseconds::zero();
  const auto end = std::chrono::steady_clock::now() + kRealLimit;
  while (navigations_->terminated == 0 && std::chrono::steady_clock::now() < end) {
    const auto cpu = threadCPUTime();
    env_.runUntilIdle();
    const auto waitStart = std::chrono::steady_clock::now();
    RunLoop::main().waitForWork(kTurn);
    overrun = std::max(overrun, std::chrono::steady_clock::now() - waitStart - kTurn);
    busiest = std::max(busiest, threadCPUTime() - cpu);
  }
  EXPECT_EQ(navigations_->terminated, 1);
  EXPECT_LE(busiest, std::chrono::milliseconds(500));
  EXPECT_LE(overrun, std::chrono::milliseconds(500));
  // Reported once; the next load gets a new web process.
  limits.reset();
  navigations_->finished = 0;
  view->loadHTMLString("<p>again</p>", std::nullopt);
  ASSERT_TRUE(waitFor([&] { return navigations_->finished > 0; }));
  EXPECT_EQ(evaluate(*view, "document.body.textContent"), "again");
  EXPECT_EQ(navigations_->terminated, 1);
}

// Busy for well under its time limit, a page is not ended: the watchdog counts from the
// question it is still waiting on.
TEST_F(WebKitPageTest, APageBusyForLessThanItsTimeLimitIsNotEnded) {
  webtest::ProcessLimits limits(2.0);
  auto view = loadedView("<p>busy for a moment</p>");
  EXPECT_EQ(evaluate(*view, "var t = Date.now(); while (Date.now() - t < 400) {} 'done'"), "done");
  EXPECT_EQ(evaluate(*view, "document.body.textContent"), "busy for a moment");
  EXPECT_EQ(navigations_->terminated, 0);
}

// A page that keeps the watchdog waiting a little at a time, each wait well within the
// time limit, is ended once the waits add up to its budget within the budget's window
// (the virtual clock stands still here, so every wait stays in it).
TEST_F(WebKitPageTest, APageBusyALittleAtATimeIsEndedOverItsTimeBudget) {
  webtest::ProcessLimits limits(2.0, 1.5, 30.0);
  auto view = loadedView("<p>busy in bursts</p>");
  view->evaluateJavaScript("setInterval(function () { var t = Date.now(); while (Date.now() - t < 300) {} }, 350)");
  ASSERT_TRUE(waitFor([&] { return navigations_->terminated > 0; }));
  EXPECT_EQ(navigations_->terminated, 1);
  EXPECT_EQ(view->webContentProcessTerminationReason(), "the page was busy for more than its time budget");

  // The next web process starts with its whole budget, and a page that answers lives
  // past its time limit and its budget.
  navigations_->finished = 0;
  view->loadHTMLString("<p>calm</p><script>setTimeout(function () { document.title = 'later'; }, 2500)</script>",
                       std::nullopt);
  ASSERT_TRUE(waitFor([&] { return navigations_->finished > 0; }));
  EXPECT_EQ(evaluate(*view, "var t = Date.now(); while (Date.now() - t < 300) {} 'done'"), "done");
  EXPECT_TRUE(waitFor([&] { return view->title() == "later" || navigations_->terminated > 1; }));
  EXPECT_EQ(navigations_->terminated, 1);
}

// A page that never answers is ended as soon as its wait uses up the budget, long before
// its time limit.
TEST_F(WebKitPageTest, APageThatNeverAnswersIsEndedWhenItsWaitUsesUpTheBudget) {
  webtest::ProcessLimits limits(60.0, 0.5, 30.0);
  auto view = loadedView("<p>about to loop</p>");
  view->evaluateJavaScript("setTimeout(function () { for (;;) {} }, 0)");
  ASSERT_TRUE(waitFor([&] { return navigations_->terminated > 0; }));
  EXPECT_EQ(view->webContentProcessTerminationReason(), "the page was busy for more than its time budget");
}

TEST_F(WebKitPageTest, HostRequestsAreFetchedThroughThePlatformsURLLoading) {
  webtest::PageServer::Scope server;
  webtest::PageServer::pages()["https://served.adnetwork.example/page"] =
      "<html><head><title>served</title></head><body>from the platform</body></html>";
  auto view = WKWebView::create({0, 0, 100, 100});
  view->setNavigationDelegate(navigations_);
  view->loadRequest(URLRequest(*URL::fromString("https://served.adnetwork.example/page")));
  EXPECT_TRUE(view->isLoading());
  ASSERT_TRUE(waitFor([&] { return navigations_->finished > 0 || !navigations_->failed.empty(); }));
  EXPECT_TRUE(navigations_->failed.empty());
  EXPECT_EQ(webtest::PageServer::requested(), std::vector<std::string>{"https://served.adnetwork.example/page"});
  EXPECT_EQ(navigations_->decided, std::vector<std::string>{"https://served.adnetwork.example/page " +
                                                            std::to_string(static_cast<int>(WKNavigationType::Other))});
  EXPECT_TRUE(waitFor([&] { return view->title() == "served"; }));
  EXPECT_FALSE(view->isLoading());
}

TEST_F(WebKitPageTest, TheContentSizeAndAStoppedHostLoadReachTheView) {
  auto view = WKWebView::create({0, 0, 320, 50});
  std::vector<Size> sizes;
  view->setContentSizeObserver([&](Size size) { sizes.push_back(size); });
  view->setNavigationDelegate(navigations_);
  view->loadHTMLString("<body style='margin:0'><div style='width:300px;height:250px'></div></body>", std::nullopt);
  ASSERT_TRUE(waitFor([&] { return !sizes.empty() && sizes.back() == Size{320, 250}; }));
  EXPECT_EQ(view->contentSize(), (Size{320, 250}));

  // A request of the host held by its server: stopping fails it before its commit.
  webtest::PageServer::Scope server;
  webtest::PageServer::pages()["https://held.adnetwork.example/"] = std::nullopt;
  view->loadRequest(URLRequest(*URL::fromString("https://held.adnetwork.example/")));
  ASSERT_TRUE(waitFor([&] { return !webtest::PageServer::requested().empty(); }));
  EXPECT_TRUE(view->isLoading());
  EXPECT_EQ(view->URL()->absoluteString(), "https://held.adnetwork.example/");
  view->stopLoading();
  ASSERT_EQ(navigations_->failed.size(), 1u);
  EXPECT_EQ(navigations_->failed[0]->code(), kURLErrorCancelled);
  EXPECT_FALSE(view->isLoading());
}

// Where a load failed decides the delegate's call (before its document's commit it is
// the provisional navigation's); a failed load does not hold back the next one's end.
TEST_F(WebKitPageTest, LoadsReportEachStepAndWhetherTheyFailedBeforeTheirCommit) {
  struct Steps : Navigations {
    void webViewDidCommitNavigation(WKWebView&) override { steps.push_back("commit"); }
    void webViewDidFinishNavigation(WKWebView&) override { steps.push_back("finish"); }
    void webViewDidFailNavigation(WKWebView&, const ErrorPtr&) override { steps.push_back("fail"); }
    void webViewDidFailProvisionalNavigation(WKWebView&, const ErrorPtr&) override {
      steps.push_back("fail provisional");
    }
    std::vector<std::string> steps;
  };
  webtest::PageServer::Scope server;
  webtest::PageServer::pages()["https://served.adnetwork.example/ok"] = "<p>served</p>";
  auto steps = std::make_shared<Steps>();
  auto view = WKWebView::create({0, 0, 100, 100});
  view->setNavigationDelegate(steps);
  const struct {
    const char* name;
    std::function<void()> load;
    std::vector<std::string> steps;
  } rows[] = {
      {"a missing file",
       [&] { view->loadRequest(URLRequest(*URL::fromString("file:///nonexistent-morvane/ad.html"))); },
       {"fail provisional"}},
      {"an HTML string after a failure",
       [&] { view->loadHTMLString("<p>ad</p>", std::nullopt); },
       {"commit", "finish"}},
      {"a host request refused",
       [&] { view->loadRequest(URLRequest(*URL::fromString("https://127.0.0.1:1/ad"))); },
       {"fail provisional"}},
      {"a host request after a failure",
       [&] { view->loadRequest(URLRequest(*URL::fromString("https://served.adnetwork.example/ok"))); },
       {"commit", "finish"}},
  };
  for (const auto& row : rows) {
    steps->steps.clear();
    row.load();
    EXPECT_TRUE(waitFor([&] {
      return !steps->steps.empty() && (steps->steps.back() == "finish" || steps->steps.back().rfind("fail", 0) == 0);
    })) << row.name;
    env_.runUntilIdle();
    EXPECT_EQ(steps->steps, row.steps) << row.name;
    EXPECT_FALSE(view->isLoading()) << row.name;
  }
}

}  // namespace
}  // namespace platform
