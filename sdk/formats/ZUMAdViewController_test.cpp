#include "ZUMAdViewController.h"

#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include "PXRBannerView.h"
#include "PXRRequest.h"
#include "ZUMBannerView.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/Coder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/TouchControls.h"

namespace {

using namespace std::chrono_literals;
using platform::Rect;
using State = ZUMSlot::State;

// A controller that reads the layout just before it turns the banner's size after a
// rotation.
struct RotationProbe : ZUMAdViewController {
  void didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) override {
    view()->layoutIfNeeded();
    beforeResize = {bannerView()->frame(), originalContentView()->frame(), bannerView()->adSize().flags};
    ZUMAdViewController::didRotateFromInterfaceOrientation(from);
  }
  struct Seen {
    Rect banner;
    Rect content;
    std::uint64_t flags = 0;
  } beforeResize;
};

class ZUMAdViewControllerTest : public formatstest::FormatsTest {
 protected:
  // A controller around the host's view as the window's root, with `unit` set.
  void install(const std::shared_ptr<ZUMAdViewController>& c, const std::string& unit = "unit-A",
               const std::function<void(ZUMAdViewController&)>& configure = {}) {
    controller = c;
    controller->setView(content);
    if (configure) configure(*controller);
    controller->setAdViewAdUnitID(unit);
    window->setRootViewController(controller);
    env.runUntilIdle();
  }
  // Waits for the banner's next ad, then lets the 0.5 s move end.
  void awaitAd() {
    ASSERT_TRUE(env.runUntil([&] { return controller->bannerView()->slot()->state() == State::kValidAd; }));
    env.runUntilIdle();
    env.advance(0.5s);
  }
  Rect screen() const { return platform::Screen::main().bounds(); }
  // The banner is on its 0.5 s way between the two places.
  void expectMoving(double fromY, double toY) {
    const double y = controller->bannerView()->frame().minY();
    EXPECT_GT(y, std::min(fromY, toY));
    EXPECT_LT(y, std::max(fromY, toY));
  }
  void swipeBanner() {
    const Rect frame = controller->bannerView()->frame();
    const double x = frame.midX(), y = frame.midY();
    testenv::TouchControls::swipe(window, platform::Point{x - 60, y}, platform::Point{x + 60, y});
  }

  std::shared_ptr<platform::View> content = platform::View::create();
  std::shared_ptr<ZUMAdViewController> controller;
};

TEST_F(ZUMAdViewControllerTest, WithoutAnAdUnitThereIsNoBannerAndTheHostViewFillsTheScreen) {
  install(ZUMAdViewController::create(), "");
  env.advance(1s);
  EXPECT_FALSE(controller->bannerView());
  EXPECT_EQ(content->frame(), Rect(0, 20, screen().width(), screen().height() - 20)) << "below the status bar";
  EXPECT_EQ(hosts.server.requests("/ad").size(), 0u);
}

// Each row: where the banner docks, where it waits before its first ad, and where the
// banner and the content stand once it came.
TEST_F(ZUMAdViewControllerTest, TheBannerWaitsOutOfSightThenTheContentEndsItsHeightShortOfTheEdge) {
  const double w = screen().width(), h = screen().height();
  const ZUMAdSize narrow{{200, 50}, kZUMAdSizeFlagCustom};
  const struct {
    const char* name;
    std::int64_t vertical, horizontal;
    ZUMAdSize size;
    Rect waiting, banner, content;
    const char* logged;
  } rows[] = {
      {"bottom smart",
       0,
       1,
       kZUMAdSizeSmartBannerPortrait,
       {0, h, w, 50},
       {0, h - 50, w, 50},
       {0, 20, w, h - 70},
       nullptr},
      {"top smart", 1, 1, kZUMAdSizeSmartBannerPortrait, {0, -50, w, 50}, {0, 20, w, 50}, {0, 70, w, h - 70}, nullptr},
      {"bottom leading", 0, 0, narrow, {0, h, 200, 50}, {0, h - 50, 200, 50}, {0, 20, w, h - 70}, nullptr},
      {"top trailing", 1, 2, narrow, {w - 200, -50, 200, 50}, {w - 200, 20, 200, 50}, {0, 70, w, h - 70}, nullptr},
      {"bottom centre",
       0,
       1,
       narrow,
       {(w - 200) / 2, h, 200, 50},
       {(w - 200) / 2, h - 50, 200, 50},
       {0, 20, w, h - 70},
       nullptr},
      {"unknown vertical",
       7,
       0,
       narrow,
       {0, h, 200, 50},
       {0, h - 50, 200, 50},
       {0, 20, w, h - 70},
       "adViewPositionVertical 7 is neither bottom (0) nor top (1)"},
      {"unknown horizontal",
       1,
       -1,
       narrow,
       {(w - 200) / 2, -50, 200, 50},
       {(w - 200) / 2, 20, 200, 50},
       {0, 70, w, h - 70},
       "adViewPositionHorizontal -1 is not leading (0), centre (1) or trailing (2)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    platform::SystemLog::Capture capture(true);
    content = platform::View::create();
    install(ZUMAdViewController::create(), "unit-A", [&](ZUMAdViewController& c) {
      c.setAdSize(row.size);
      c.setAdViewPositionVertical(row.vertical);
      c.setAdViewPositionHorizontal(row.horizontal);
    });
    ASSERT_TRUE(controller->bannerView());
    controller->view()->layoutIfNeeded();
    EXPECT_EQ(controller->bannerView()->frame(), row.waiting);
    EXPECT_EQ(content->frame(), Rect(0, 20, w, h - 20));
    awaitAd();
    EXPECT_EQ(controller->bannerView()->frame(), row.banner);
    EXPECT_EQ(content->frame(), row.content);
    env.runUntilIdle();
    EXPECT_EQ(capture.contains(row.logged ? row.logged : "is neither bottom"), row.logged != nullptr);
  }
}

TEST_F(ZUMAdViewControllerTest, ASwipeHidesTheBannerAndReloadsAtFiveSecondsAndASecondSwipeInThePauseDoesNothing) {
  install(ZUMAdViewController::create(), "unit-A", [](ZUMAdViewController& c) { c.setAllowsHidingAds(true); });
  awaitAd();
  const auto slot = controller->bannerView()->slot();
  const double h = screen().height();
  const auto adRequestsBefore = hosts.server.requests("/ad").size();
  const double swiped = env.now();
  // To `seconds` after the swipe, whatever the rounding of the steps before.
  const auto advanceTo = [&](double seconds) { env.advance(swiped + seconds - env.now()); };
  swipeBanner();
  advanceTo(0.2);
  expectMoving(h - 50, h);
  swipeBanner();  // inside the pause, while the banner is still in sight
  advanceTo(0.5);
  EXPECT_EQ(controller->bannerView()->frame().minY(), h) << "moved out";
  EXPECT_EQ(content->frame().maxY(), h);
  advanceTo(4.9);
  EXPECT_EQ(slot->state(), State::kValidAd) << "no reload at 4.9 s";
  advanceTo(5);
  // The reload may even end within the step: its request to the server shows it came.
  EXPECT_TRUE(env.runUntil([&] { return hosts.server.requests("/ad").size() > adRequestsBefore; }))
      << "the reload at 5 s";
  awaitAd();
  EXPECT_EQ(controller->bannerView()->frame().maxY(), h) << "back with the ad";
  EXPECT_EQ(content->frame().maxY(), h - 50);
  const auto adRequests = hosts.server.requests("/ad").size();
  env.advance(5s);
  EXPECT_EQ(slot->state(), State::kValidAd) << "the second swipe started no pause of its own";
  EXPECT_EQ(hosts.server.requests("/ad").size(), adRequests);

  controller->setAllowsHidingAds(false);
  swipeBanner();
  env.advance(0.5s);
  EXPECT_EQ(content->frame().maxY(), h - 50) << "no recognizer, no hiding";
}

TEST_F(ZUMAdViewControllerTest, HidingPutsTheBannerAwayAndShowingReloadsIt) {
  install(ZUMAdViewController::create());
  awaitAd();
  auto banner = controller->bannerView();
  controller->setAdViewHidden(true);
  env.advance(0.5s);
  EXPECT_TRUE(banner->isHidden());
  EXPECT_EQ(content->frame().maxY(), screen().height());
  controller->setAdViewPositionVertical(ZUMAdViewController::kPositionTop);
  controller->view()->layoutIfNeeded();
  EXPECT_EQ(content->frame(), Rect(0, 20, screen().width(), screen().height() - 20)) << "hidden wherever it docks";
  controller->setAdViewPositionVertical(ZUMAdViewController::kPositionBottom);
  controller->view()->layoutIfNeeded();
  EXPECT_EQ(banner->slot()->state(), State::kValidAd);

  controller->setAdViewHidden(false);
  EXPECT_FALSE(banner->isHidden());
  EXPECT_EQ(banner->slot()->state(), State::kBuildingAdURL);
  ASSERT_TRUE(env.runUntil([&] { return banner->slot()->state() == State::kValidAd; }));
  env.runUntilIdle();
  env.advance(0.25s);
  expectMoving(screen().height(), screen().height() - 50);
  env.advance(0.25s);
  EXPECT_EQ(content->frame().maxY(), screen().height() - 50);
  EXPECT_EQ(banner->frame().maxY(), screen().height());
}

TEST_F(ZUMAdViewControllerTest, APublisherRequestReplacesAPlainBannerButNotTheOtherWayRound) {
  install(ZUMAdViewController::create());
  const auto plain = controller->bannerView();
  controller->setRequest(ZUMRequest::create());
  EXPECT_EQ(controller->bannerView(), plain);
  EXPECT_FALSE(std::dynamic_pointer_cast<PXRBannerView>(plain));

  controller->setRequest(PXRRequest::create());
  const auto publisher = std::dynamic_pointer_cast<PXRBannerView>(controller->bannerView());
  ASSERT_TRUE(publisher);
  EXPECT_FALSE(plain->superview()) << "the plain banner left";
  EXPECT_EQ(publisher->superview(), controller->view());
  EXPECT_EQ(publisher->rootViewController(), controller);
  EXPECT_EQ(publisher->slot()->state(), State::kBuildingAdURL) << "loads the publisher request at once";

  controller->setRequest(ZUMRequest::create());
  EXPECT_EQ(controller->bannerView(), publisher);
  awaitAd();
  EXPECT_EQ(publisher->frame().maxY(), screen().height());
}

TEST_F(ZUMAdViewControllerTest, TurningToLandscapeHidesTheBannerFirstThenGivesItTheLandscapeSmartSize) {
  auto probe = std::shared_ptr<RotationProbe>(new RotationProbe());
  install(probe);
  awaitAd();
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  const double w = screen().width(), h = screen().height();
  ASSERT_GT(w, h);
  EXPECT_EQ(probe->beforeResize.flags, 0x12u) << "still the portrait size";
  EXPECT_EQ(probe->beforeResize.banner.minY(), h) << "moved out before the rotation ended";
  EXPECT_EQ(probe->beforeResize.content.maxY(), h);
  EXPECT_EQ(probe->bannerView()->adSize().flags, 0x1Au);
  awaitAd();
  const double height = probe->bannerView()->frame().height();
  EXPECT_LT(height, 50) << "the landscape smart height";
  EXPECT_EQ(probe->bannerView()->frame(), Rect(0, h - height, w, height));
  EXPECT_EQ(content->frame().maxY(), h - height);
}

TEST_F(ZUMAdViewControllerTest, MovingAShownBannerFreesTheOldEdgeAndTheOldSide) {
  const double w = screen().width(), h = screen().height();
  install(ZUMAdViewController::create(), "unit-A", [](ZUMAdViewController& c) {
    c.setAdSize({{200, 50}, kZUMAdSizeFlagCustom});
    c.setAdViewPositionVertical(ZUMAdViewController::kPositionTop);
  });
  awaitAd();
  ASSERT_EQ(content->frame(), Rect(0, 70, w, h - 70));
  controller->setAdViewPositionVertical(ZUMAdViewController::kPositionBottom);
  controller->setAdViewPositionHorizontal(ZUMAdViewController::kPositionTrailing);
  controller->view()->layoutIfNeeded();
  EXPECT_EQ(controller->bannerView()->frame(), Rect(w - 200, h - 50, 200, 50));
  EXPECT_EQ(content->frame(), Rect(0, 20, w, h - 70));
}

TEST_F(ZUMAdViewControllerTest, AHostViewSetAfterTheAdGoesBehindTheBannerAndLeavesItsRoom) {
  install(ZUMAdViewController::create());
  awaitAd();
  auto later = platform::View::create();
  later->setBackgroundColor(platform::Color::rgb(0.2, 0.4, 0.6));
  controller->setView(later);
  EXPECT_FALSE(content->superview()) << "the old host view left";
  ASSERT_EQ(controller->view()->subviews().size(), 2u);
  EXPECT_EQ(controller->view()->subviews().front(), later);
  EXPECT_EQ(controller->view()->backgroundColor(), later->backgroundColor());
  controller->view()->layoutIfNeeded();
  EXPECT_EQ(later->frame(), Rect(0, 20, screen().width(), screen().height() - 70)) << "the shown banner keeps its room";
}

TEST_F(ZUMAdViewControllerTest, AnArchivedViewIsTheHostsViewAndAPlainControllerHasNone) {
  platform::View::registerClass();
  const auto archived = std::dynamic_pointer_cast<ZUMAdViewController>(
      platform::Coder::create(
          R"({"class": "ZUMAdViewController", "view": {"class": "View", "frame": {"x": 0, "y": 0, "width": 9, "height": 9}}})")
          ->decodeViewController());
  ASSERT_TRUE(archived);
  const auto view = archived->view();
  ASSERT_TRUE(archived->originalContentView());
  EXPECT_NE(archived->originalContentView(), view);
  EXPECT_EQ(archived->originalContentView()->superview(), view);

  const auto plain = ZUMAdViewController::create();
  EXPECT_TRUE(plain->view()->subviews().empty());
  EXPECT_FALSE(plain->originalContentView());
}

}  // namespace
