#include "sdk/rendering/ZUMWebView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMWebKitWebView.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::URL;
using platform::webtest::PageServer;
using platform::webtest::readPage;

constexpr const char* kAdURL = "https://ads.example.com/ad.html";

void setDefault(const std::string& key, const nlohmann::ordered_json& value) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(value, key));
}

class RecordingDelegate : public ZUMWebViewDelegate,
                          public ZUMWebViewContentSizeDelegate,
                          public ZUMWebKitWebViewMRAIDDelegate {
 public:
  bool webViewShouldStartLoadWithRequest(ZUMWebView& view, const platform::URLRequest& request,
                                         platform::WebViewNavigationType type) override {
    const std::string url = request.url() ? request.url()->absoluteString() : "";
    log.push_back("should " + url + " " + std::to_string(static_cast<int>(type)));
    if (onQuestion) onQuestion(view, url);
    return answer(url);
  }
  void webViewDidStartLoad(ZUMWebView&) override { log.push_back("start"); }
  void webViewDidFinishLoad(ZUMWebView&) override { log.push_back("finish"); }
  void webViewDidFailLoadWithError(ZUMWebView&, const platform::ErrorPtr& error) override {
    log.push_back("fail " + std::to_string(error->code()) + " " +
                  error->userInfoString(platform::kErrorFailingURLStringKey).value_or(""));
  }
  void webViewRunJavaScriptAlertPanelWithTitle(ZUMWebView&, const std::string& title, const std::string& message,
                                               std::function<void()> completionHandler) override {
    log.push_back("alert " + title + " " + message);
    completionHandler();
  }
  void webViewDidChangeScrollViewContentSize(ZUMWebView&, platform::Size size) override { sizes.push_back(size); }
  std::optional<std::string> MRAIDJavaScriptURLStringForWebView(ZUMWebView&) override {
    ++MRAIDQuestions;
    return MRAIDURL;
  }

  std::function<bool(const std::string&)> answer = [](const std::string&) { return true; };
  std::function<void(ZUMWebView&, const std::string&)> onQuestion;
  std::vector<std::string> log;
  std::vector<platform::Size> sizes;
  int MRAIDQuestions = 0;
  std::optional<std::string> MRAIDURL;
};

class WebViewTestBase : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::WKWebView::registerClass();
  }
  void TearDown() override { platform::URLLoading::setLoopbackOnlyForTesting(false); }

  std::shared_ptr<ZUMWebView> make(const std::string& key, ZUMWebViewConfiguration configuration = {}) {
    configuration.setWebViewClassKey(key);
    auto view = ZUMWebViewClassForConfiguration(configuration)({0, 0, 320, 50}, configuration);
    view->setDelegate(delegate);
    view->setContentSizeDelegate(delegate);
    if (auto wk = std::dynamic_pointer_cast<ZUMWebKitWebView>(view)) wk->setMRAIDDelegate(delegate);
    return view;
  }
  void load(ZUMWebView& view, const std::string& page = "web_view_layer.html") {
    view.loadHTMLString(readPage(page), URL::fromString(kAdURL));
    ASSERT_TRUE(env.runUntil([&] { return !view.isLoading(); }));
    env.runUntilIdle();
  }
  const std::vector<std::string>& evaluatedScripts(ZUMWebView& view) {
    if (auto wk = dynamic_cast<ZUMWebKitWebView*>(&view)) return wk->engine()->evaluatedScripts();
    return dynamic_cast<ZUMUIKitWebView&>(view).engine()->evaluatedScripts();
  }
  void runUntilFinished() {
    ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty() && delegate->log.back() == "finish"; }));
  }

  PageServer::Scope server;
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

// --- Choosing the engine ----------------------------------------------------------------

using ZUMWebViewClassTest = WebViewTestBase;

TEST_F(ZUMWebViewClassTest, OnlyWKChoosesTheNewerEngineAndOnlyWhenThePlatformHasIt) {
  const ZUMWebViewClass webKit = &ZUMWebKitWebView::create;
  const ZUMWebViewClass uiKit = &ZUMUIKitWebView::create;
  ZUMWebViewConfiguration configuration;
  for (const auto& [key, expected] : std::vector<std::pair<std::string, ZUMWebViewClass>>{
           {"wk", webKit}, {"ui", uiKit}, {"WK", uiKit}, {"webkit", uiKit}, {"", uiKit}}) {
    configuration.setWebViewClassKey(key);
    EXPECT_EQ(ZUMWebViewClassForConfiguration(configuration), expected) << key;
  }
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMWebKitWebView>(make("wk")));
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMUIKitWebView>(make("ui")));

  platform::ClassRegistry::shared().unregisterClass(platform::WKWebView::kClassName);
  EXPECT_FALSE(ZUMWebKitWebView::isAvailable());
  configuration.setWebViewClassKey("wk");
  EXPECT_EQ(ZUMWebViewClassForConfiguration(configuration), uiKit);
  EXPECT_EQ(ZUMWebKitWebView::create({0, 0, 10, 10}), nullptr);
}

TEST_F(ZUMWebViewClassTest, ConfigurationReadsItsDefaultsWithTheirTypesChecked) {
  EXPECT_EQ(ZUMWebViewConfiguration().webViewClassKey(), "ui");
  EXPECT_FALSE(ZUMWebViewConfiguration().mediaPlaybackRequiresUserAction());
  for (const auto& [value, expected] : std::vector<std::pair<nlohmann::ordered_json, std::string>>{
           {"wk", "wk"}, {"", "ui"}, {7, "ui"}, {nlohmann::ordered_json::array({"wk"}), "ui"}, {true, "ui"}}) {
    setDefault("/vantor/ads/wv_class", value);
    EXPECT_EQ(ZUMWebViewConfiguration().webViewClassKey(), expected) << value.dump();
  }
  setDefault("/vantor/ads/banner_prevent_autoplay", "1");
  ZUMWebViewConfiguration configuration;
  EXPECT_TRUE(configuration.mediaPlaybackRequiresUserAction());
  setDefault("/vantor/ads/banner_prevent_autoplay", false);
  const ZUMWebViewConfiguration copy = configuration;  // read once, when made
  EXPECT_TRUE(copy.mediaPlaybackRequiresUserAction());
}

TEST_F(ZUMWebViewClassTest, EnginesAreSetUpFromTheConfiguration) {
  ZUMWebViewConfiguration configuration;
  configuration.setMediaPlaybackRequiresUserAction(true);
  configuration.setDataDetectorType(5);
  configuration.setScalesPageToFit(true);
  auto ui = std::dynamic_pointer_cast<ZUMUIKitWebView>(make("ui", configuration));
  EXPECT_TRUE(ui->engine()->scalesPageToFit());
  EXPECT_TRUE(ui->engine()->mediaPlaybackRequiresUserAction());
  EXPECT_TRUE(ui->engine()->allowsInlineMediaPlayback());
  EXPECT_EQ(ui->engine()->dataDetectorTypes(), 5u);
  EXPECT_TRUE(ui->contentSizeUpdatesSynchronously());

  auto wk = std::dynamic_pointer_cast<ZUMWebKitWebView>(make("wk", configuration));
  auto other = std::dynamic_pointer_cast<ZUMWebKitWebView>(make("wk"));
  const auto& settings = wk->engine()->configuration();
  EXPECT_TRUE(settings.suppressesIncrementalRendering());
  EXPECT_TRUE(settings.allowsInlineMediaPlayback());
  EXPECT_NE(settings.mediaTypesRequiringUserActionForPlayback(), 0u);
  EXPECT_EQ(other->engine()->configuration().mediaTypesRequiringUserActionForPlayback(), 0u);
  EXPECT_EQ(settings.dataDetectorTypes(), 5u);
  EXPECT_EQ(settings.processPool(), other->engine()->configuration().processPool());
  EXPECT_NE(settings.userContentController(), other->engine()->configuration().userContentController());
  EXPECT_FALSE(wk->contentSizeUpdatesSynchronously());
}

// --- Both engines ------------------------------------------------------------------------

class ZUMWebViewEngineTest : public WebViewTestBase, public ::testing::WithParamInterface<std::string> {
 protected:
  std::shared_ptr<ZUMWebView> make() { return WebViewTestBase::make(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Engines, ZUMWebViewEngineTest, ::testing::Values("ui", "wk"));

TEST_P(ZUMWebViewEngineTest, MessagesReachTheDelegateAndAreNeverLoaded) {
  auto view = make();
  load(*view);
  EXPECT_EQ(delegate->log, (std::vector<std::string>{std::string("should ") + kAdURL + " 5", "start",
                                                     "should tolm://pageLoaded?title=Ad%20page 5", "finish"}));
  // Even a delegate that lets a message through keeps the page.
  EXPECT_EQ(view->URL()->absoluteString(), kAdURL);
  EXPECT_FALSE(view->isLoading());

  delegate->log.clear();
  const std::string script = "QYRA_ReceiveMessage('adLoaded', {\"value\":\"1\"});";
  view->evaluateJavaScriptFromString(script);
  // The script went without waiting for the page: what it made the page do comes later.
  EXPECT_TRUE(delegate->log.empty());
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"should tolm://received?name=adLoaded&count=1&value=1 5"});
  EXPECT_EQ(evaluatedScripts(*view), std::vector<std::string>{script});
  EXPECT_EQ(view->URL()->absoluteString(), kAdURL);
}

// Scripts sent without waiting run in order, before a later synchronous read.
TEST_F(ZUMWebViewClassTest, ScriptsRunInOrderBeforeALaterRead) {
  auto view = std::dynamic_pointer_cast<ZUMUIKitWebView>(make("ui"));
  load(*view);
  view->evaluateJavaScriptFromString("window.order = 'a';");
  view->evaluateJavaScriptFromString("window.order += 'b';");
  EXPECT_EQ(view->engine()->stringByEvaluatingJavaScriptFromString("order"), "ab");
}

TEST_P(ZUMWebViewEngineTest, NavigationTypesAndPolicyDecisions) {
  PageServer::pages()["https://landing.example.com/form"] = "<html><body>Form</body></html>";
  auto view = make();
  load(*view);
  delegate->log.clear();
  delegate->answer = [](const std::string& url) { return url.find("landing.example.com/page") == std::string::npos; };

  view->evaluateJavaScriptFromString("clickLanding()");
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, std::vector<std::string>{"should https://landing.example.com/page?x=1 0"});
  EXPECT_EQ(view->URL()->absoluteString(), kAdURL) << "a refused navigation is not loaded";

  delegate->log.clear();
  view->evaluateJavaScriptFromString("submitForm()");
  ASSERT_NO_FATAL_FAILURE(runUntilFinished());
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"should https://landing.example.com/form 1", "start", "finish"}));
  EXPECT_EQ(view->URL()->absoluteString(), "https://landing.example.com/form");

  delegate->log.clear();
  view->reload();
  ASSERT_NO_FATAL_FAILURE(runUntilFinished());
  EXPECT_EQ(delegate->log.front(), "should https://landing.example.com/form 3");
  delegate->log.clear();
  ASSERT_TRUE(view->canGoBack());
  view->goBack();
  ASSERT_NO_FATAL_FAILURE(runUntilFinished());
  EXPECT_EQ(delegate->log.front(), std::string("should ") + kAdURL + " 2");
}

TEST_P(ZUMWebViewEngineTest, AStalledAcceptedLoadFailsOnceWhenPolling) {
  setDefault("/vantor/ads/wv_request_poll_interval", "0.5");
  const std::string stalled = "https://ads.example.com/stalled/";
  PageServer::pages()["https://ads.example.com/held"] = std::nullopt;  // never answered
  auto view = make();

  // Loads in progress and finished loads are left alone.
  load(*view);
  view->loadRequest(platform::URLRequest(*URL::fromString("https://ads.example.com/held")));
  env.runUntilIdle();
  EXPECT_TRUE(view->isLoading());
  env.advance(3);
  EXPECT_EQ(std::count_if(delegate->log.begin(), delegate->log.end(),
                          [](const std::string& line) { return line.rfind("fail", 0) == 0; }),
            0);

  // Stopped while its navigation is decided, the accepted load never reports again.
  view->stopLoading();
  delegate->log.clear();
  delegate->onQuestion = [&](ZUMWebView& webView, const std::string& url) {
    if (url == stalled) webView.stopLoading();
  };
  view->loadRequest(platform::URLRequest(*URL::fromString(stalled)));
  env.runUntilIdle();
  EXPECT_EQ(view->currentRequestURLString(), stalled);
  EXPECT_FALSE(view->isLoading());
  env.advance(0.5);
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"should " + stalled + " 5", "fail -1009 " + stalled}));
  env.advance(5);
  EXPECT_EQ(delegate->log.size(), 2u);
  EXPECT_FALSE(view->currentRequestURLString());
}

TEST_F(ZUMWebViewClassTest, NoPollWithoutAPositiveStringInterval) {
  for (const auto& value : {nlohmann::ordered_json("0"), nlohmann::ordered_json("-1"), nlohmann::ordered_json("x"),
                            nlohmann::ordered_json(""), nlohmann::ordered_json(0.5)}) {
    setDefault("/vantor/ads/wv_request_poll_interval", value);
    auto view = make("ui");
    delegate->log.clear();
    delegate->onQuestion = [](ZUMWebView& webView, const std::string&) { webView.stopLoading(); };
    view->loadRequest(platform::URLRequest(*URL::fromString("https://ads.example.com/stalled")));
    env.advance(5);
    EXPECT_EQ(delegate->log.size(), 1u) << value.dump();
    EXPECT_TRUE(view->currentRequestURLString());
  }
}

TEST_P(ZUMWebViewEngineTest, EqualContentSizesAreReportedOnceAndAgainAfterEachLoad) {
  auto view = make();
  load(*view);
  ASSERT_EQ(delegate->sizes, (std::vector<platform::Size>{{320, 50}}));

  for (const char* script : {"setSize(320, 50)", "setSize(300, 250)", "setSize(300, 250)"}) {
    view->evaluateJavaScriptFromString(script);
    env.runUntilIdle();
  }
  EXPECT_EQ(delegate->sizes, (std::vector<platform::Size>{{320, 50}, {300, 250}}));
  EXPECT_EQ(view->lastContentSize(), (platform::Size{300, 250}));

  // The same page again: its size equals the last one and is still reported, once.
  view->evaluateJavaScriptFromString("setSize(320, 50)");
  env.runUntilIdle();
  delegate->sizes.clear();
  load(*view);
  EXPECT_EQ(delegate->sizes, (std::vector<platform::Size>{{320, 50}}));
}

TEST_P(ZUMWebViewEngineTest, AbsentHTMLLoadsNothingAndATornDownFacadeIsNotPolled) {
  setDefault("/vantor/ads/wv_request_poll_interval", "0.5");
  auto view = make();
  view->loadHTMLString(std::nullopt, URL::fromString(kAdURL));
  env.runUntilIdle();
  EXPECT_FALSE(view->isLoading());
  EXPECT_TRUE(delegate->log.empty());

  delegate->onQuestion = [](ZUMWebView& webView, const std::string&) { webView.stopLoading(); };
  view->loadRequest(platform::URLRequest(*URL::fromString("https://ads.example.com/stalled")));
  env.runUntilIdle();
  view.reset();
  env.advance(2);
  EXPECT_EQ(delegate->log.size(), 1u);
}

// --- The newer engine --------------------------------------------------------------------

class ZUMWebKitWebViewTest : public WebViewTestBase {
 protected:
  std::shared_ptr<ZUMWebKitWebView> make(ZUMWebViewConfiguration configuration = {}) {
    return std::dynamic_pointer_cast<ZUMWebKitWebView>(WebViewTestBase::make("wk", configuration));
  }
  static const std::vector<std::shared_ptr<platform::WKUserScript>>& scripts(ZUMWebKitWebView& view) {
    return view.engine()->configuration().userContentController()->userScripts();
  }
  static bool pageLoggedErrors(ZUMWebKitWebView& view) {
    for (const auto& message : view.engine()->consoleMessages()) {
      if (message.level == "error") return true;
    }
    return false;
  }
};

TEST_F(ZUMWebKitWebViewTest, NavigationTypesMapOntoTheOlderNumbering) {
  using platform::WKNavigationType;
  using platform::WebViewNavigationType;
  const std::vector<std::pair<WKNavigationType, WebViewNavigationType>> table = {
      {WKNavigationType::Other, WebViewNavigationType::Other},
      {WKNavigationType::LinkActivated, WebViewNavigationType::LinkClicked},
      {WKNavigationType::FormSubmitted, WebViewNavigationType::FormSubmitted},
      {WKNavigationType::BackForward, WebViewNavigationType::BackForward},
      {WKNavigationType::Reload, WebViewNavigationType::Reload},
      {WKNavigationType::FormResubmitted, WebViewNavigationType::FormResubmitted},
      {static_cast<WKNavigationType>(42), WebViewNavigationType::Other},
  };
  for (const auto& [from, to] : table) {
    EXPECT_EQ(ZUMWebKitWebView::navigationTypeForWKNavigationType(from), to) << static_cast<int>(from);
  }
}

TEST_F(ZUMWebKitWebViewTest, UserScriptsAreAddedAtMostOnce) {
  auto view = make();
  load(*view);
  EXPECT_EQ(delegate->MRAIDQuestions, 1);
  EXPECT_FALSE(view->isMRAIDLoaded());
  ASSERT_EQ(scripts(*view).size(), 1u);  // the viewport only
  EXPECT_TRUE(view->isViewportLoaded());
  EXPECT_EQ(scripts(*view)[0]->source(), ZUMWebKitWebView::defaultViewportScript());
  EXPECT_EQ(scripts(*view)[0]->injectionTime(), platform::WKUserScriptInjectionTime::AtDocumentEnd);

  delegate->MRAIDURL = "";  // empty: still none, asked again
  load(*view);
  delegate->MRAIDURL = "https://sdk.example.com/mraid.js?id=1";
  load(*view);
  load(*view);
  EXPECT_EQ(delegate->MRAIDQuestions, 3);
  ASSERT_EQ(scripts(*view).size(), 2u);
  EXPECT_TRUE(view->isMRAIDLoaded());
  const auto& mraid = *scripts(*view)[1];
  EXPECT_EQ(mraid.injectionTime(), platform::WKUserScriptInjectionTime::AtDocumentStart);
  EXPECT_TRUE(mraid.isForMainFrameOnly());
  EXPECT_NE(mraid.source().find("https://sdk.example.com/mraid.js?id=1"), std::string::npos);
  EXPECT_EQ(mraid.source().find(kZUMMRAIDURLPlaceholder), std::string::npos);
  EXPECT_FALSE(pageLoggedErrors(*view)) << "the scripts step aside in a page without a DOM";
}

TEST_F(ZUMWebKitWebViewTest, AHostileMRAIDURLCannotLeaveItsString) {
  delegate->MRAIDURL = "https://x/'+alert('x')+'\"</script>\xE2\x80\xA8";
  auto view = make();
  load(*view);
  ASSERT_TRUE(view->isMRAIDLoaded());
  const std::string& source = scripts(*view)[0]->source();
  EXPECT_EQ(source.find("'+alert"), std::string::npos);
  EXPECT_EQ(source.find("</script>"), std::string::npos);
  EXPECT_EQ(source.find("\xE2\x80\xA8"), std::string::npos);
  EXPECT_FALSE(pageLoggedErrors(*view));
  for (const auto& line : delegate->log) EXPECT_EQ(line.rfind("alert", 0), std::string::npos) << line;
}

TEST_F(ZUMWebKitWebViewTest, ViewportFollowsScalingAndTheServersScript) {
  ZUMWebViewConfiguration scaled;
  scaled.setScalesPageToFit(true);
  auto view = make(scaled);
  view->loadHTMLString(std::nullopt, std::nullopt);  // scripts are added even then
  EXPECT_TRUE(view->isViewportLoaded());
  EXPECT_TRUE(scripts(*view).empty());

  setDefault("/vantor/ads/wv_viewport_script", "console.log('viewport', document.readyState)");
  auto custom = make();
  load(*custom);
  ASSERT_EQ(scripts(*custom).size(), 1u);
  EXPECT_EQ(scripts(*custom)[0]->source(), "console.log('viewport', document.readyState)");
  EXPECT_EQ(custom->engine()->consoleMessages().front().message, "viewport interactive");
}

TEST_F(ZUMWebKitWebViewTest, WarmUpLoadIsCancelledWithoutTheDelegate) {
  setDefault("/vantor/ads/wk_initialization_load", true);
  auto view = make();
  env.runUntilIdle();
  EXPECT_TRUE(delegate->log.empty());
  EXPECT_FALSE(view->isLoading());
  load(*view);
  EXPECT_EQ(delegate->log.back(), "finish");
}

TEST_F(ZUMWebKitWebViewTest, AlertsAndNewWindowsGoToTheDelegate) {
  auto view = make();
  load(*view);
  delegate->log.clear();
  view->evaluateJavaScriptFromString("showAlert('hello')");
  view->evaluateJavaScriptFromString("openPopup()");
  env.runUntilIdle();
  EXPECT_EQ(delegate->log,
            (std::vector<std::string>{"alert ads.example.com hello", "should https://popup.example.com/ 5"}));
  EXPECT_EQ(view->URL()->absoluteString(), kAdURL);
  EXPECT_FALSE(view->isLoading());
}

}  // namespace
