#include "platform/web/WebView.h"

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Bitmap.h"
#include "platform/web/WebTestSupport.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using webtest::readPage;

// Records the delegate calls as text, in order.
class RecordingDelegate : public WebViewDelegate {
 public:
  bool webViewShouldStartLoadWithRequest(WebView&, const URLRequest& request, WebViewNavigationType type) override {
    const std::string url = request.url()->absoluteString();
    log.push_back("should " + url + " " + std::to_string(static_cast<int>(type)));
    requests.push_back(request);
    return url.rfind("tolm:", 0) != 0 && url.find("refused") == std::string::npos;
  }
  void webViewDidStartLoad(WebView&) override { log.push_back("start"); }
  void webViewDidFinishLoad(WebView&) override { log.push_back("finish"); }
  void webViewDidFailLoadWithError(WebView&, const ErrorPtr& error) override {
    log.push_back("fail " + std::to_string(error->code()));
    errors.push_back(error);
  }

  std::vector<std::string> log;
  std::vector<URLRequest> requests;
  std::vector<ErrorPtr> errors;
};

class WebViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    URLLoading::setLoopbackOnlyForTesting(true);
    view = WebView::create({0, 0, 320, 50});
    view->setDelegate(delegate);
  }
  void TearDown() override { URLLoading::setLoopbackOnlyForTesting(false); }
  void load(const std::string& page, const std::string& base = "https://static.example.com/page.html") {
    view->loadHTMLString(readPage(page), URL::fromString(base));
    ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  }

  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::shared_ptr<WebView> view;
};

TEST_F(WebViewTest, PageMessageReachesTheDelegateWithTheParsedURL) {
  load("sdk_core.html", "https://static.example.com/sdk/core.html");
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"should https://static.example.com/sdk/core.html 5", "start",
                                                     "should tolm://sdkCoreLoaded 5", "finish"}));
  delegate->log.clear();
  const std::string script = "QYRA_getAd({request_id: 1, url: 'https://ads.example.com/ad?a=1&b=2'})";
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString(script), "requested 1");
  ASSERT_EQ(delegate->log.size(), 1u);
  const URL url = *delegate->requests.back().url();
  EXPECT_EQ(url.absoluteString(),
            "tolm://loadAdURL?request_id=1&url=https%3A%2F%2Fads.example.com%2Fad%3Fa%3D1%26b%3D2");
  EXPECT_EQ(url.host(), "loadAdURL");
  EXPECT_EQ(delegate->log[0].substr(delegate->log[0].size() - 2), " 5");
  EXPECT_EQ(view->evaluatedScripts(), std::vector<std::string>{script});
  EXPECT_EQ(view->URL()->absoluteString(), "https://static.example.com/sdk/core.html");
  EXPECT_FALSE(view->isLoading());
}

TEST_F(WebViewTest, EvaluationsRunInOrderAndReturnStrings) {
  load("sdk_core.html");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("var order = []; order.push('a'); 1 + 1"), "2");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("order.push('b'); order.join()"), "a,b");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("null"), "");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("throw new Error('x')"), "");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("document.body.innerText = 'Hello'; document.body.innerText"),
            "Hello");
  EXPECT_EQ(view->evaluatedScripts().size(), 5u);
  EXPECT_EQ(view->evaluatedScripts()[1], "order.push('b'); order.join()");
}

TEST_F(WebViewTest, EndlessLoopFailsTheLoadAndTheMainLoopGoesOn) {
  webtest::ProcessLimits limits(0.5);
  bool laterBlockRan = false;
  DispatchQueue::main()->after(1.0, [&] { laterBlockRan = true; });
  SystemLog::Capture log(true);
  load("endless_loop.html");
  ASSERT_EQ(delegate->errors.size(), 1u);
  EXPECT_EQ(delegate->errors[0]->domain(), kWebContentErrorDomain);
  EXPECT_EQ(delegate->errors[0]->code(), kWebContentErrorProcessTerminated);
  EXPECT_EQ(delegate->errors[0]->localizedFailureReason(), "timed out");
  EXPECT_TRUE(log.contains("the page's content process ended: timed out"));
  EXPECT_EQ(delegate->errors[0]->userInfoString(kErrorFailingURLStringKey), "https://static.example.com/page.html");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("1"), "");
  env.advance(1.0);
  EXPECT_TRUE(laterBlockRan);
  // The next load gets a new content process.
  delegate->log.clear();
  load("sdk_core.html");
  EXPECT_EQ(delegate->log.back(), "finish");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("6 * 7"), "42");
}

// A page that allocates without end is ended the same way every run, reported once; the
// next load gets a new process.
TEST_F(WebViewTest, EndlessAllocationEndsThePageTheSameWayEveryRun) {
  webtest::ProcessLimits limits(30, 8u << 20);
  for (int run = 0; run < 3; ++run) {
    delegate->log.clear();
    delegate->errors.clear();
    load("memory_hog.html");
    EXPECT_EQ(delegate->log,
              (std::vector<std::string>{"should https://static.example.com/page.html 5", "start", "fail 2"}));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0]->domain(), kWebContentErrorDomain);
  }
  load("sdk_core.html");
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("6 * 7"), "42");
}

// The older engine has no termination notice: a process that dies after its load is a
// failed load to the delegate, once, and later evaluations leave a log line.
TEST_F(WebViewTest, ProcessDeathAfterTheLoadReachesTheDelegateOnce) {
  webtest::ProcessLimits limits(30, 8u << 20);
  load("sdk_core.html");
  delegate->log.clear();
  view->stringByEvaluatingJavaScriptFromString("setTimeout(function () { var s = 'x'; for (;;) s += s; }, 10)");
  env.advance(1);
  EXPECT_EQ(delegate->log, std::vector<std::string>{"fail 2"});
  ASSERT_EQ(delegate->errors.size(), 1u);
  EXPECT_EQ(delegate->errors[0]->localizedFailureReason(), "out of memory");
  SystemLog::Capture log(true);
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("6 * 7"), "");
  EXPECT_TRUE(log.contains("content process has ended"));
  EXPECT_EQ(delegate->log.size(), 1u);
}

TEST_F(WebViewTest, TimersRunOnVirtualTime) {
  load("timers.html");
  delegate->log.clear();
  env.advance(4.9);
  EXPECT_TRUE(delegate->log.empty());
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("ticks"), "3");
  env.advance(0.2);
  EXPECT_EQ(delegate->log, std::vector<std::string>{"should tolm://timer/fired?ticks=3 5"});
  env.advance(60);
  EXPECT_EQ(delegate->log.size(), 1u);
}

TEST_F(WebViewTest, TimersThatKeepRearmingCannotSpinTheMainLoop) {
  load("sdk_core.html");
  view->stringByEvaluatingJavaScriptFromString(
      "var n = 0; (function again() { n++; setTimeout(again, 0); })();"
      "var m = 0; setInterval(function () { m++; }, 0);");
  env.runUntilIdle();  // returns: deep chains are held to 4 ms, intervals too
  EXPECT_LE(std::stoi(view->stringByEvaluatingJavaScriptFromString("n")), 6);
  env.advance(1);
  EXPECT_LE(std::stoi(view->stringByEvaluatingJavaScriptFromString("m")), 251);
  EXPECT_GE(std::stoi(view->stringByEvaluatingJavaScriptFromString("m")), 249);
}

TEST_F(WebViewTest, ReloadAsksAgainWithTheReloadType) {
  load("sdk_core.html");
  delegate->log.clear();
  view->reload();
  ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"should https://static.example.com/page.html 3", "start",
                                                     "should tolm://sdkCoreLoaded 5", "finish"}));
}

TEST_F(WebViewTest, FramesLinksAndRefusedNavigations) {
  load("frames_and_links.html", "https://ad.example.com/ad.html");
  delegate->log.clear();
  view->stringByEvaluatingJavaScriptFromString("sendFromFrame('https://track.example.com/p')");
  ASSERT_EQ(delegate->log, std::vector<std::string>{"should https://track.example.com/p 5"});
  EXPECT_EQ(delegate->requests.back().mainDocumentURL()->absoluteString(), "https://ad.example.com/ad.html");
  env.runUntilIdle();
  // Frames of the older engine report their own start and finish.
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"should https://track.example.com/p 5", "start", "finish"}));

  delegate->log.clear();
  view->stringByEvaluatingJavaScriptFromString("location.href = 'https://refused.example.com/'");
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"should https://refused.example.com/ 5"});
  EXPECT_EQ(view->URL()->absoluteString(), "https://ad.example.com/ad.html");
  EXPECT_FALSE(view->isLoading());

  delegate->log.clear();
  view->stringByEvaluatingJavaScriptFromString(
      "document.getElementById('landing').href = 'tolm://click'; clickLanding()");
  EXPECT_EQ(delegate->log, std::vector<std::string>{"should tolm://click 0"});
}

TEST_F(WebViewTest, AllowedNavigationLoadsTheNewDocument) {
  load("frames_and_links.html", "https://ad.example.com/ad.html");
  delegate->log.clear();
  const std::string target = URL::fileURL(webtest::pagePath("sdk_core.html")).absoluteString();
  view->stringByEvaluatingJavaScriptFromString("location.href = '" + target + "'");
  ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty() && delegate->log.back() == "finish"; }));
  EXPECT_EQ(delegate->log,
            (std::vector<std::string>{"should " + target + " 5", "start", "should tolm://sdkCoreLoaded 5", "finish"}));
  EXPECT_EQ(view->URL()->absoluteString(), target);
  EXPECT_TRUE(view->canGoBack());
  delegate->log.clear();
  view->goBack();
  ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  EXPECT_EQ(delegate->log.front(), "should https://ad.example.com/ad.html 2");
}

TEST_F(WebViewTest, StopLoadingFailsWithTheCancelledError) {
  webtest::PageServer::Scope server;
  webtest::PageServer::pages()["https://slow.example.com/"] = std::nullopt;
  view->loadRequest(URLRequest(*URL::fromString("https://slow.example.com/")));
  EXPECT_TRUE(view->isLoading());
  env.runUntilIdle();
  view->stopLoading();
  ASSERT_EQ(delegate->errors.size(), 1u);
  EXPECT_EQ(delegate->errors[0]->code(), kURLErrorCancelled);
  EXPECT_FALSE(view->isLoading());
}

TEST_F(WebViewTest, LoadsRequestsAndScriptsThroughURLLoading) {
  webtest::PageServer::Scope server;
  webtest::PageServer::pages()["https://ad.example.com/page.html"] =
      "<script src='lib.js'></script><script>location.href = 'tolm://x/' + libValue</script>"
      "<script src='https://cdn.example.com/missing.js'></script>";
  webtest::PageServer::pages()["https://ad.example.com/lib.js"] = "var libValue = 'fromLib';";
  view->loadRequest(URLRequest(*URL::fromString("https://ad.example.com/page.html")));
  ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty() && delegate->log.back() == "finish"; }));
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"should https://ad.example.com/page.html 5", "start",
                                                     "should tolm://x/fromLib 5", "finish"}));
  EXPECT_EQ(webtest::PageServer::requested(),
            (std::vector<std::string>{"https://ad.example.com/page.html", "https://ad.example.com/lib.js"}));
  EXPECT_EQ(delegate->requests[0].valueForHTTPHeaderField("User-Agent"), ContentProcess::defaultOptions().userAgent);
}

TEST_F(WebViewTest, SnapshotShowsThePageBackgroundAndContentSizeFollowsThePage) {
  std::vector<Size> sizes;
  view->setContentSizeObserver([&](Size size) { sizes.push_back(size); });
  EXPECT_EQ(view->contentSize(), (Size{320, 50}));
  load("frames_and_links.html");
  EXPECT_EQ(view->contentSize(), (Size{320, 250}));
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back(), (Size{320, 250}));
  EXPECT_EQ(view->scrollView()->contentSize(), (Size{320, 250}));
  EXPECT_EQ(view->scrollView()->frame().size, (Size{320, 50}));
  const Bitmap snapshot = view->snapshot(1);
  ASSERT_EQ(snapshot.width(), 320);
  EXPECT_EQ(snapshot.pixel(300, 40), (Bitmap::Pixel{255, 0, 0, 255}));
  // The body text is drawn as ink in the top-left corner.
  EXPECT_EQ(snapshot.pixel(2, 2), (Bitmap::Pixel{0, 0, 0, 255}));
}

// The deterministic engine loads a page's scripts through URL loading; scripts the host
// gives run first in each document.
TEST_F(WebViewTest, DocumentStartScriptsRunBeforeThePagesOwn) {
  EXPECT_TRUE(view->pageLoadsUseURLLoading());
  view->setDocumentStartScripts({"var seen = ['host'];"});
  view->loadHTMLString("<script>seen.push('page')</script>", URL::fromString("https://static.example.com/a.html"));
  ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
  EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("seen.join()"), "host,page");
}

}  // namespace
}  // namespace platform
