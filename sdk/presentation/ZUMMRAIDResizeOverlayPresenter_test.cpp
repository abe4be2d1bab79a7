#include "sdk/presentation/ZUMMRAIDResizeOverlayPresenter.h"

#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/ui/Color.h"
#include "platform/ui/View.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMUnclickableView.h"
#include "sdk/presentation/ZUMViewController.h"
#include "testing/TouchControls.h"

namespace {

using platform::Rect;

ZUMMRAIDResizeProperties properties(Rect frame, bool offscreen = false, std::int64_t position = 0) {
  ZUMMRAIDResizeProperties p;
  p.setOffset(frame.origin);
  p.setSize(frame.size);
  p.setAllowOffscreen(offscreen);
  p.setCustomClosePosition(position);
  return p;
}

// A banner-sized reference view at (0, 100) of the host's window; the portrait
// application frame is (0, 20, 375, 647), so (0, -80, 375, 647) in the reference view.
class ZUMMRAIDResizeOverlayPresenterTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    host->view()->addSubview(banner);
    controller->setSlot(slot);
    presenter->setMRAIDEventHandler(page);
    controller->setPresenter(presenter);
  }
  void TearDown() override {
    // A controller left up keeps itself.
    if (controller->view()->window()) controller->relinquishScreenWithCompletion(nullptr);
    env.advance(1);
    PresentationTest::TearDown();
  }
  void show(const ZUMMRAIDResizeProperties& p) {
    ASSERT_TRUE(presenter->setResizeProperties(p));
    controller->presentFromViewController(host, mark("shown"));
    env.advance(1);
  }
  Rect onScreen() const { return controller->view()->convertRectToView(controller->view()->bounds(), nullptr); }

  std::shared_ptr<platform::View> banner = platform::View::create({0, 100, 320, 50});
  std::shared_ptr<ZUMMRAIDResizeOverlayPresenter> presenter = ZUMMRAIDResizeOverlayPresenter::create(banner);
  std::shared_ptr<ZUMViewController> controller = ZUMViewController::create();
  std::shared_ptr<presentation_testing::MRAIDPage> page = std::make_shared<presentation_testing::MRAIDPage>(log);
};

TEST_F(ZUMMRAIDResizeOverlayPresenterTest, ValidationAtTheEdgesOfTheApplicationFrame) {
  const struct {
    const char* name;
    ZUMMRAIDResizeProperties p;
    bool valid;
  } rows[] = {
      {"exactly fitting", properties({0, -80, 375, 647}), true},
      {"one point too wide", properties({0, -80, 376, 647}), false},
      {"one point too tall", properties({0, -80, 375, 648}), false},
      {"off to the left, shifted in", properties({-10, 0, 300, 250}), true},
      {"off the top and the right, shifted in", properties({200, -100, 300, 250}), true},
      {"off screen allowed, close area inside", properties({-100, 0, 300, 250}, true, 0), true},
      {"off screen allowed, close area outside: no shift", properties({-100, 0, 300, 250}, true, 2), false},
      {"off screen allowed, close area one point outside", properties({-351, 0, 400, 250}, true, 0), false},
      {"off screen allowed, wholly outside", properties({0, 600, 300, 250}, true, 0), false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMMRAIDResizeOverlayPresenter::resizePropertiesAreValid(row.p, banner.get()), row.valid) << row.name;
  }
  EXPECT_EQ(ZUMMRAIDResizeOverlayPresenter::adjustedContentFrame({-10, -20, 50, 60}, {0, 0, 100, 100}),
            (Rect{0, 0, 50, 60}));
  EXPECT_EQ(ZUMMRAIDResizeOverlayPresenter::adjustedContentFrame({70, 90, 50, 60}, {0, 0, 100, 100}),
            (Rect{50, 40, 50, 60}));
  EXPECT_EQ(ZUMMRAIDResizeOverlayPresenter::adjustedContentFrame({-10, 0, 200, 60}, {0, 0, 100, 100}),
            (Rect{0, 0, 200, 60}));  // too wide: the left edge wins, the size stays
}

TEST_F(ZUMMRAIDResizeOverlayPresenterTest, InvalidPropertiesAreReportedAndTheValidOnesKept) {
  EXPECT_FALSE(presenter->isReadyToPresent());
  controller->presentFromViewController(host, mark("shown"));
  env.advance(1);
  EXPECT_EQ(*log, presentation_testing::Log{}) << "without properties nothing is shown";

  ASSERT_TRUE(presenter->setResizeProperties(properties({0, 0, 300, 250})));
  EXPECT_FALSE(presenter->setResizeProperties(properties({0, 0, 400, 250})));
  EXPECT_FALSE(presenter->setResizeProperties(std::nullopt));
  EXPECT_EQ(presenter->resizeProperties()->frame(), (Rect{0, 0, 300, 250}));
  EXPECT_EQ(*log, (presentation_testing::Log{
                      "setResizeProperties: Received invalid resize properties {{400, 250}, {0, 0}, 0, NO}",
                      "setResizeProperties: Received invalid resize properties (null)"}));

  // Kept properties that a rotation made invalid: not ready, and the page hears why.
  log->clear();
  ASSERT_TRUE(presenter->setResizeProperties(properties({0, 0, 300, 500})));
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  env.advance(1);
  controller->presentFromViewController(host, mark("shown"));
  env.advance(1);
  EXPECT_EQ(*log, (presentation_testing::Log{
                      "resize: Tried to resize with invalid resize properties {{300, 500}, {0, 0}, 0, NO}"}));
}

TEST_F(ZUMMRAIDResizeOverlayPresenterTest, TheAdSitsAtItsOffsetAndTouchesAroundItReachTheHost) {
  auto hostButton = platform::View::create({0, 500, 375, 100});
  host->view()->addSubview(hostButton);
  // 20 points over the top, its close area (bottom-right) on screen: shifted down.
  show(properties({10, -120, 300, 250}, false, 4));
  EXPECT_EQ(count("shown"), 1);
  EXPECT_EQ(onScreen(), (Rect{10, 20, 300, 250}));
  EXPECT_EQ(presenter->contentFrame(), (Rect{10, 0, 300, 250}));
  EXPECT_EQ(window->hitTest({20, 30}), controller->view());
  EXPECT_EQ(window->hitTest({20, 550}), hostButton) << "the see-through area lets touches through";

  // A later update moves it once the frame has settled.
  ASSERT_TRUE(presenter->setResizeProperties(properties({0, 0, 200, 100})));
  presenter->repositionContentIfNeeded();
  env.advance(0.2);
  EXPECT_EQ(onScreen(), (Rect{0, 100, 200, 100}));
  EXPECT_EQ(count("slot.willDismiss"), 0);
}

TEST_F(ZUMMRAIDResizeOverlayPresenterTest, ARotationKeepsAFittingAdAndClosesOneThatNoLongerFits) {
  show(properties({0, 0, 300, 250}));
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  env.advance(1);
  EXPECT_EQ(count("slot.willDismiss"), 0);
  EXPECT_EQ(presenter->cropView()->bounds().size, (platform::Size{667, 355}));
  EXPECT_EQ(presenter->cropView()->convertRectToView(presenter->cropView()->bounds(), nullptr), (Rect{0, 20, 667, 355}))
      << "the pivot is centred on the landscape application frame";
  EXPECT_EQ(controller->view()->frame(), presenter->contentFrame());

  // Back in portrait a taller ad fits; in landscape it cannot, even shifted.
  testenv::AppControls::rotate(platform::kInterfaceOrientationPortrait);
  env.advance(1);
  ASSERT_TRUE(presenter->setResizeProperties(properties({0, -80, 300, 500})));
  presenter->repositionContentIfNeeded();
  env.advance(1);
  EXPECT_EQ(onScreen(), (Rect{0, 20, 300, 500}));
  log->clear();
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  env.advance(0.15);  // checked once the frame has settled, a tenth of a second on
  EXPECT_EQ(count("resize: Resize properties became invalid after device rotation."), 1);
  env.advance(1);
  EXPECT_EQ(count("slot.didDismiss"), 1);
  EXPECT_EQ(presenter->pivotView()->superview(), nullptr);
}

TEST_F(ZUMMRAIDResizeOverlayPresenterTest, TheOverlayClosesWhenTheBannerLeavesItsWindow) {
  show(properties({0, 0, 300, 250}));
  platform::NotificationCenter::defaultCenter().post(kZUMSlotDidLeaveWindowNotification, slot);
  env.advance(1);
  EXPECT_EQ(count("slot.didDismiss"), 1);
  EXPECT_EQ(controller->view()->superview(), nullptr);
  EXPECT_EQ(controller->view()->alpha(), 0) << "faded out";
  // Gone, it hears no more rotations.
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  env.advance(1);
  EXPECT_EQ(count("slot.didDismiss"), 1);
}

using ZUMTransparentOverlayPresenterTest = presentation_testing::PresentationTest;

TEST_F(ZUMTransparentOverlayPresenterTest, AnInterstitialFillsTheApplicationFrameOverASeeThroughPivot) {
  auto interstitial = ZUMViewController::create();
  auto transparent = ZUMTransparentOverlayPresenter::create();
  interstitial->setPresenter(transparent);
  interstitial->presentFromViewController(host, mark("shown"));
  env.advance(1);
  EXPECT_EQ(*log, (presentation_testing::Log{"shown"}));
  EXPECT_EQ(interstitial->view()->convertRectToView(interstitial->view()->bounds(), nullptr), (Rect{0, 20, 375, 647}));
  EXPECT_EQ(interstitial->view()->backgroundColor(), platform::Color::clear());
  EXPECT_FALSE(transparent->pivotView()->isOpaque());
  EXPECT_EQ(transparent->pivotView()->backgroundColor(), platform::Color::clear());
  EXPECT_EQ(transparent->presentationViewController(), host);
  interstitial->relinquishScreenWithCompletion(mark("gone"));
  env.advance(1);
  EXPECT_EQ(*log, (presentation_testing::Log{"shown", "gone"}));
  EXPECT_EQ(transparent->pivotView()->superview(), nullptr);
}

}  // namespace
