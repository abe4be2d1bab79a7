#include "sdk/presentation/ZUMMRAIDTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "ZUMSlotDelegate.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "sdk/network/ZUMAutoClickProtection.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/presentation/ZUMExpandedAdAppViewController.h"
#include "sdk/presentation/ZUMMRAIDPageTestSupport.h"
#include "sdk/presentation/ZUMMRAIDResizeOverlayPresenter.h"
#include "sdk/presentation/ZUMSupplementalAdAppViewController.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMOpener.h"

namespace {

using platform::Rect;

class ZUMMRAIDTOLMHandlerTest : public presentation_testing::MRAIDPageTest {
 protected:
  std::shared_ptr<ZUMExpandedAdAppViewController> onTop() const {
    return testenv::AppControls::topmost<ZUMExpandedAdAppViewController>();
  }
  // The resized controller is in the window, not presented: found through the ad view.
  std::shared_ptr<ZUMExpandedAdAppViewController> resized() const {
    return std::dynamic_pointer_cast<ZUMExpandedAdAppViewController>(adView->viewController());
  }
  Rect adOnScreen() const { return adView->convertRectToView(adView->bounds(), nullptr); }
  void resize(const std::string& properties) { run("mraid.setResizeProperties(" + properties + "); mraid.resize();"); }
};

constexpr const char* kResize300 =
    "{width: 300, height: 250, offsetX: 0, offsetY: 0, customClosePosition: 'top-left', allowOffscreen: false}";
constexpr const char* kResize200 =
    "{width: 200, height: 150, offsetX: 10, offsetY: -20, customClosePosition: 'bottom-right', allowOffscreen: true}";

TEST_F(ZUMMRAIDTOLMHandlerTest, ResizeTwiceThenCloseTellsThePageEachStateInOrder) {
  resize(kResize300);
  // The session hides the banner from MRAID visibility; the overlay shows it again.
  EXPECT_EQ(heard(), "onScreenInfoChanged|visible:0|visible:1|state:resized|size:300x250");
  EXPECT_EQ(state(*adView), "resized");
  ASSERT_NE(resized(), nullptr);
  EXPECT_EQ(adOnScreen(), (Rect{0, 100, 300, 250}));
  EXPECT_EQ(resized()->closeButton()->frame(), (Rect{0, 0, 50, 50})) << "top-left close area";
  EXPECT_EQ(count("click"), 0);  // the slot delegate is not a click counter here
  EXPECT_EQ(*log, (presentation_testing::Log{"willPresent", "slot.willPresent"}));

  // The second resize updates the overlay at once.
  resize(kResize200);
  EXPECT_EQ(heard(), "state:resized|size:200x150");
  EXPECT_EQ(adOnScreen(), (Rect{10, 80, 200, 150}));
  EXPECT_EQ(resized()->closeButton()->frame(), (Rect{150, 100, 50, 50})) << "bottom-right close area";

  resized()->closeButtonPressed();
  env.advance(1);
  EXPECT_EQ(heard(), "visible:0|visible:0|state:default");
  EXPECT_EQ(adView->superview(), banner) << "the ad view is back in its banner";
  EXPECT_EQ(adOnScreen(), (Rect{0, 100, 320, 50}));
  EXPECT_EQ(count("slot.didDismiss"), 1);
}

TEST_F(ZUMMRAIDTOLMHandlerTest, RefusedResizesTellThePageAndChangeNothing) {
  const struct {
    const char* name;
    std::string properties;
    std::string error;
  } rows[] = {
      {"missing key", "{width: 300, height: 250, offsetX: 0, offsetY: 0, allowOffscreen: false}",
       "error:resize:Received invalid resize properties"},
      {"infinite reads as 0, too high",
       "{width: 1/0, height: 2000, offsetX: 0, offsetY: 0, customClosePosition: '', allowOffscreen: 0}",
       "error:setResizeProperties:Received invalid resize properties {{0, 2000}, {0, 0}, 0, NO}"},
      {"wider than the screen",
       "{width: 400, height: 250, offsetX: 0, offsetY: 0, customClosePosition: 'center', allowOffscreen: false}",
       "error:setResizeProperties:Received invalid resize properties {{400, 250}, {0, 0}, 3, NO}"},
  };
  for (const auto& row : rows) {
    resize(row.properties);
    EXPECT_EQ(heard(), row.error) << row.name;
    EXPECT_EQ(state(*adView), "default") << row.name;
    EXPECT_EQ(adView->superview(), banner) << row.name;
  }
  // Once resized, a refused update keeps the overlay as it is.
  resize(kResize300);
  heard();
  resize("{width: 300, height: 2000, offsetX: 0, offsetY: 0, customClosePosition: 'center', allowOffscreen: false}");
  EXPECT_EQ(heard(), "error:setResizeProperties:Received invalid resize properties {{300, 2000}, {0, 0}, 3, NO}");
  EXPECT_EQ(adOnScreen(), (Rect{0, 100, 300, 250}));
  EXPECT_TRUE(log->empty() || count("slot.willDismiss") == 0);
}

TEST_F(ZUMMRAIDTOLMHandlerTest, ExpandWithCustomCloseThenCloseCollapsesToTheDefaultState) {
  run("mraid.useCustomClose(true); mraid.expand();");
  EXPECT_EQ(heard(), "visible:0|expanding|visible:1|state:expanded");
  auto expanded = onTop();
  ASSERT_NE(expanded, nullptr);
  EXPECT_EQ(adView->viewController(), expanded);
  EXPECT_EQ(expanded->closeButton()->image(platform::Button::Normal)->size(), (platform::Size{10, 10}))
      << "the MRAID ad draws its own close control over an invisible button";
  expanded->closeButtonPressed();
  env.advance(1);
  EXPECT_EQ(heard(), "visible:0|visible:0|collapsed|state:default");
  EXPECT_EQ(adView->superview(), banner);
  EXPECT_EQ(*log, (presentation_testing::Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss",
                                             "slot.didDismiss"}));

  run("mraid.useCustomClose(false); mraid.expand();");
  ASSERT_NE(onTop(), nullptr);
  EXPECT_NE(onTop()->closeButton()->image(platform::Button::Normal)->size(), (platform::Size{10, 10}));
}

TEST_F(ZUMMRAIDTOLMHandlerTest, ExpandWhileResizedKeepsTheResizeOverlayFromReportingDefault) {
  resize(kResize300);
  auto overlay = resized();
  auto presenter = std::dynamic_pointer_cast<ZUMMRAIDResizeOverlayPresenter>(overlay->presenter());
  heard();
  run("mraid.expand();");
  EXPECT_EQ(heard(), "expanding|visible:1|state:expanded");
  EXPECT_FALSE(presenter->dismissToDefaultState());
  onTop()->closeButtonPressed();
  env.advance(1);
  EXPECT_EQ(heard(), "visible:0|collapsed|state:default");
  overlay->closeButtonPressed();
  env.advance(1);
  EXPECT_EQ(heard(), "visible:0|visible:0") << "the resize overlay no longer reports the default state";
}

TEST_F(ZUMMRAIDTOLMHandlerTest, WithoutATouchExpandAndResizeAreRefusedWithTheirErrors) {
  auto protection = ZUMAutoClickProtection::create(true);
  adView->opener()->setAutoClickProtection(protection);
  adView->setTouched(false);
  run("mraid.expand(); mraid.expand('https://ads.example.com/second.html');");
  adView->opener()->openWebAppWithHTML("<p>x</p>", std::nullopt, platform::kInterfaceOrientationMaskAll, false);
  resize(kResize300);
  run("mraid.storePicture('https://ads.example.com/p.png'); mraid.createCalendarEvent({description: 'x'});");
  EXPECT_EQ(heard(),
            "error:expand:Expanding an ad is not allowed until the user interacts with the ad."
            "|error:expand:Expanding an ad is not allowed until the user interacts with the ad."
            "|error:expand:Expanding an ad is not allowed until the user interacts with the ad."
            "|error:resize:Resizing an ad is not allowed until the user interacts with the ad."
            "|error:storePicture:Saving pictures is not permitted in this application."
            "|error:createCalendarEvent:Creating calendar events is not supported.");
  EXPECT_EQ(adView->superview(), banner);
  EXPECT_TRUE(log->empty());
}

struct ClickCounter : ZUMSlotDelegate {
  ZUMImplemented slotDidReceiveAdClick(ZUMSlot&) override { return ++clicks, kZUMImplemented; }
  int clicks = 0;
};

TEST_F(ZUMMRAIDTOLMHandlerTest, AWebAppOpensOverTheAdAndOverAResizedAdKeepsItFromReportingDefault) {
  auto counter = std::make_shared<ClickCounter>();
  slot->setSlotDelegate(counter);
  resize(kResize300);
  auto presenter = std::dynamic_pointer_cast<ZUMMRAIDResizeOverlayPresenter>(resized()->presenter());
  heard();
  run("mraid.useCustomClose(true); mraid.expand('https://ads.example.com/second.html');");
  auto webApp = testenv::AppControls::topmost<ZUMSupplementalAdAppViewController>();
  ASSERT_NE(webApp, nullptr);
  EXPECT_EQ(webApp->slot(), slot);
  EXPECT_TRUE(webApp->useCustomClose());
  EXPECT_EQ(webApp->supportedInterfaceOrientations(), platform::kInterfaceOrientationMaskAll);
  EXPECT_FALSE(presenter->dismissToDefaultState());
  EXPECT_EQ(counter->clicks, 2);  // the resize and the web app
  webApp->closeButtonPressed();
  env.advance(1);

  // HTML that is no URL's text is shown; its click has no URL.
  closeEverything();
  adView->opener()->openWebAppWithHTML("<p>two words</p>", std::nullopt, platform::kInterfaceOrientationMaskPortrait,
                                       false);
  env.advance(1);
  webApp = testenv::AppControls::topmost<ZUMSupplementalAdAppViewController>();
  ASSERT_NE(webApp, nullptr);
  EXPECT_EQ(webApp->supportedInterfaceOrientations(), platform::kInterfaceOrientationMaskPortrait);
  EXPECT_EQ(counter->clicks, 3);
}

// --- Orientation properties -------------------------------------------------------------------

TEST_F(ZUMMRAIDTOLMHandlerTest, OrientationPropertiesReachTheFullScreenAdController) {
  auto controller = ZUMAdAppViewController::create();
  auto opener = ZUMOpener::create();
  opener->setSlot(slot);
  opener->setViewController(controller);
  auto handler = ZUMMRAIDTOLMHandler::create(opener);
  auto send = [&](const std::string& query) {
    auto notification =
        ZUMNotification::createWithNotificationURL(*platform::URL::fromString("tolm://x/mraid?" + query));
    EXPECT_TRUE(handler->handleNotification(notification, adView)) << query;
    env.runUntilIdle();
  };
  const struct {
    const char* query;
    platform::InterfaceOrientationMask before;
    platform::InterfaceOrientation statusBar;
    platform::InterfaceOrientationMask after;
    double duration;
  } rows[] = {
      {"allowOrientationChange=true&forceOrientation=portrait", 0, 1, 30, 0},
      {"allowOrientationChange=false&forceOrientation=portrait&animationDuration=0.5", 0, 1, 6, 0.5},
      {"allowOrientationChange=false&forceOrientation=landscape", 0, 1, 24, 0},
      {"allowOrientationChange=0&forceOrientation=any", 0, 1, 30, 0},
      {"allowOrientationChange=false&forceOrientation=sideways", 6, 1, 0, 0},
      {"allowOrientationChange=false&forceOrientation=none", 24, 1, 24, 0},
      {"allowOrientationChange=false&forceOrientation=none", 8, 2, 8, 0},
      {"allowOrientationChange=false&forceOrientation=none", 30, 1, 2, 0},
      {"allowOrientationChange=false&forceOrientation=none", 30, 2, 4, 0},
      {"allowOrientationChange=false&forceOrientation=none", 30, 3, 8, 0},
      {"allowOrientationChange=false&forceOrientation=none", 30, 4, 16, 0},
      {"allowOrientationChange=false&forceOrientation=none", 0, 4, 16, 0},
      {"allowOrientationChange=false&forceOrientation=any&animationDuration=nan", 0, 1, 30, 0},
      {"allowOrientationChange=false&forceOrientation=any&animationDuration=-1", 0, 1, 30, 0},
      {"allowOrientationChange=false&forceOrientation=any&animationDuration=1e9", 0, 1, 30, 0},
  };
  for (const auto& row : rows) {
    controller->setAdOrientations(row.before);
    controller->setAdOrientationsOverridesLockedOrientation(false);
    controller->setOrientationUpdateAnimationDuration(7);
    testenv::AppControls::reportStatusBarOrientation(row.statusBar);
    send(std::string("a=setOrientationProperties&") + row.query);
    EXPECT_EQ(controller->adOrientations(), row.after) << row.query << " " << row.before;
    EXPECT_TRUE(controller->adOrientationsOverridesLockedOrientation()) << row.query;
    EXPECT_FLOAT_EQ(controller->orientationUpdateAnimationDuration(), row.duration) << row.query;
  }
  EXPECT_EQ(heard(), "");

  // A missing key: the page hears it and nothing changes.
  controller->setAdOrientations(6);
  controller->setAdOrientationsOverridesLockedOrientation(false);
  send("a=setOrientationProperties&allowOrientationChange=false");
  send("a=setOrientationProperties&forceOrientation=any");
  send("a=unknown&forceOrientation=any");
  env.advance(1);
  EXPECT_EQ(controller->adOrientations(), 6u);
  EXPECT_FALSE(controller->adOrientationsOverridesLockedOrientation());
  EXPECT_EQ(heard(),
            "error:setOrientationProperties:Received invalid orientation properties"
            "|error:setOrientationProperties:Received invalid orientation properties");

  // Not a full-screen ad controller (a banner's host): dropped without a word.
  opener->setViewController(host);
  send("a=setOrientationProperties&allowOrientationChange=false");
  env.advance(1);
  EXPECT_EQ(heard(), "");
}

TEST_F(ZUMMRAIDTOLMHandlerTest, AnExpandedPageSetsItsOwnOrientations) {
  run("mraid.expand();");
  heard();
  run("mraid.setOrientationProperties({allowOrientationChange: false, forceOrientation: 'landscape'});");
  ASSERT_NE(onTop(), nullptr);
  EXPECT_EQ(onTop()->adOrientations(), platform::kInterfaceOrientationMaskLandscape);
  EXPECT_TRUE(onTop()->adOrientationsOverridesLockedOrientation());
}

TEST_F(ZUMMRAIDTOLMHandlerTest, OnlyTheSlotsOwnPageTellsTheSlotItsMRAIDScriptLoaded) {
  auto fresh = ZUMSlot::create({0, 0, 320, 50});
  auto ad = ZUMAd::create();
  fresh->setAd(ad);
  auto opener = ZUMOpener::create();
  opener->setSlot(fresh);
  auto handler = ZUMMRAIDTOLMHandler::create(opener);
  auto loaded = ZUMNotification::createWithNotificationURL(*platform::URL::fromString("tolm://x/mraidLoaded"));
  EXPECT_TRUE(handler->handleNotification(loaded, adView));  // another slot's page
  EXPECT_EQ(ad->MRAIDEventHandler(), nullptr);
  EXPECT_TRUE(handler->handleNotification(loaded, std::dynamic_pointer_cast<ZUMAdView>(fresh->adView())));
  EXPECT_NE(ad->MRAIDEventHandler(), nullptr);
}

}  // namespace
