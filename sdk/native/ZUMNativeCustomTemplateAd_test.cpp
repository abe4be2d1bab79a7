// Custom template ads: template ids from the ad and from the app, assets from the server
// with malformed entries skipped, an image that fails, the loader dropping templates it
// did not ask for, and clicks answered by the native-ads page with a custom click, heard
// by the clicked ad only.
#include "ZUMNativeCustomTemplateAd.h"

#include <algorithm>
#include <chrono>

#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLProtocol.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/native/ZUMNativeAdImageLoadQueue.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "testing/TestImages.h"

namespace {

using namespace std::chrono_literals;
using nativetest::Json;
using nativetest::Log;

Json customAd(const Json& templateID, Json assets = Json::array()) {
  return Json{{"type", "native"},
              {"template_id", 3},
              {"custom_template_id", templateID},
              {"custom_assets", std::move(assets)},
              {"tracking_urls_and_actions",
               {{"vantor_click_tracking_url", "https://track.example/click"},
                {"click_actions", {{{"url", "https://landing.example/page"}}}}}}};
}

Json image(const std::string& path, bool required = false) {
  return Json{{"url", "https://track.example" + path}, {"scale", 1}, {"require", required}};
}

ZUMAdConfiguration::Options noImageLoading() {
  auto option = ZUMNativeAdImageAdLoaderOptions::create();
  option->setDisableImageLoading(true);
  return {option};
}

std::size_t count(const platform::SystemLog::Capture& capture, const std::string& text) {
  const auto messages = capture.messages();
  return std::count_if(messages.begin(), messages.end(),
                       [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

// The app: the template ids it asks for and the ads it receives.
struct TemplateDelegate : ZUMNativeCustomTemplateAdLoaderDelegate {
  std::optional<Json> nativeCustomTemplateIDsForAdLoader(ZUMAdLoader&) override { return ids; }
  void adLoaderDidReceiveNativeCustomTemplateAd(ZUMAdLoader&,
                                                const std::shared_ptr<ZUMNativeCustomTemplateAd>& ad) override {
    ads.push_back(ad);
  }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr& error) override {
    failures.push_back(error->code());
  }
  ZUMImplemented adLoaderDidFinishLoading(ZUMAdLoader&) override {
    finished = true;
    return kZUMImplemented;
  }
  std::optional<Json> ids;
  std::vector<std::shared_ptr<ZUMNativeCustomTemplateAd>> ads;
  std::vector<std::int64_t> failures;
  bool finished = false;
};

class ZUMNativeCustomTemplateAdTest : public testenv::PlatformTest {
 protected:
  ZUMNativeCustomTemplateAdTest() {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
  }
  std::shared_ptr<ZUMAdLoader> makeLoader(Json ids) {
    delegate->ids = std::move(ids);
    auto count = ZUMMultipleAdsAdLoaderOptions::create();
    count->setNumberOfAds(2);
    auto loader = ZUMAdLoader::create("unit-A", host, {"3"}, {count});
    loader->setDelegate(delegate);
    return loader;
  }

  nativetest::NativeHosts hosts;
  std::shared_ptr<TemplateDelegate> delegate = std::make_shared<TemplateDelegate>();
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
};

TEST_F(ZUMNativeCustomTemplateAdTest, TemplateIDOfTheAdIsAStringOrANumbersDecimalText) {
  const struct {
    Json id;
    std::optional<std::string> expected;
  } rows[] = {
      {12, "12"},           {12.0, "12"},           {"0042", "0042"}, {"abc", "abc"}, {Json::object(), std::nullopt},
      {true, std::nullopt}, {nullptr, std::nullopt}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id.dump());
    auto ad = ZUMNativeCustomTemplateAd::create(customAd(row.id), {});
    ASSERT_EQ(ad != nullptr, row.expected.has_value());
    if (ad) {
      EXPECT_EQ(ad->templateID(), *row.expected);
    }
  }
  auto withoutID = customAd(1);
  withoutID.erase("custom_template_id");
  EXPECT_EQ(ZUMNativeCustomTemplateAd::create(withoutID, {}), nullptr);
}

TEST_F(ZUMNativeCustomTemplateAdTest, RequestSendsTheAppsIDsAsTextDroppingOthersWithALogLine) {
  auto loader = makeLoader(Json{12, "34", "abc", {{"x", 1}}, "5.5"});
  auto adClass = ZUMLoadableClassNamed(kZUMNativeCustomTemplateAdClassName);
  ASSERT_NE(adClass, nullptr);
  EXPECT_TRUE(adClass->delegateConformsToRequiredProtocol(*delegate));
  platform::SystemLog::Capture capture(true);
  auto parameters = adClass->requestParametersForAdLoader(*loader);
  ASSERT_TRUE(parameters);
  env.runUntilIdle();
  EXPECT_EQ(
      *parameters,
      (Json{{"format", 3}, {"custom_template_ids", {"12", "34", "abc", "5.5"}}, {"allowed_response_types", {"ina"}}}));
  EXPECT_EQ(count(capture, "Received non-numeric custom template ID. The template ID may be invalid: abc"), 1u);
  EXPECT_EQ(count(capture, "non-numeric"), 1u);
  EXPECT_EQ(count(capture, "Received non-string custom template ID: {\"x\":1}"), 1u);

  // An app that names no ids asks for none.
  delegate->ids.reset();
  EXPECT_EQ(adClass->requestParametersForAdLoader(*loader)->at("custom_template_ids"), Json::array());
}

TEST_F(ZUMNativeCustomTemplateAdTest, AssetsFromTheServerSkipMalformedEntriesAndSortRegardlessOfCase) {
  auto ad = ZUMNativeCustomTemplateAd::create(
      customAd("7", Json{{{"name", "c"}, {"type", "string"}, {"string_value", "see"}},
                         {{"name", "B"}, {"type", "image"}, {"image_value", image("/b.png")}},
                         {{"name", "a"}, {"type", "string"}, {"string_value", 42}},
                         {{"name", "b"}, {"type", "string"}, {"string_value", "bee"}},
                         {{"name", ""}, {"type", "string"}, {"string_value", "empty name"}},
                         {{"name", 5}, {"type", "string"}, {"string_value", "number name"}},
                         {{"name", "d"}, {"type", ""}, {"string_value", "empty type"}},
                         {{"name", "e"}, {"type", "video"}},
                         {{"name", "f"}, {"type", "image"}, {"image_value", "not a dictionary"}},
                         "not an asset",
                         {{"name", "R"}, {"type", "image"}, {"image_value", image("/r.png", true)}}}),
      noImageLoading());
  ASSERT_NE(ad, nullptr);
  EXPECT_EQ(ad->requiredAssets(), std::set<std::string>{"R"});
  // Images are offered once the assets load; strings at once, a number as no text.
  EXPECT_EQ(ad->availableAssetKeys(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(ad->stringForKey("a"), std::nullopt);
  EXPECT_EQ(ad->stringForKey("c"), "see");
  Log log;
  ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) { log.push_back(error ? "failed" : "ok"); });
  ASSERT_TRUE(env.runUntil([&] { return !log.empty(); }));
  EXPECT_EQ(log, Log{"ok"});
  EXPECT_EQ(ad->availableAssetKeys(), (std::vector<std::string>{"a", "B", "b", "c", "R"}));
  EXPECT_NE(ad->imageForKey("B"), nullptr);
  EXPECT_EQ(ad->imageForKey("c"), nullptr);
  EXPECT_EQ(ad->mediaView(), nullptr);
  EXPECT_EQ(ad->mediaContent(), nullptr);
  EXPECT_EQ(ad->adFormatTemplateID(), "3");
  EXPECT_NE(ad->description().find(", availableAssetKeys:[a, B, b, c, R]>"), std::string::npos);
  EXPECT_EQ(ad->description().rfind("<ZUMNativeCustomTemplateAd: 0x", 0), 0u);
}

TEST_F(ZUMNativeCustomTemplateAdTest, AnImageThatFailsIsUnavailableAndItsClickIsRefused) {
  hosts.server.route("/icon.png", {.body = testenv::pngBytes(4, 4, {0, 0, 200}), .contentType = "image/png"});
  auto slot = nativetest::loadedPageSlot(env);
  auto ad = ZUMNativeCustomTemplateAd::create(
      customAd(7, Json{{{"name", "logo"}, {"type", "image"}, {"image_value", image("/missing.png")}},
                       {{"name", "icon"}, {"type", "image"}, {"image_value", image("/icon.png")}},
                       {{"name", "title"}, {"type", "string"}, {"string_value", "Title"}}}),
      {});
  ad->setSlot(slot);
  Log log;
  ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) { log.push_back(error ? "failed" : "ok"); });
  ASSERT_TRUE(env.runUntil([&] { return !log.empty(); }));
  EXPECT_EQ(log, Log{"ok"});  // the image was optional
  EXPECT_EQ(ad->availableAssetKeys(), (std::vector<std::string>{"icon", "title"}));
  EXPECT_EQ(ad->imageForKey("logo"), nullptr);
  ASSERT_NE(ad->imageForKey("icon"), nullptr);
  EXPECT_NE(ad->imageForKey("icon")->image(), nullptr);

  platform::SystemLog::Capture capture(true);
  bool ran = false;
  ad->performClickOnAssetWithKey("logo", [&] { ran = true; });
  env.runUntilIdle();
  EXPECT_EQ(count(capture, "Asset is unavailable. Cannot perform click on \"logo\"."), 1u);
  EXPECT_TRUE(nativetest::nativeCalls(*slot).empty());
  // The refused click's handler is dropped: the next click with a handler is taken.
  ad->performClickOnAssetWithKey("title", [&] { ran = true; });
  EXPECT_EQ(count(capture, "Still processing"), 0u);
  ASSERT_TRUE(env.runUntil([&] { return ran; }));
}

TEST_F(ZUMNativeCustomTemplateAdTest, ARequiredImageThatFailsFailsTheAd) {
  auto ad = ZUMNativeCustomTemplateAd::create(
      customAd(7, Json{{{"name", "hero"}, {"type", "image"}, {"image_value", image("/missing.png", true)}}}), {});
  Log log;
  ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) { log.push_back(error ? "failed" : "ok"); });
  ASSERT_TRUE(env.runUntil([&] { return !log.empty(); }));
  EXPECT_EQ(log, Log{"failed"});
}

// Holds every image load of "img.example" until the test answers it.

// An ad of more images than load at once starts the next as each ends, whether it
// loaded or failed, and completes once the last has answered.
TEST_F(ZUMNativeCustomTemplateAdTest, ManyImagesLoadAFewAtATimeAndTheAdCompletesAfterTheLast) {
  nativetest::HostedImages::started.clear();
  platform::URLProtocol::registerClass<nativetest::HostedImages>();
  const std::size_t count = ZUMNativeAdImageLoadQueue::kMaxLoadsInFlight + 3;
  Json assets = Json::array();
  for (std::size_t i = 0; i < count; ++i) {
    const Json url{{"url", "https://img.example/" + std::to_string(i) + ".png"}, {"require", i == 0}};
    assets.push_back({{"name", "image" + std::to_string(i)}, {"type", "image"}, {"image_value", url}});
  }
  auto ad = ZUMNativeCustomTemplateAd::create(customAd(7, assets), {});
  Log log;
  ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) { log.push_back(error ? "failed" : "ok"); });
  env.runUntilIdle();
  for (std::size_t answered = 0; answered < count; ++answered) {
    ASSERT_EQ(nativetest::HostedImages::started.size(),
              std::min(count, answered + ZUMNativeAdImageLoadQueue::kMaxLoadsInFlight));
    EXPECT_EQ(log, Log{}) << answered;
    nativetest::HostedImages::started[answered]->answer(answered % 2 ? 404 : 200);  // the odd ones fail
    env.runUntilIdle();
  }
  EXPECT_EQ(log, Log{"ok"});
  EXPECT_EQ(ad->availableAssetKeys().size(), (count + 1) / 2);
  platform::SystemLog::Capture capture(true);
  env.advance(1min);  // past the time limit of the loading, which ended in time
  EXPECT_EQ(::count(capture, "left out"), 0u);
}

// However many images an ad has and however their hosts stall, its image loading ends one
// request time-out after it starts: optional images still missing then are left out, a
// required one fails the ad, and no load stays open.
TEST_F(ZUMNativeCustomTemplateAdTest, ImageLoadingEndsOneRequestTimeOutAfterItStarts) {
  platform::URLProtocol::registerClass<nativetest::HostedImages>();
  struct Images {
    std::size_t count;
    bool required;
    std::string host;
  };
  const struct {
    const char* name;
    std::vector<Images> images;
    const char* expected;
    std::size_t kept;
  } rows[] = {
      {"48 optional on a silent host", {{1, true, "answers"}, {48, false, "silent"}}, "ok", 1},
      {"159 optional on a silent host", {{159, false, "silent"}}, "ok", 0},
      {"a required image trickling", {{1, true, "trickles"}}, "failed", 0},
      {"a required image behind 16 trickling", {{16, true, "trickles"}, {1, true, "silent"}}, "failed", 0},
      {"an optional image trickling", {{1, true, "answers"}, {1, false, "trickles"}}, "ok", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    nativetest::HostedImages::started.clear();
    Json assets = Json::array();
    for (const auto& [count, required, host] : row.images) {
      for (std::size_t i = 0; i < count; ++i) {
        const std::string name = std::to_string(assets.size() + 1000);  // sorted as added
        const Json url{{"url", "https://img.example/" + host + "/" + name + ".png"}, {"require", required}};
        assets.push_back({{"name", name}, {"type", "image"}, {"image_value", url}});
      }
    }
    auto ad = ZUMNativeCustomTemplateAd::create(customAd(7, assets), {});
    Log log;
    ad->loadAssetsWithCompletionHandler(
        [&](const platform::ErrorPtr& error) { log.push_back(error ? "failed" : "ok"); });
    for (auto second = 0s; second < 60s; second += 10s) {
      env.runUntilIdle();
      for (const auto& load : nativetest::HostedImages::started) load->play();
      env.advance(second == 50s ? 10s - 1ms : 10s);
    }
    EXPECT_EQ(log, Log{});
    platform::SystemLog::Capture capture(true);
    env.advance(1ms);
    EXPECT_EQ(log, Log{row.expected});
    EXPECT_EQ(ad->availableAssetKeys().size(), row.kept);
    EXPECT_EQ(count(capture, "Native ad images not loaded within the request time-out are left out"), 1u);
    env.runUntilIdle();
    EXPECT_TRUE(std::ranges::all_of(nativetest::HostedImages::started, [](const auto& load) { return load->stopped; }));
    const auto started = nativetest::HostedImages::started.size();
    env.advance(10min);
    EXPECT_EQ(log, Log{row.expected});
    EXPECT_EQ(nativetest::HostedImages::started.size(), started);
  }
}

// An ad released while its images load stops the loads: a host that trickles bytes holds
// no connection for an ad that has gone.
TEST_F(ZUMNativeCustomTemplateAdTest, ReleasingAnAdStopsItsImageLoads) {
  platform::URLProtocol::registerClass<nativetest::HostedImages>();
  auto& started = nativetest::HostedImages::started;
  started.clear();
  Json assets = Json::array();
  for (int i = 0; i < 3; ++i) {
    const Json url{{"url", "https://img.example/trickles/" + std::to_string(i) + ".png"}, {"require", i == 0}};
    assets.push_back({{"name", "image" + std::to_string(i)}, {"type", "image"}, {"image_value", url}});
  }
  auto ad = ZUMNativeCustomTemplateAd::create(customAd(7, assets), {});
  ad->loadAssetsWithCompletionHandler([](const platform::ErrorPtr&) {});
  env.runUntilIdle();
  for (const auto& load : started) load->play();
  ASSERT_EQ(started.size(), 3u);
  ad = nullptr;
  env.runUntilIdle();
  EXPECT_TRUE(std::ranges::all_of(started, [](const auto& load) { return load->stopped; }));
}

TEST_F(ZUMNativeCustomTemplateAdTest, ClicksWithHandlersRunThemOnTheMainThreadOnThePagesCustomClick) {
  auto slot = nativetest::loadedPageSlot(env);
  auto ad = ZUMNativeCustomTemplateAd::create(
      customAd(7, Json{{{"name", "title"}, {"type", "string"}, {"string_value", "Title"}}}), {});
  auto adDelegate = std::make_shared<nativetest::AdDelegate>();
  ad->setDelegate(adDelegate);
  ad->setRootViewController(host);
  ad->setSlot(slot);

  platform::SystemLog::Capture capture(true);
  Log handlers;
  ad->performClickOnAssetWithKey("title", [&] { handlers.push_back(platform::isMainThread() ? "first" : "first!"); });
  ad->performClickOnAssetWithKey("title", [&] { handlers.push_back("second"); });
  env.runUntilIdle();
  EXPECT_EQ(count(capture, "Still processing prior click event. This click event will be ignored."), 1u);
  ASSERT_TRUE(env.runUntil([&] { return !handlers.empty() && hosts.hits("/click") > 0; }));
  env.advance(1s);
  EXPECT_EQ(handlers, Log{"first"});
  EXPECT_EQ(hosts.hits("/click"), 1u);
  const auto calls = nativetest::nativeCalls(*slot);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].find("\"has_custom_click_handler\":true"), std::string::npos);
  EXPECT_NE(calls[0].find("\"template\":\"3\""), std::string::npos);
  // The app handled the click: nothing left the application.
  EXPECT_EQ(adDelegate->log, Log{"click"});

  // A standing handler hears the message's asset, on the main thread.
  Log heard;
  ad->setCustomClickHandler(
      [&](const std::string& asset) { heard.push_back(asset + (platform::isMainThread() ? "" : "!")); });
  EXPECT_TRUE(ad->customClickHandler());
  ad->performClickOnAssetWithKey("title");
  ASSERT_TRUE(env.runUntil([&] { return !heard.empty(); }));
  EXPECT_EQ(heard, Log{"title"});
  EXPECT_EQ(handlers, Log{"first"});
  EXPECT_EQ(nativetest::nativeCalls(*slot).size(), 2u);

  // Without a handler the page runs the click action instead.
  ad->setCustomClickHandler(nullptr);
  EXPECT_FALSE(ad->customClickHandler());
  ad->performClickOnAssetWithKey("title");
  env.runUntilIdle();
  const auto plain = nativetest::nativeCalls(*slot);
  ASSERT_EQ(plain.size(), 3u);
  EXPECT_EQ(plain[2].find("has_custom_click_handler"), std::string::npos);

  // Moved to another slot, the ad no longer hears its old ad view's custom clicks.
  ad->setCustomClickHandler([&](const std::string& asset) { heard.push_back(asset); });
  ad->setSlot(nativetest::loadedPageSlot(env));
  platform::NotificationCenter::defaultCenter().post("nativeAdCustomClick", slot->adView(), Json{{"asset", "old"}});
  env.runUntilIdle();
  EXPECT_EQ(heard, Log{"title"});
}

// The ads of one response share the page's ad view: a custom click is the clicked ad's.
TEST_F(ZUMNativeCustomTemplateAdTest, EachAdOfAResponseHearsOnlyItsOwnCustomClicks) {
  const Json title = Json{{{"name", "title"}, {"type", "string"}, {"string_value", "Title"}}};
  hosts.server.route("/native", {.status = 200,
                                 .headers = {{"x-qyra-ad-format", "native"}},
                                 .body = Json{{"ads", {customAd(7, title), customAd(7, title)}}}.dump()});
  auto loader = makeLoader(Json{7});
  loader->loadRequest(nativetest::pageRequest("https://ads.adnetwork.example/native"));
  ASSERT_TRUE(env.runUntil([&] { return delegate->finished; }));
  ASSERT_EQ(delegate->ads.size(), 2u);
  Log heard;
  for (const std::string name : {"first", "second"}) {
    delegate->ads[name == "first" ? 0 : 1]->setCustomClickHandler(
        [&heard, name](const std::string& asset) { heard.push_back(name + " " + asset); });
  }
  for (std::size_t i = 0; i < 2; ++i) {
    delegate->ads[i]->performClickOnAssetWithKey("title");
    ASSERT_TRUE(env.runUntil([&] { return heard.size() > i; }));
    env.advance(1s);
  }
  EXPECT_EQ(heard, (Log{"first title", "second title"}));
}

template <typename T>
std::vector<T> operator+(std::vector<T> head, const std::vector<T>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

template <typename T>
std::vector<T> times(std::size_t count, const std::vector<T>& part) {
  std::vector<T> whole;
  for (std::size_t i = 0; i < count; ++i) whole = whole + part;
  return whole;
}

// Calls made in one turn, before the shared page answers any: each ad hears the answers
// to its own calls, in order (its click record and custom click to its delegate and
// handlers, its impression record to its delegate); an impression never takes a click's
// answer, so no one-shot handler is left waiting. The answers to a released ad's call
// reach no other ad, nor do those of a call forgotten as more calls than the page may
// keep waiting were made.
TEST_F(ZUMNativeCustomTemplateAdTest, EachAdOfASharedPageHearsTheAnswersToItsOwnCalls) {
  using Calls = std::vector<std::string>;
  const struct {
    // "<ad> click", "<ad> once" (with a one-shot handler), "<ad> plain" (with none),
    // "<ad> impression", "<ad> release"
    Calls calls;
    Log first, second;
  } rows[] = {
      {{"0 click", "1 impression"}, {"click", "title"}, {"impression"}},
      {{"1 impression", "0 click"}, {"click", "title"}, {"impression"}},
      {{"0 once", "1 impression"}, {"click", "once", "title"}, {"impression"}},
      {{"0 click", "1 click"}, {"click", "title"}, {"click", "title"}},
      {{"1 once", "0 once"}, {"click", "once", "title"}, {"click", "once", "title"}},
      {{"0 plain", "1 click"}, {"click"}, {"click", "title"}},
      {{"0 click", "1 once", "0 release"}, {}, {"click", "once", "title"}},
      {Calls{"0 once"} + times(32, Calls{"1 click"}), {}, times(32, Log{"click", "title"})},
      {Calls{"0 impression", "0 once"} + times(32, Calls{"1 click"}), {"impression"}, times(32, Log{"click", "title"})},
      {Calls{"0 plain"} + times(32, Calls{"1 click"}), {}, times(32, Log{"click", "title"})},
  };
  const Json title = Json{{{"name", "title"}, {"type", "string"}, {"string_value", "Title"}}};
  // Without a landing page: a click without a handler then opens nothing.
  auto dictionary = customAd(7, title);
  dictionary["tracking_urls_and_actions"].erase("click_actions");
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.calls));
    auto slot = nativetest::loadedPageSlot(env);
    std::vector<std::shared_ptr<ZUMNativeCustomTemplateAd>> ads;
    std::vector<std::shared_ptr<nativetest::AdDelegate>> delegates;
    for (int i = 0; i < 2; ++i) {
      ads.push_back(ZUMNativeCustomTemplateAd::create(dictionary, {}));
      delegates.push_back(std::make_shared<nativetest::AdDelegate>());
      ads.back()->setDelegate(delegates.back());
      ads.back()->setSlot(slot);
      ads.back()->setCustomClickHandler(
          [log = &delegates.back()->log](const std::string& asset) { log->push_back(asset); });
    }
    for (const auto& call : row.calls) {
      auto& ad = *ads[call[0] == '1'];
      auto& log = delegates[call[0] == '1']->log;
      if (call.ends_with("release")) {
        ads[call[0] == '1'] = nullptr;
        continue;
      }
      if (call.ends_with("impression")) ad.recordImpression();
      if (call.ends_with("plain")) ad.setCustomClickHandler(nullptr);
      if (call.ends_with("click") || call.ends_with("plain")) ad.performClickOnAssetWithKey("title");
      if (call.ends_with("once")) ad.performClickOnAssetWithKey("title", [&log] { log.push_back("once"); });
    }
    // The page answers a message a turn, each on a timer of its own.
    env.advance(1s);
    EXPECT_EQ(delegates[0]->log, row.first);
    EXPECT_EQ(delegates[1]->log, row.second);
    platform::SystemLog::Capture capture(true);
    for (const auto& ad : ads) {
      if (ad) ad->performClickOnAssetWithKey("title", [] {});
    }
    env.runUntilIdle();
    EXPECT_EQ(count(capture, "Still processing"), 0u);
  }
}

TEST_F(ZUMNativeCustomTemplateAdTest, TheLoaderDropsAnAdOfATemplateNotAskedFor) {
  hosts.server.route("/native", {.status = 200,
                                 .headers = {{"x-qyra-ad-format", "native"}},
                                 .body = Json{{"ads", {customAd(99), customAd(12)}}}.dump()});
  auto loader = makeLoader(Json{12});
  loader->loadRequest(nativetest::pageRequest("https://ads.adnetwork.example/native"));
  ASSERT_TRUE(env.runUntil([&] { return delegate->finished; }));
  ASSERT_EQ(delegate->ads.size(), 1u);
  EXPECT_EQ(delegate->ads[0]->templateID(), "12");
  EXPECT_EQ(delegate->ads[0]->loadableClassName(), kZUMNativeCustomTemplateAdClassName);
  EXPECT_EQ(delegate->failures.size(), 1u);
  EXPECT_FALSE(delegate->ads[0]->hasValidConfigurationForRequestParameters(Json{{"custom_template_ids", {"99"}}}));
}

}  // namespace
