#include "sdk/presentation/ZUMAdAppViewController.h"

#include <array>

#include <nlohmann/json.hpp>

#include "ZUMSlotDelegate.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/presentation/ZUMAdAppAdViewDelegate.h"
#include "sdk/presentation/ZUMExpandedAdAppViewController.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMSupplementalAdAppViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using presentation_testing::Log;

struct Owner : ZUMSlotDelegate {
  std::optional<bool> slotShouldChangeAudioSessionCategoryTo(ZUMSlot&, const std::string&) override { return audio; }
  ZUMImplemented slotDidReceiveAdClick(ZUMSlot&) override { return ++clicks, kZUMImplemented; }
  std::optional<bool> audio;
  int clicks = 0;
};

void setDefault(const char* key, const nlohmann::ordered_json& value) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(value, key));
}

class ZUMAdAppViewControllerTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    slot->setAd(ZUMAd::create());
    slot->setSlotDelegate(owner);
  }
  template <class Controller = ZUMAdAppViewController>
  std::shared_ptr<Controller> make(bool mraid, std::shared_ptr<ZUMAdView> adView = nullptr) {
    if (mraid) slot->ad()->setMRAIDEventHandler(page);
    auto controller = Controller::create(std::move(adView));
    controller->setSlot(slot);
    return controller;
  }
  void TearDown() override {
    // Nothing stays on screen (self-retained, in a session) for the next test.
    for (const auto& weak : shown) {
      if (auto controller = weak.lock(); controller && controller->intermission()) hide(controller);
    }
    PresentationTest::TearDown();
  }
  void show(const std::shared_ptr<ZUMAdAppViewController>& controller) {
    controller->presentFromViewController(host, nullptr);
    env.advance(1);
    shown.push_back(controller);
  }
  void hide(const std::shared_ptr<ZUMAdAppViewController>& controller) {
    controller->relinquishScreenWithCompletion(nullptr);
    env.advance(1);
  }
  std::vector<std::weak_ptr<ZUMAdAppViewController>> shown;
  std::shared_ptr<presentation_testing::MRAIDPage> page = std::make_shared<presentation_testing::MRAIDPage>(log);
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
};

const std::string kBlockedError =
    "useCustomClose: Custom close has been disabled for interstitial ads in this ad slot.";

TEST_F(ZUMAdAppViewControllerTest, CloseButtonMatrix) {
  struct Row {
    bool custom, mraid, blockingOn, adBlocked;
    double shownSide;  // 0: removed; 25: standard image; 10: the blank one
    bool error;
  };
  for (const Row& row : {Row{false, false, false, false, 25, false}, Row{true, false, false, false, 0, false},
                         Row{true, true, false, false, 10, false}, Row{true, true, true, true, 25, true},
                         Row{true, false, true, true, 25, false}, Row{true, true, true, false, 10, false},
                         Row{true, true, false, true, 10, false}, Row{false, true, true, true, 25, false}}) {
    SCOPED_TRACE(::testing::Message() << row.custom << row.mraid << row.blockingOn << row.adBlocked);
    slot->setAd(ZUMAd::create());
    slot->ad()->setCustomCloseBlocked(row.adBlocked);
    setDefault("/vantor/ads/zums:custom_close_blocking:enabled", row.blockingOn ? "true" : "false");
    auto controller = make(row.mraid);
    show(controller);
    log->clear();
    controller->setUseCustomClose(row.custom);  // as the page asks once loaded
    const auto& button = controller->closeButton();
    EXPECT_EQ(button->superview() == controller->view(), row.shownSide != 0);
    if (row.shownSide != 0) {
      EXPECT_EQ(button->image(platform::Button::Normal)->size().width, row.shownSide);
      EXPECT_EQ(controller->view()->subviews().back(), button);
    }
    EXPECT_EQ(*log, row.error ? Log{kBlockedError} : Log{});
    const platform::Rect frame = row.mraid ? platform::Rect{325, 0, 50, 50} : platform::Rect{0, 0, 32, 32};
    EXPECT_EQ(button->frame(), frame);
    hide(controller);
  }
}

TEST_F(ZUMAdAppViewControllerTest, CloseButtonPaddingScaleAndPosition) {
  setDefault("/vantor/ads/zum:interstitial:close_button_padding_dip", "8");
  setDefault("/vantor/ads/zums:close_button:scale", 2.0);
  auto controller = make(false);
  controller->load(platform::URL::fromString("https://example.com/kept"));
  EXPECT_FALSE(controller->adView()->isLoading()) << "kept until the view is configured";
  show(controller);
  EXPECT_EQ(controller->closeButton()->frame(), (platform::Rect{0, 0, 40, 40}));
  EXPECT_EQ(controller->closeButton()->image(platform::Button::Normal)->size(), (platform::Size{50, 50}));
  EXPECT_EQ(controller->closeButton()->accessibilityLabel(), "Close Advertisement");
  EXPECT_TRUE(controller->closeButton()->showsTouchWhenHighlighted());
  controller->setCustomClosePosition(6);  // not an MRAID ad: stays
  EXPECT_EQ(controller->closeButton()->frame(), (platform::Rect{0, 0, 40, 40}));
  slot->ad()->setMRAIDEventHandler(page);
  controller->setCustomClosePosition(6);
  EXPECT_EQ(controller->closeButton()->frame(), (platform::Rect{0, 617, 50, 50}));
  EXPECT_EQ(controller->closeButton()->autoresizingMask(), 12u);
  controller->view()->addSubview(platform::View::create());  // the blank button stays on top
  controller->setUseCustomClose(true);
  EXPECT_EQ(controller->view()->subviews().back(), controller->closeButton());

  controller->closeButton()->sendActionsForControlEvents(platform::Button::TouchUpInside);
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST_F(ZUMAdAppViewControllerTest, AdOrientationsBeforeTheFirstAppearanceFollowTheApplication) {
  const char* kNames[] = {"", "UIInterfaceOrientationPortrait", "UIInterfaceOrientationPortraitUpsideDown",
                          "UIInterfaceOrientationLandscapeRight", "UIInterfaceOrientationLandscapeLeft"};
  // The application's mask, the ad's, the controller's.
  for (const auto& [application, ad, supported] : std::vector<std::array<unsigned, 3>>{
           {24, 6, 30}, {26, 2, 2}, {2, 24, 30}, {16, 8, 24}, {4, 2, 6}, {26, 0, 30}}) {
    SCOPED_TRACE(application);
    auto names = nlohmann::ordered_json::array();
    for (int o = 1; o <= 4; ++o) {
      if (application & (1u << o)) names.push_back(kNames[o]);
    }
    EXPECT_TRUE(platform::Bundle::main().setInfoDictionary({{"UISupportedInterfaceOrientations", names}}));
    ZUMApplication::sharedInstance();
    testenv::AppControls::resignActive();
    testenv::AppControls::becomeActive();
    env.runUntilIdle();
    auto controller = make(false);
    controller->setAdOrientations(ad);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), supported);
  }
  setDefault("/vantor/ads/application_supports_split_screen", true);
  auto controller = make(false);
  controller->setAdOrientations(2);
  EXPECT_EQ(controller->adOrientations(), 0u);
}

// After the first appearance the presenter re-orients: portrait only in landscape left
// turns the view and forces the page into portrait.
TEST_F(ZUMAdAppViewControllerTest, AdOrientationsAfterTheFirstAppearanceReorient) {
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  auto controller = make(true);
  show(controller);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "hidden", "visible"}));
  log->clear();
  controller->didRotateFromInterfaceOrientation(platform::kInterfaceOrientationPortrait);
  EXPECT_EQ(controller->adView()->orientation(), platform::kInterfaceOrientationLandscapeLeft);
  controller->setAdOrientations(6);
  EXPECT_EQ(controller->forcedAdOrientation(), 1);
  EXPECT_EQ(controller->adView()->orientation(), 1);
  EXPECT_EQ(controller->supportedInterfaceOrientations(), 16u);
  EXPECT_EQ(*log, (Log{"orientation", "orientation"}));
  log->clear();
  hide(controller);
  EXPECT_EQ(*log, (Log{"slot.willDismiss", "hidden", "didDismiss", "slot.didDismiss", "hidden"}));
}

TEST_F(ZUMAdAppViewControllerTest, ExpandedControllerLeavesASnapshotAndGivesTheAdViewBack) {
  auto banner = platform::View::create({0, 100, 375, 100});
  window->addSubview(banner);
  auto adView = ZUMAdView::create({10, 20, 320, 50});
  banner->addSubview(adView);
  auto bannerDelegate = ZUMAdAppAdViewDelegate::create(nullptr);
  adView->setDelegate(bannerDelegate);
  EXPECT_EQ(ZUMExpandedAdAppViewController::create(nullptr), nullptr);

  std::weak_ptr<ZUMExpandedAdAppViewController> weak;
  {
    auto controller = make<ZUMExpandedAdAppViewController>(false, adView);
    weak = controller;
    show(controller);
    ASSERT_EQ(banner->subviews().size(), 1u);
    auto snapshot = std::dynamic_pointer_cast<platform::ImageView>(banner->subviews()[0]);
    ASSERT_TRUE(snapshot && snapshot->image());
    EXPECT_EQ(snapshot->frame(), (platform::Rect{10, 20, 320, 50}));
    EXPECT_EQ(adView->superview(), controller->view());
    EXPECT_EQ(adView->frame(), controller->view()->bounds());
    EXPECT_FALSE(adView->isOpaque());
    EXPECT_EQ(adView->viewController(), controller);
    EXPECT_TRUE(controller->isLoaded());
    hide(controller);
    EXPECT_EQ(adView->superview(), banner);
    EXPECT_EQ(adView->frame(), (platform::Rect{10, 20, 320, 50}));
    EXPECT_EQ(adView->delegate(), bannerDelegate);
  }
  env.advance(1);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(banner->subviews(), (std::vector<std::shared_ptr<platform::View>>{adView})) << "snapshot gone with it";
}

// The full-screen handlers follow the base's: ad-app, then app events for an
// interstitial's slot only.
TEST_F(ZUMAdAppViewControllerTest, TheDelegateAppendsTheFullScreenHandlersAfterTheBase) {
  ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::Default,
                              [](ZUMAdViewDelegate&) { return ZUMTOLMHandler::create(); });
  const auto base = ZUMAdViewDelegate::create()->TOLMHandlers().size();
  ASSERT_EQ(base, 1u);
  const auto adApp = ZUMTOLMHandler::create(), appEvent = ZUMTOLMHandler::create();
  ZUMRegisterAdAppTOLMHandlerMaker(ZUMAdAppTOLMHandlerPlace::AppEvent,
                                   [&](ZUMAdAppAdViewDelegate&) { return appEvent; });
  ZUMRegisterAdAppTOLMHandlerMaker(ZUMAdAppTOLMHandlerPlace::AdApp, [&](ZUMAdAppAdViewDelegate& delegate) {
    EXPECT_EQ(delegate.TOLMHandlers().size(), base) << "after the base's";
    return adApp;
  });
  const struct {
    std::shared_ptr<ZUMAdType> adType;
    std::vector<std::shared_ptr<ZUMTOLMHandler>> appended;
  } rows[] = {
      {ZUMAdType::createForInterstitial(), {adApp, appEvent}},
      {ZUMAdType::create({{320, 50}, 0}), {adApp}},
      {nullptr, {adApp}},
  };
  for (const auto& row : rows) {
    slot->setAdType(row.adType, false);
    const auto handlers = ZUMAdAppAdViewDelegate::create(make(false))->TOLMHandlers();
    ASSERT_EQ(handlers.size(), base + row.appended.size());
    EXPECT_EQ(std::vector(handlers.begin() + static_cast<std::ptrdiff_t>(base), handlers.end()), row.appended);
  }
}

TEST_F(ZUMAdAppViewControllerTest, RecordOnlyAudioGetsPlayAndRecordWhileUp) {
  struct Row {
    const char* initial;
    std::optional<bool> ownerAllows;
    bool changesFail;
    const char* whileUp;
  };
  using platform::kAudioSessionCategoryPlayAndRecord, platform::kAudioSessionCategoryRecord;
  for (const Row& row :
       {Row{kAudioSessionCategoryRecord, std::nullopt, false, kAudioSessionCategoryPlayAndRecord},
        Row{kAudioSessionCategoryRecord, true, false, kAudioSessionCategoryPlayAndRecord},
        Row{kAudioSessionCategoryRecord, false, false, kAudioSessionCategoryRecord},
        Row{kAudioSessionCategoryRecord, std::nullopt, true, kAudioSessionCategoryRecord},
        Row{platform::kAudioSessionCategoryPlayback, std::nullopt, false, platform::kAudioSessionCategoryPlayback}}) {
    SCOPED_TRACE(row.whileUp);
    auto& audio = platform::AudioSession::shared();
    audio.setCategoryChangesFail(false);
    ASSERT_TRUE(audio.setCategory(row.initial));
    audio.setCategoryChangesFail(row.changesFail);
    owner->audio = row.ownerAllows;
    auto controller = make(false);
    show(controller);
    EXPECT_EQ(audio.category(), row.whileUp);
    audio.setCategoryChangesFail(false);
    hide(controller);
    EXPECT_EQ(audio.category(), row.initial);
  }
}

TEST_F(ZUMAdAppViewControllerTest, LinkClicksPingAndTheLandingPageIsTimed) {
  auto controller = make(false);
  controller->loadHTML("<p>landing</p>", platform::URL::fromString("https://example.com/"));
  show(controller);
  controller->load(std::nullopt);
  controller->load(platform::URL::fromString("https://example.com/next"));
  EXPECT_TRUE(controller->adView()->isLoading());
  env.advance(1);
  auto statistics = slot->ad()->statistics();
  const auto start = statistics->objectForKey("tlanding_page_load_start");
  const auto end = statistics->objectForKey("tlanding_page_load_end");
  ASSERT_TRUE(start && end);
  EXPECT_TRUE(controller->isLoaded());
  env.advance(86400);  // the millisecond clock never goes back, whatever earlier tests did
  controller->adViewDelegate()->adViewDidStartLoad(*controller->adView());  // a second page
  controller->adViewDelegate()->adViewDidFinishLoad(*controller->adView());

  EXPECT_EQ(statistics->objectForKey("tlanding_page_load_start"), start);
  EXPECT_GT(statistics->objectForKey("tlanding_page_load_end")->get<std::uint64_t>(), end->get<std::uint64_t>());

  // Loaded, and a click took the user away: the ad stays up once.
  controller->adViewDelegate()->opener()->setDidOpenAnotherApplication(true);
  EXPECT_FALSE(controller->shouldDismissOnApplicationEnteringForeground());
  EXPECT_TRUE(controller->shouldDismissOnApplicationEnteringForeground());
  controller->adViewDelegate()->opener()->setDidOpenAnotherApplication(true);
  controller->setUseCustomClose(true);
  EXPECT_TRUE(controller->shouldDismissOnApplicationEnteringForeground()) << "an ad with its own close";

  const platform::URLRequest request(*platform::URL::fromString("https://example.com/next"));
  for (const char* disabled : {"", "1"}) {
    if (*disabled) setDefault("/vantor/ads/disable_interstitial_click_ping_on_click_navigation", disabled);
    controller->adViewDelegate()->adViewShouldStartLoadWithRequest(*controller->adView(), request,
                                                                   platform::WebViewNavigationType::LinkClicked);
    controller->adViewDelegate()->adViewShouldStartLoadWithRequest(*controller->adView(), request,
                                                                   platform::WebViewNavigationType::Other);
    env.runUntilIdle();
    EXPECT_EQ(owner->clicks, 1) << "only a link click pings, unless switched off";
  }
}

TEST_F(ZUMAdAppViewControllerTest, SupplementalPageHearsItsStateAndVisibility) {
  auto controller = make<ZUMSupplementalAdAppViewController>(false);
  show(controller);
  // onAdVisibilityChanged, onReadyEventReceived, onStateChanged wait for the page.
  EXPECT_EQ(controller->adView()->queuedSDKEventCount(), 3u);
  hide(controller);
  EXPECT_EQ(controller->adView()->queuedSDKEventCount(), 4u);
  EXPECT_EQ(controller->intermission(), nullptr);
}

}  // namespace
