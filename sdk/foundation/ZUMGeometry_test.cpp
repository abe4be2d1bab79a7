#include "sdk/foundation/ZUMGeometry.h"

#include <utility>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMViewUtilities.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::Rect;
using platform::View;

class ZUMGeometryTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    window = platform::Window::create(Rect(0, 0, 375, 667));
    window->makeKeyAndVisible();
  }
  std::shared_ptr<View> addView(const std::shared_ptr<View>& parent, const Rect& frame) {
    auto view = View::create(frame);
    parent->addSubview(view);
    return view;
  }

  std::shared_ptr<platform::Window> window;
};

TEST_F(ZUMGeometryTest, VisibleRectIsClippedByClippingAncestorsAndTheWindow) {
  auto outer = addView(window, Rect(10, 20, 200, 200));
  auto middle = addView(outer, Rect(50, 50, 100, 100));  // does not clip
  auto view = addView(middle, Rect(80, -10, 60, 40));    // sticks out of middle
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect(140, 60, 60, 40));
  middle->setClipsToBounds(true);
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect(140, 70, 20, 30));
  EXPECT_EQ(ZUMVisibleRectInView(view), Rect(0, 10, 20, 30));

  // Beyond the window's edge nothing is visible, even when no ancestor clips.
  outer->setClipsToBounds(false);
  middle->setClipsToBounds(false);
  view->setFrame(Rect(300, 0, 60, 40));  // 10 + 50 + 300 = 360: 15 points inside
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect(360, 70, 15, 40));
  outer->setClipsToBounds(true);
  outer->setFrame(Rect(10, 20, 355, 200));  // now cuts off at x = 10 + 355
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect(360, 70, 5, 40));

  // A scrolled clipping ancestor (bounds origin) moves its content.
  middle->setClipsToBounds(true);
  view->setFrame(Rect(0, 0, 60, 40));
  middle->setBounds(Rect(0, 20, 100, 100));
  EXPECT_EQ(ZUMVisibleRectInView(view), Rect(0, 20, 60, 20));
}

TEST_F(ZUMGeometryTest, VisibleRectIsZeroWhenAnythingHidesTheView) {
  auto parent = addView(window, Rect(0, 0, 100, 100));
  auto view = addView(parent, Rect(10, 10, 50, 50));
  parent->setHidden(true);
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect::zero());
  parent->setHidden(false);
  testenv::AppControls::resignActive();
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect::zero());
  testenv::AppControls::becomeActive();
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect(10, 10, 50, 50));

  // Clipped away entirely, or with no area.
  parent->setClipsToBounds(true);
  view->setFrame(Rect(100, 0, 50, 50));  // touches the parent's edge only
  EXPECT_EQ(ZUMVisibleRectInWindow(view), Rect::zero());

  EXPECT_EQ(ZUMVisibleRectInView(View::create(Rect(0, 0, 50, 50))), Rect::zero());
  EXPECT_EQ(ZUMVisibleRectInWindow(nullptr), Rect::zero());
}

TEST_F(ZUMGeometryTest, RectAndPositionDictionariesUseTheirKeys) {
  EXPECT_EQ(ZUMDictionaryFromRect(Rect::null()).dump(), R"({"x":0.0,"y":0.0,"width":0.0,"height":0.0})");

  auto& screen = platform::Screen::main();
  EXPECT_FALSE(ZUMViewUtilities::positionOfView(window, screen)) << "a window has no superview";
  auto parent = addView(window, Rect(5, 100, 300, 300));
  auto view = addView(parent, Rect(10, 20, 320, 50));
  auto position = ZUMViewUtilities::positionOfView(view, screen);
  ASSERT_TRUE(position);
  EXPECT_EQ(position->dump(), R"({"x":15.0,"y":120.0,"width":320.0,"height":50.0,"visible":1})");
  view->setFrame(Rect(10, -110, 320, 10));  // under the status bar, y 0 to 10
  EXPECT_EQ((*ZUMViewUtilities::positionOfView(view, screen))["visible"], 0);
}

TEST_F(ZUMGeometryTest, CenterInSuperviewFillsTheSuperviewAndScreenshotsUseTheScale) {
  ZUMCenterInSuperview(nullptr);
  auto container = addView(window, Rect(20, 30, 320, 50));
  auto banner = addView(container, Rect(0, 0, 100, 20));
  ZUMCenterInSuperview(banner);
  container->setFrame(Rect(20, 30, 300, 250));
  EXPECT_EQ(banner->frame(), Rect(0, 0, 300, 250));

  platform::Screen::main().setScale(3);
  auto image = ZUMScreenshotOfView(addView(window, Rect(0, 0, 20, 10)));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->bitmap().width(), 60);
  EXPECT_EQ(ZUMScreenshotOfView(View::create(Rect(0, 0, 0, 0))), nullptr);
}

TEST_F(ZUMGeometryTest, ACentredBannerIsSolvedAgainAfterARotation) {
  using A = platform::LayoutConstraint::Attribute;
  auto controller = platform::ViewController::create();
  window->setRootViewController(controller);
  auto root = controller->view();
  auto slot = addView(root, Rect(0, 0, 10, 10));  // a banner-sized slot in the middle
  slot->setTranslatesAutoresizingMaskIntoConstraints(false);
  for (auto [attribute, constant] : {std::pair{A::Width, 320.0}, std::pair{A::Height, 50.0}}) {
    slot->addConstraint(platform::LayoutConstraint::create(slot, attribute, platform::LayoutConstraint::Relation::Equal,
                                                           nullptr, A::NotAnAttribute, 1, constant));
  }
  for (auto attribute : {A::CenterX, A::CenterY}) {
    root->addConstraint(platform::LayoutConstraint::create(slot, attribute, platform::LayoutConstraint::Relation::Equal,
                                                           root, attribute, 1, 0));
  }
  auto banner = addView(slot, Rect(5, 5, 1, 1));
  ZUMCenterInSuperview(banner);
  banner->setAutoresizingMask(platform::AutoresizingNone);  // only the constraints keep it
  env.runUntilIdle();
  EXPECT_EQ(slot->frame(), Rect(27.5, 308.5, 320, 50));
  EXPECT_EQ(banner->frame(), Rect(0, 0, 320, 50));

  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeRight);
  env.runUntilIdle();
  EXPECT_EQ(slot->frame(), Rect(173.5, 162.5, 320, 50));
  EXPECT_EQ(banner->frame(), Rect(0, 0, 320, 50));
}

}  // namespace
