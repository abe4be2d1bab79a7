// App-install and content ads on the loopback server: which dictionaries make an ad, the
// assets loaded before delivery and which failures fail it, the request parameters of
// their class objects, the registration of a host's own view with its refusals, the
// media view's rendering report, and taps on template views and overlay messages of two
// ads of one response reaching each ad's own page call, delegate and overlay.
#include <algorithm>
#include <chrono>

#include "ZUMAdChoicesView.h"
#include "ZUMMediaContentDisplaying.h"
#include "ZUMMediaView.h"
#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeAppInstallAdView.h"
#include "ZUMNativeContentAd.h"
#include "ZUMNativeContentAdView.h"
#include "ZUMVideoControlling.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/Coder.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/native/ZUMNativeMediation.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "sdk/native/ZUMOverlayView.h"
#include "testing/TestImages.h"
#include "testing/TouchControls.h"

namespace {

using namespace std::chrono_literals;
using nativetest::Json;
using nativetest::Log;
using platform::Rect;

Json image(const std::string& path) { return Json{{"url", "https://track.example" + path}, {"scale", 1}}; }

Json appInstallAd(const std::string& headline = "Get it") {
  return Json{{"type", "native"},
              {"template_id", 2},
              {"headline", headline},
              {"call_to_action", "Install"},
              {"body", "An app"},
              {"store", "Store"},
              {"price", "Free"},
              {"rating", 4.5},
              {"images", {image("/a.png"), image("/b.png"), image("/c.png")}},
              {"app_icon", image("/icon.png")},
              {"allow_pub_owned_ad_view", true},
              {"tracking_urls_and_actions",
               {{"vantor_click_tracking_url", "https://track.example/click-" + headline},
                {"click_actions", {{{"url", "https://landing.example/" + headline}}}}}}};
}

Json contentAd(const std::string& headline = "Read it") {
  auto ad = appInstallAd(headline);
  for (const char* key : {"call_to_action", "store", "price", "rating", "app_icon"}) ad.erase(key);
  ad["template_id"] = 1;
  ad["advertiser"] = "Maker";
  ad["secondary_image"] = image("/logo.png");
  return ad;
}

ZUMAdConfiguration::Options imageOptions(bool disableLoading, bool multiple = true) {
  auto option = ZUMNativeAdImageAdLoaderOptions::create();
  option->setDisableImageLoading(disableLoading);
  option->setShouldRequestMultipleImages(multiple);
  return {option};
}

std::vector<std::string> urls(const std::vector<std::shared_ptr<ZUMNativeAdImage>>& images) {
  std::vector<std::string> paths;
  for (const auto& image : images) paths.push_back(image->imageURL()->path().value_or(""));
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The messages of `capture` that contain one of `fragments`, in order.
Log messagesWith(const platform::SystemLog::Capture& capture, std::initializer_list<const char*> fragments) {
  Log found;
  for (const auto& message : capture.messages()) {
    for (const char* fragment : fragments) {
      if (message.find(fragment) != std::string::npos) found.push_back(fragment);
    }
  }
  return found;
}

class ZUMNativeAdvancedAdTest : public testenv::PlatformTest {
 protected:
  ZUMNativeAdvancedAdTest() {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    for (const char* path : {"/a.png", "/b.png", "/c.png", "/icon.png", "/logo.png", "/choices.png"}) {
      hosts.server.route(path, {.body = testenv::pngBytes(4, 4, {0, 0, 200}), .contentType = "image/png"});
    }
  }
  // Loads the ad's assets; the completion's outcome, "ok" or "failed".
  std::string loadAssets(ZUMNativeAd& ad) {
    std::string outcome;
    ad.loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) { outcome = error ? "failed" : "ok"; });
    EXPECT_TRUE(env.runUntil([&] { return !outcome.empty(); }));
    return outcome;
  }
  std::size_t imageHits() const {
    std::size_t hits = 0;
    for (const char* path : {"/a.png", "/b.png", "/c.png", "/icon.png", "/logo.png"}) hits += hosts.hits(path);
    return hits;
  }

  nativetest::NativeHosts hosts;
  std::shared_ptr<platform::Window> window = platform::Window::create(Rect(0, 0, 375, 667));
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
};

TEST_F(ZUMNativeAdvancedAdTest, WhichDictionariesMakeAnAd) {
  auto without = [](Json ad, const char* key) {
    ad.erase(key);
    return ad;
  };
  auto with = [](Json ad, const char* key, Json value) {
    ad[key] = std::move(value);
    return ad;
  };
  const struct {
    const char* name;
    Json dictionary;
    bool appInstall;
    bool made;
  } rows[] = {
      {"app install", appInstallAd(), true, true},
      {"no app_icon", without(appInstallAd(), "app_icon"), true, false},
      {"app_icon without a url", with(appInstallAd(), "app_icon", Json{{"scale", 2}}), true, false},
      {"no headline", without(appInstallAd(), "headline"), true, false},
      {"no call_to_action", without(appInstallAd(), "call_to_action"), true, false},
      {"headline a number", with(appInstallAd(), "headline", 7), true, false},
      {"no body", without(appInstallAd(), "body"), true, true},
      {"content", contentAd(), false, true},
      {"content without body", without(contentAd(), "body"), false, false},
      {"content without headline", without(contentAd(), "headline"), false, false},
      {"content without secondary_image", without(contentAd(), "secondary_image"), false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::shared_ptr<ZUMNativeAdvancedAd> ad;
    if (row.appInstall) {
      ad = ZUMNativeAppInstallAd::create(row.dictionary, {});
    } else {
      ad = ZUMNativeContentAd::create(row.dictionary, {});
    }
    EXPECT_EQ(ad != nullptr, row.made);
  }
  auto appInstall = ZUMNativeAppInstallAd::create(appInstallAd(), {});
  EXPECT_EQ(appInstall->adFormatTemplateID(), "2");
  EXPECT_EQ(appInstall->starRating(), 4.5);
  EXPECT_EQ(appInstall->store(), "Store");
  EXPECT_EQ(appInstall->price(), "Free");
  EXPECT_EQ(appInstall->requiredAssets(), (std::set<std::string>{"headline", "callToAction", "icon"}));
  EXPECT_EQ(ZUMNativeAppInstallAd::create(without(appInstallAd(), "rating"), {})->starRating(), 0);
  EXPECT_EQ(ZUMNativeAppInstallAd::create(with(appInstallAd(), "rating", "4.5"), {})->starRating(), 0);
  // The first image only, unless several are asked for; it is also the video's placeholder.
  EXPECT_EQ(urls(ZUMNativeAppInstallAd::create(appInstallAd(), imageOptions(false, false))->nativeAdImages()),
            Log{"/a.png"});

  auto content = ZUMNativeContentAd::create(with(contentAd(), "attribution", Json{{"text", "Ad"}}), {});
  EXPECT_EQ(content->adFormatTemplateID(), "1");
  EXPECT_EQ(content->advertiser(), "Maker");
  EXPECT_EQ(content->requiredAssets(), (std::set<std::string>{"headline", "body", "attribution"}));
  EXPECT_EQ(ZUMNativeContentAd::create(without(contentAd(), "secondary_image"), {})->logo(), nullptr);
  // The AdChoices badge is made once, from the attribution; none without one.
  EXPECT_NE(content->adChoicesContentView(), nullptr);
  EXPECT_EQ(content->adChoicesContentView(), content->adChoicesContentView());
  EXPECT_EQ(appInstall->adChoicesContentView(), nullptr);
  EXPECT_TRUE(appInstall->overlayView()->isHidden());
}

TEST_F(ZUMNativeAdvancedAdTest, PublisherOwnedViewsAreAllowedByTheServersFlagWhateverItsType) {
  const struct {
    Json value;
    bool allowed;
  } rows[] = {{true, true},
              {1, true},
              {"true", true},
              {"1", true},
              {false, false},
              {0, false},
              {"no", false},
              {Json::array({1}), false},
              {Json{{"a", 1}}, false},
              {nullptr, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value.dump());
    auto dictionary = contentAd();
    dictionary["allow_pub_owned_ad_view"] = row.value;
    EXPECT_EQ(ZUMNativeContentAd::create(dictionary, {})->publisherOwnedAdViewAllowed(), row.allowed);
  }
}

TEST_F(ZUMNativeAdvancedAdTest, AssetsLoadedBeforeDeliveryAndTheFailuresThatFailTheAd) {
  // Image loading off: every image offered at once, nothing fetched.
  auto off = ZUMNativeAppInstallAd::create(appInstallAd(), imageOptions(true));
  EXPECT_TRUE(off->images().empty());
  EXPECT_EQ(loadAssets(*off), "ok");
  EXPECT_EQ(urls(off->images()), (Log{"/a.png", "/b.png", "/c.png"}));
  EXPECT_EQ(imageHits(), 0u);

  // One of three images missing: the other two are offered and the ad loads.
  hosts.server.route("/b.png", {.status = 404});
  auto ad = ZUMNativeAppInstallAd::create(appInstallAd(), imageOptions(false));
  int earlier = 0;  // a second caller in the same turn starts no second download
  ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr&) { ++earlier; });
  EXPECT_EQ(loadAssets(*ad), "ok");
  EXPECT_EQ(earlier, 1);
  EXPECT_EQ(hosts.hits("/a.png"), 1u);
  EXPECT_EQ(urls(ad->images()), (Log{"/a.png", "/c.png"}));
  EXPECT_NE(ad->icon()->image(), nullptr);

  const struct {
    const char* name;
    bool appInstall;
    const char* missing;
    const char* expected;
  } rows[] = {
      {"icon", true, "/icon.png", "failed"},
      {"attribution icon", true, "/choices.png", "failed"},
      {"logo", false, "/logo.png", "ok"},
      {"content attribution icon", false, "/choices.png", "failed"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    hosts.server.route(row.missing, {.status = 404});
    auto dictionary = row.appInstall ? appInstallAd() : contentAd();
    dictionary["attribution"] = Json{{"text", "Ad"}, {"images", {image("/choices.png")}}};
    std::shared_ptr<ZUMNativeAdvancedAd> failing;
    if (row.appInstall) {
      failing = ZUMNativeAppInstallAd::create(dictionary, {});
    } else {
      failing = ZUMNativeContentAd::create(dictionary, {});
    }
    EXPECT_EQ(loadAssets(*failing), row.expected);
    hosts.server.route(row.missing, {.body = testenv::pngBytes(4, 4), .contentType = "image/png"});
  }
  // A logo that failed stays, without its picture; a loaded attribution offers its icon.
  hosts.server.route("/logo.png", {.status = 404});
  auto withChoices = contentAd();
  withChoices["attribution"] = Json{{"images", {image("/choices.png")}}};
  auto attributed = ZUMNativeContentAd::create(withChoices, {});
  EXPECT_EQ(loadAssets(*attributed), "ok");
  ASSERT_NE(attributed->logo(), nullptr);
  EXPECT_EQ(attributed->logo()->image(), nullptr);
  ASSERT_NE(attributed->adChoicesIcon(), nullptr);
  EXPECT_EQ(attributed->adChoicesIcon()->imageURL()->path(), "/choices.png");
}

TEST_F(ZUMNativeAdvancedAdTest, ClassObjectsAskForTheirFormatWithTheirKeptStatistics) {
  auto loader = ZUMAdLoader::create("unit-A", host, {"1", "2"}, {});
  const struct {
    const char* className;
    int format;
    const char* templateID;
  } rows[] = {{kZUMNativeAppInstallAdClassName, 2, "2"}, {kZUMNativeContentAdClassName, 1, "1"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.className);
    auto adClass = ZUMLoadableClassNamed(row.className);
    ASSERT_NE(adClass, nullptr);
    EXPECT_EQ(*adClass->requestParametersForAdLoader(*loader), (Json{{"format", row.format},
                                                                     {"allowed_response_types", {"ina"}},
                                                                     {"native_advanced_statistics", Json::array()}}));
    EXPECT_EQ(adClass->mediationConnectorForConfiguration(nullptr, nullptr), nullptr);
  }
  // A shown app-install ad of the unit leaves its record for the next app-install request.
  auto ad = ZUMNativeAppInstallAd::create(appInstallAd(), {});
  ad->setAdUnitID("unit-A");
  ad->reportIsMediaContentRendered(true);
  ad.reset();
  const auto sent = ZUMLoadableClassNamed(kZUMNativeAppInstallAdClassName)->requestParametersForAdLoader(*loader);
  ASSERT_EQ(sent->at("native_advanced_statistics").size(), 1u);
  EXPECT_EQ(sent->at("native_advanced_statistics")[0]["uses_media_view"], 1);
  EXPECT_EQ(ZUMLoadableClassNamed(kZUMNativeContentAdClassName)
                ->requestParametersForAdLoader(*loader)
                ->at("native_advanced_statistics"),
            Json::array());
}

TEST_F(ZUMNativeAdvancedAdTest, RegisteringAHostsViewIsRefusedInOrderUntilTheFirstViewHasGone) {
  platform::SystemLog::Capture capture(true);
  auto notAllowed = contentAd();
  notAllowed.erase("allow_pub_owned_ad_view");
  auto refused = ZUMNativeContentAd::create(notAllowed, {});
  auto ad = ZUMNativeContentAd::create(contentAd(), {});
  auto view = platform::View::create(Rect(0, 0, 300, 250));
  auto other = platform::View::create(Rect(0, 300, 300, 250));
  auto headline = platform::View::create(Rect(10, 10, 100, 20));
  view->addSubview(headline);
  const ZUMNativeAdvancedAd::AssetViews assets{{ZUMNativeContentAd::kHeadlineAsset, headline}};

  refused->registerAdView(view, assets);
  refused->unregisterAdView();
  ad->registerAdView(nullptr, assets);
  ad->registerAdView(view, std::nullopt);
  ad->registerAdView(ZUMNativeAppInstallAdView::create(), assets);
  ad->registerAdView(ZUMNativeContentAdView::create(), assets);
  ad->registerAdView(view, assets);
  ad->registerAdView(other, assets);
  env.runUntilIdle();
  EXPECT_EQ(messagesWith(capture,
                         {"Your account must be enabled", "Cannot register nil ad view or nil asset view dictionary.",
                          "Not allowed to register Morvane native ad view: <ZUMNativeAppInstallAdView",
                          "Not allowed to register Morvane native ad view: <ZUMNativeContentAdView",
                          "please first unregister the previous ad view."}),
            (Log{"Your account must be enabled", "Your account must be enabled",
                 "Cannot register nil ad view or nil asset view dictionary.",
                 "Cannot register nil ad view or nil asset view dictionary.",
                 "Not allowed to register Morvane native ad view: <ZUMNativeAppInstallAdView",
                 "Not allowed to register Morvane native ad view: <ZUMNativeContentAdView",
                 "please first unregister the previous ad view."}));
  ASSERT_NE(ad->nativeAdViewPolicy(), nullptr);
  EXPECT_EQ(ad->nativeAdViewPolicy()->adView(), view);
  EXPECT_EQ(ad->nativeAdViewPolicy()->delegate(), ad);
  EXPECT_TRUE(ad->nativeAdViewPolicy()->isAdViewOwnedByPublisher());
  EXPECT_EQ(ad->nativeAdViewPolicy()->clickTargetAtLocation({15, 15}).second, "1001");
  EXPECT_EQ(ad->nativeAdViewPolicy()->clickTargetAtLocation({200, 15}).second, "1099");
  EXPECT_EQ(refused->nativeAdViewPolicy(), nullptr);

  // The first view goes away with its policy: the other view can be registered.
  view.reset();
  ad->registerAdView(other, assets);
  ASSERT_NE(ad->nativeAdViewPolicy(), nullptr);
  EXPECT_EQ(ad->nativeAdViewPolicy()->adView(), other);
  EXPECT_EQ(other->gestureRecognizers().size(), 2u);
  // Unregistering takes the recognizers off; the same view can be registered again.
  ad->unregisterAdView();
  EXPECT_TRUE(other->gestureRecognizers().empty());
  EXPECT_EQ(ad->nativeAdViewPolicy(), nullptr);
  ad->registerAdView(other, assets);
  EXPECT_NE(ad->nativeAdViewPolicy(), nullptr);
  EXPECT_EQ(messagesWith(capture, {"please first unregister"}).size(), 1u);
}

// A media content whose video the test says has content and is in a given state.
struct FakeVideo final : ZUMMediaContentDisplaying, ZUMVideoControlling, std::enable_shared_from_this<FakeVideo> {
  void loadVideoWithCompletionHandler(CompletionHandler completion) override { completion(nullptr); }
  std::shared_ptr<platform::View> mediaView() override { return view; }
  std::shared_ptr<ZUMVideoControlling> videoController() const override {
    return std::const_pointer_cast<FakeVideo>(shared_from_this());
  }
  void setMute(bool) override {}
  void play() override {}
  void pause() override {}
  void setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>&) override {}
  bool hasVideoContent() const override { return hasVideo; }
  double aspectRatio() const override { return 1; }
  bool customControlsEnabled() const override { return false; }
  std::int64_t videoPlaybackState() const override { return state; }

  bool hasVideo = true;
  std::int64_t state = 1;
  std::shared_ptr<platform::View> view = platform::View::create(Rect(0, 0, 10, 10));
};

TEST_F(ZUMNativeAdvancedAdTest, TheTemplateViewReportsWhetherItShowsAVideoThatHasNotEnded) {
  const struct {
    const char* name;
    bool hasVideo;
    std::int64_t state;
    bool mediaView;
    Json usesMediaView;  // null: nothing reported
  } rows[] = {
      {"playing in a media view", true, 1, true, 1},
      {"paused without a media view", true, 3, false, 0},
      {"ended", true, 4, true, nullptr},
      {"no video", false, 1, true, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto ad = ZUMNativeAppInstallAd::create(appInstallAd(), {});
    ad->setAdUnitID("unit-A");
    auto video = std::make_shared<FakeVideo>();
    video->hasVideo = row.hasVideo;
    video->state = row.state;
    ad->setMediaContent(video);
    auto templateView = ZUMNativeAppInstallAdView::create(Rect(0, 0, 300, 250));
    auto mediaView = ZUMMediaView::create(Rect(0, 100, 300, 150));
    templateView->setNativeAppInstallAd(ad);  // a media view connected later is fed too
    if (row.mediaView) templateView->setMediaView(mediaView);
    EXPECT_EQ(ad->statistics().value("uses_media_view", Json()), row.usesMediaView);
    env.runUntilIdle();
    // The media view shows the ad's media from the next turn.
    EXPECT_EQ(mediaView->mediaContent() == video, row.mediaView);
    EXPECT_EQ(templateView->nativeAppInstallAd(), ad);
    EXPECT_EQ(templateView->nativeAdViewPolicy()->delegate(), ad);
  }
}

// The host of an ad loader asking for both kinds.
struct KindsDelegate : ZUMNativeAppInstallAdLoaderDelegate, ZUMNativeContentAdLoaderDelegate {
  void adLoaderDidReceiveNativeAppInstallAd(ZUMAdLoader&, const std::shared_ptr<ZUMNativeAppInstallAd>& ad) override {
    appInstallAds.push_back(ad);
  }
  void adLoaderDidReceiveNativeContentAd(ZUMAdLoader&, const std::shared_ptr<ZUMNativeContentAd>& ad) override {
    contentAds.push_back(ad);
  }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr& error) override {
    failures.push_back(error->code());
  }
  std::vector<std::shared_ptr<ZUMNativeAppInstallAd>> appInstallAds;
  std::vector<std::shared_ptr<ZUMNativeContentAd>> contentAds;
  std::vector<std::int64_t> failures;
};

TEST_F(ZUMNativeAdvancedAdTest, TapsOnTemplateViewsOfTwoAdsReachEachAdsOwnPageCallAndDelegate) {
  auto appWithBadge = appInstallAd("app");
  appWithBadge["attribution"] = Json{{"text", "AdChoices"}, {"images", {image("/choices.png")}}};
  for (const char* path : {"/click-first", "/click-second", "/click-app"}) hosts.server.route(path, {.status = 200});
  hosts.server.route("/native",
                     {.headers = {{"x-qyra-ad-format", "native"}},
                      .body = Json{{"ads", {contentAd("first"), contentAd("second"), appWithBadge}}}.dump()});
  auto count = ZUMMultipleAdsAdLoaderOptions::create();
  count->setNumberOfAds(3);
  auto loader = ZUMAdLoader::create("unit-A", host, {"1", "2"}, {count});
  auto delegate = std::make_shared<KindsDelegate>();
  loader->setDelegate(delegate);
  loader->loadRequest(nativetest::pageRequest("https://ads.adnetwork.example/native"));
  ASSERT_TRUE(env.runUntil([&] { return !loader->isLoading(); }));
  ASSERT_EQ(delegate->contentAds.size(), 2u);
  ASSERT_EQ(delegate->appInstallAds.size(), 1u);
  EXPECT_TRUE(delegate->failures.empty());
  const auto& ads = delegate->contentAds;
  EXPECT_EQ(ads[0]->slot(), ads[1]->slot());
  EXPECT_EQ(ads[0]->overlayView()->adView(), nativetest::adViewOf(*ads[0]->slot()));

  std::vector<std::shared_ptr<ZUMNativeContentAdView>> views;
  std::vector<std::shared_ptr<nativetest::AdDelegate>> adDelegates;
  for (std::size_t i = 0; i < ads.size(); ++i) {
    auto view = ZUMNativeContentAdView::create(Rect(0, 300.0 * static_cast<double>(i), 300, 250));
    auto logo = platform::View::create(Rect(10, 10, 50, 50));
    view->addSubview(logo);
    view->setLogoView(logo);
    view->setNativeContentAd(ads[i]);
    env.runUntilIdle();
    EXPECT_FALSE(ads[i]->hasRecordedImpression());  // not placed yet
    window->addSubview(view);
    EXPECT_TRUE(ads[i]->hasRecordedImpression());  // seen once placed in the visible window
    views.push_back(view);
  }
  env.runUntilIdle();
  for (std::size_t i = 0; i < ads.size(); ++i) {
    adDelegates.push_back(std::make_shared<nativetest::AdDelegate>(i == 0 ? "first:" : "second:"));
    ads[i]->setDelegate(adDelegates.back());
  }
  const std::size_t before = nativetest::nativeCalls(*ads[0]->slot()).size();

  testenv::TouchControls::tap(window, {20, 20});  // the first view's logo
  ASSERT_TRUE(env.runUntil([&] { return hosts.hits("/click-first") > 0; }));
  env.advance(1s);
  testenv::TouchControls::tap(window, {200, 300 + 200});  // the second view, outside every asset view
  ASSERT_TRUE(env.runUntil([&] { return hosts.hits("/click-second") > 0; }));
  env.advance(1s);

  const auto calls = nativetest::nativeCalls(*ads[0]->slot());
  ASSERT_EQ(calls.size(), before + 2);
  EXPECT_NE(calls[before].find(R"("click":{"template":"1","asset":"1006")"), std::string::npos);
  EXPECT_NE(calls[before].find(R"("headline":"first")"), std::string::npos);
  EXPECT_NE(calls[before + 1].find(R"("click":{"template":"1","asset":"1099")"), std::string::npos);
  EXPECT_NE(calls[before + 1].find(R"("headline":"second")"), std::string::npos);
  EXPECT_EQ(adDelegates[0]->log, (Log{"first:click", "first:leave"}));
  EXPECT_EQ(adDelegates[1]->log, (Log{"second:click", "second:leave"}));
  EXPECT_EQ(hosts.hits("/click-app"), 0u);

  // The app-install ad's AdChoices badge, laid out in its corner by the window's pass, takes
  // a tap there.
  const auto app = delegate->appInstallAds[0];
  auto appView = ZUMNativeAppInstallAdView::create(Rect(0, 600, 320, 60));
  window->addSubview(appView);
  appView->setNativeAppInstallAd(app);
  env.runUntilIdle();
  const Rect badge = app->adChoicesContentView()->frame();
  EXPECT_TRUE(badge.width() > 4 && badge.height() >= 4) << "its text and its 4-point icon";
  EXPECT_EQ(badge.maxX(), 320);
  EXPECT_EQ(badge.minY(), 0);
  const auto attribution = std::dynamic_pointer_cast<ZUMNativeAdAttributionView>(app->adChoicesContentView());
  ASSERT_NE(attribution, nullptr);
  const Rect icon = attribution->iconView()->convertRectToView(attribution->iconView()->bounds(), nullptr);
  EXPECT_EQ(icon.maxX(), 320) << "the icon ends the strip";
  const std::size_t tapped = nativetest::nativeCalls(*app->slot()).size();
  testenv::TouchControls::tap(window, {icon.midX(), icon.midY()});
  ASSERT_TRUE(env.runUntil([&] { return nativetest::nativeCalls(*app->slot()).size() > tapped; }));
  EXPECT_NE(nativetest::nativeCalls(*app->slot()).back().find(R"("click":{"template":"2","asset":"2009")"),
            std::string::npos)
      << nativetest::nativeCalls(*app->slot()).back();
}

// The page answers a click with the overlay message the clicked asset names: the
// overlay it acts on is the clicked ad's, not the other ad's of the same response.
TEST_F(ZUMNativeAdvancedAdTest, OverlayMessagesOfTheSharedPageReachTheAdItActsFor) {
  hosts.servePage(
      nativetest::pageWith("vantor.qyra.nativeAds.handleClickTolm = function (c) {"
                           " send(c.click.asset, {overlayHtml: '<p>Over</p>'}); };"));
  hosts.server.route("/native", {.headers = {{"x-qyra-ad-format", "native"}},
                                 .body = Json{{"ads", {appInstallAd("first"), appInstallAd("second")}}}.dump()});
  auto count = ZUMMultipleAdsAdLoaderOptions::create();
  count->setNumberOfAds(2);
  auto loader = ZUMAdLoader::create("unit-A", host, {"2"}, {imageOptions(true).front(), count});
  auto delegate = std::make_shared<KindsDelegate>();
  loader->setDelegate(delegate);
  loader->loadRequest(nativetest::pageRequest("https://ads.adnetwork.example/native"));
  ASSERT_TRUE(env.runUntil([&] { return !loader->isLoading(); }));
  const auto& ads = delegate->appInstallAds;
  ASSERT_EQ(ads.size(), 2u);
  auto state = [&] {
    Log states;
    for (const auto& ad : ads) {
      const auto& overlay = ad->overlayView();
      states.push_back(std::string(overlay->isHidden() ? "hidden" : "shown") + (overlay->overlayView() ? " page" : ""));
    }
    return states;
  };
  const struct {
    std::size_t ad;
    const char* message;
    Log expected;
  } steps[] = {
      {0, "showOverlay", {"shown", "hidden"}},
      {1, "loadHtml", {"shown", "hidden page"}},
      {1, "showOverlay", {"shown", "shown page"}},
      {0, "hideOverlay", {"hidden", "shown page"}},
      {0, "sendMessageToNativeJs", {"hidden page", "shown page"}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.message);
    ads[step.ad]->performClickOnView(nullptr, step.message, Json::object());
    ASSERT_TRUE(env.runUntil([&] { return state() == step.expected; })) << testing::PrintToString(state());
    env.advance(1s);
    EXPECT_EQ(state(), step.expected);
  }
}

// Calls made in one turn, before the shared page answers any: the overlay that a click's
// answer acts on is the clicked ad's, never that of an ad whose impression came later.
// Alone on its page, an ad hears every overlay message, even one that no call prompted;
// with others there, such a message is dropped with a log line.
TEST_F(ZUMNativeAdvancedAdTest, OverlayMessagesAnsweringCallsMadeInOneTurnReachTheClickedAd) {
  const struct {
    std::size_t ads;
    // "<ad> <message answering its click>", "<ad> impression", "<ad> leaves", "page <message>"
    std::vector<std::string> calls;
    Log expected;
    std::size_t dropped;
  } rows[] = {
      {2, {"0 showOverlay", "1 impression"}, {"shown", "hidden"}, 0},
      {2, {"0 showOverlay", "1 loadHtml"}, {"shown", "hidden page"}, 0},
      {1, {"page showOverlay"}, {"shown"}, 0},
      {2, {"1 leaves", "page showOverlay"}, {"shown", "hidden"}, 0},
      {2, {"page showOverlay"}, {"hidden", "hidden"}, 1},
  };
  hosts.servePage(
      nativetest::pageWith("vantor.qyra.nativeAds.handleClickTolm = function (c) {"
                           " send(c.click.asset, {overlayHtml: '<p>Over</p>'}); };"));
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.calls));
    auto slot = nativetest::loadedPageSlot(env);
    std::vector<std::shared_ptr<ZUMNativeAppInstallAd>> ads;
    for (std::size_t i = 0; i < row.ads; ++i) {
      ads.push_back(ZUMNativeAppInstallAd::create(appInstallAd(), imageOptions(true)));
      ads.back()->setSlot(slot);
    }
    platform::SystemLog::Capture capture(true);
    for (const auto& call : row.calls) {
      const std::string what = call.substr(call.find(' ') + 1);
      if (call.starts_with("page")) {
        nativetest::adViewOf(*slot)->executeJavaScriptAsynchronouslyFromString("send('" + what + "', {});");
      } else if (what == "impression") {
        ads[call[0] == '1']->recordImpressionWithEnvironment(Json::object());
      } else if (what == "leaves") {
        ads[call[0] == '1']->setSlot(nullptr);
      } else {
        ads[call[0] == '1']->performClickOnView(nullptr, what, Json::object());
      }
    }
    auto state = [&] {
      Log states;
      for (const auto& ad : ads) {
        const auto& overlay = ad->overlayView();
        states.push_back(std::string(overlay->isHidden() ? "hidden" : "shown") +
                         (overlay->overlayView() ? " page" : ""));
      }
      return states;
    };
    env.runUntil([&] { return state() == row.expected; });
    env.advance(1s);
    EXPECT_EQ(state(), row.expected);
    EXPECT_EQ(messagesWith(capture, {"Dropped an answer of the native-ads page"}).size(), row.dropped);
  }
}

TEST_F(ZUMNativeAdvancedAdTest, TemplateViewsKeepTheOverlayOnTopAndNameEachOutletsAsset) {
  auto dictionary = contentAd();
  dictionary["attribution"] = Json{{"text", "Ad"}, {"allow_pub_rendering", true}};
  auto ad = ZUMNativeContentAd::create(dictionary, {});
  auto view = ZUMNativeContentAdView::create(Rect(0, 0, 300, 250));
  window->addSubview(view);
  auto choices = ZUMAdChoicesView::create(Rect(250, 0, 50, 20));
  view->addSubview(choices);
  view->setAdChoicesView(choices);
  view->setNativeContentAd(ad);
  EXPECT_FALSE(view->nativeAdViewPolicy()->isAdViewOwnedByPublisher());
  // The host's AdChoices view shows the badge; the overlay covers the view, on top.
  EXPECT_EQ(choices->adChoicesContentView(), ad->adChoicesContentView());
  view->addSubview(platform::View::create(Rect(0, 0, 10, 10)));
  view->setNeedsLayout();
  view->layoutIfNeeded();
  EXPECT_EQ(view->subviews().back(), ad->overlayView());
  EXPECT_EQ(ad->overlayView()->frame(), view->bounds());

  using Setter = void (ZUMNativeContentAdView::*)(const std::shared_ptr<platform::View>&);
  const std::pair<Setter, const char*> content[] = {
      {&ZUMNativeContentAdView::setHeadlineView, "1001"},     {&ZUMNativeContentAdView::setBodyView, "1002"},
      {&ZUMNativeContentAdView::setCallToActionView, "1003"}, {&ZUMNativeContentAdView::setAdvertiserView, "1004"},
      {&ZUMNativeContentAdView::setImageView, "1005"},        {&ZUMNativeContentAdView::setLogoView, "1006"}};
  for (const auto& [setter, name] : content) {
    auto outlet = platform::View::create(Rect(100, 100, 20, 20));
    view->addSubview(outlet);
    (view.get()->*setter)(outlet);
    EXPECT_EQ(view->nativeAdViewPolicy()->clickTargetAtLocation({105, 105}).second, name);
    outlet->removeFromSuperview();
  }
  using AppSetter = void (ZUMNativeAppInstallAdView::*)(const std::shared_ptr<platform::View>&);
  auto appView = ZUMNativeAppInstallAdView::create(Rect(0, 0, 300, 250));
  const std::pair<AppSetter, const char*> appInstall[] = {
      {&ZUMNativeAppInstallAdView::setHeadlineView, "2001"}, {&ZUMNativeAppInstallAdView::setCallToActionView, "2002"},
      {&ZUMNativeAppInstallAdView::setIconView, "2003"},     {&ZUMNativeAppInstallAdView::setBodyView, "2004"},
      {&ZUMNativeAppInstallAdView::setStoreView, "2005"},    {&ZUMNativeAppInstallAdView::setPriceView, "2006"},
      {&ZUMNativeAppInstallAdView::setImageView, "2007"},    {&ZUMNativeAppInstallAdView::setStarRatingView, "2008"}};
  for (const auto& [setter, name] : appInstall) {
    auto outlet = platform::View::create(Rect(100, 100, 20, 20));
    appView->addSubview(outlet);
    (appView.get()->*setter)(outlet);
    EXPECT_EQ(appView->nativeAdViewPolicy()->clickTargetAtLocation({105, 105}).second, name);
    outlet->removeFromSuperview();
  }
  EXPECT_EQ(appView->nativeAdViewPolicy()->clickTargetAtLocation({105, 105}).second, "2099");
}

TEST_F(ZUMNativeAdvancedAdTest, TemplateViewsAreMadeFromArchives) {
  for (const char* name : {"ZUMNativeAppInstallAdView", "ZUMNativeContentAdView"}) {
    SCOPED_TRACE(name);
    auto coder = platform::Coder::create(
        Json{{"class", name}, {"frame", {{"x", 0}, {"y", 0}, {"width", 320}, {"height", 100}}}}.dump());
    auto view = std::dynamic_pointer_cast<ZUMNativeAdvancedAdView>(coder->decodeView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->frame(), Rect(0, 0, 320, 100));
    EXPECT_NE(view->nativeAdViewPolicy(), nullptr);
    EXPECT_EQ(platform::Coder::create(Json{{"class", name}}.dump())->decodeView(), nullptr);
  }
}

// Mediation as the kinds' class objects see it: the response type of an entry, and the
// native-ad connectors asked for.
struct CountingMediation : ZUMNativeMediation {
  std::optional<std::string> responseType(const ZUMMAdNetworkConfig&) override { return type; }
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> makeNativeAdConnector(
      const std::shared_ptr<const ZUMMConfig>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) override {
    ++connectors;
    return nullptr;
  }
  std::optional<std::string> type;
  int connectors = 0;
};

TEST_F(ZUMNativeAdvancedAdTest, OnlyANativeNetworkEntryGetsANativeAdConnector) {
  auto mediation = std::make_shared<CountingMediation>();
  ZUMNativeMediation::setShared(mediation);
  platform::ErrorPtr error;
  auto entry = ZUMMAdNetworkConfig::create(Json{{"id", "n1"}}, &error);
  ASSERT_NE(entry, nullptr);
  for (const char* className : {kZUMNativeAppInstallAdClassName, kZUMNativeContentAdClassName}) {
    SCOPED_TRACE(className);
    auto adClass = ZUMLoadableClassNamed(className);
    mediation->connectors = 0;
    for (const auto& type :
         {std::optional<std::string>("banner"), std::optional<std::string>(), std::optional<std::string>("native")}) {
      mediation->type = type;
      static_cast<void>(adClass->mediationConnectorForConfiguration(nullptr, entry));
    }
    EXPECT_EQ(mediation->connectors, 1);
    static_cast<void>(adClass->mediationConnectorForConfiguration(nullptr, nullptr));
    EXPECT_EQ(mediation->connectors, 1);
  }
  ZUMNativeMediation::setShared(nullptr);
}

// An ad made from values at hand, as another network's ad gives them.
struct ValuesAd final : ZUMNativeAdvancedAd {
  ValuesAd() : ZUMNativeAdvancedAd(Json::object(), {}, ZUMNativeAppInstallAd::kind()) {}
  using ZUMNativeAdvancedAd::hasRequiredValues;
  using ZUMNativeAdvancedAd::setValues;
  void adLoaderDidReceiveAd(ZUMAdLoader&) override {}
};

TEST_F(ZUMNativeAdvancedAdTest, AnAdMadeFromValuesAtHandOffersThemWithoutDownloads) {
  auto ad = std::make_shared<ValuesAd>();
  EXPECT_FALSE(ad->hasRequiredValues());
  auto picture = platform::Image::createBlank({4, 4});
  auto shown = ZUMNativeAdImage::createWithImage(picture);
  ZUMNativeAdvancedAdValues values;
  values.headline = "Get it";
  values.callToAction = "Install";
  values.availableImages = {shown};
  values.singleImage = ZUMNativeAdImage::createWithImage(picture);
  ad->setValues(std::move(values));
  EXPECT_TRUE(ad->hasRequiredValues());
  EXPECT_EQ(ad->images(), std::vector<std::shared_ptr<ZUMNativeAdImage>>{shown});
  EXPECT_EQ(ad->mediaContent(), nullptr);
  EXPECT_NE(ad->videoController(), nullptr);
  EXPECT_EQ(loadAssets(*ad), "ok");
  EXPECT_EQ(ad->images(), std::vector<std::shared_ptr<ZUMNativeAdImage>>{shown});
  EXPECT_EQ(imageHits(), 0u);
}

// A click answered by two overlay messages (load, then show) whose ad is released before
// the answers: no other ad's overlay acts on them, whether one or two ads are left.
TEST_F(ZUMNativeAdvancedAdTest, TheOverlayAnswersOfAReleasedAdsClickReachNoOtherAd) {
  hosts.servePage(
      nativetest::pageWith("vantor.qyra.nativeAds.handleClickTolm = function (c) {"
                           " send('loadHtml', {overlayHtml: '<p>Over</p>'}); send('showOverlay', {}); };"));
  for (const std::size_t count : {3u, 2u}) {
    SCOPED_TRACE(count);
    auto slot = nativetest::loadedPageSlot(env);
    std::vector<std::shared_ptr<ZUMNativeAppInstallAd>> ads;
    for (std::size_t i = 0; i < count; ++i) {
      ads.push_back(ZUMNativeAppInstallAd::create(appInstallAd(), imageOptions(true)));
      ads.back()->setSlot(slot);
    }
    ads[0]->performClickOnView(nullptr, "headline", Json::object());
    ads[0] = nullptr;
    env.advance(2s);
    for (std::size_t i = 1; i < count; ++i) {
      EXPECT_TRUE(ads[i]->overlayView()->isHidden()) << i;
      EXPECT_FALSE(ads[i]->overlayView()->overlayView()) << i;
    }
  }
}

}  // namespace
