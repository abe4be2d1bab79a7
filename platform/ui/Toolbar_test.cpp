#include "platform/ui/Toolbar.h"

#include <gtest/gtest.h>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Image.h"
#include "platform/ui/Window.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

namespace platform {
namespace {

using testenv::TouchControls;
using ToolbarTest = testenv::PlatformTest;

TEST_F(ToolbarTest, LaysOutItemsWithFlexibleSpacesAndRunsTheTappedItemsAction) {
  auto window = Window::create(Rect(0, 0, 320, 480));
  window->makeKeyAndVisible();
  auto toolbar = Toolbar::create(Rect(0, 436, 320, 44));
  window->addSubview(toolbar);

  std::vector<std::string> taps;
  auto owner = std::make_shared<int>();
  auto back = BarButtonItem::create(Image::createBlank({27, 27}, 2.0), BarButtonItem::Style::Plain, owner,
                                    [&](BarButtonItem&) { taps.push_back("back"); });
  back->setWidth(27);
  back->setEnabled(false);
  auto spinner = ActivityIndicatorView::create(ActivityIndicatorView::Style::White);
  auto spinnerItem = BarButtonItem::create(spinner);
  auto done =
      BarButtonItem::create(BarButtonItem::SystemItem::Done, owner, [&](BarButtonItem&) { taps.push_back("done"); });
  auto flexible = [] { return BarButtonItem::create(BarButtonItem::SystemItem::FlexibleSpace); };
  toolbar->setItems({back, flexible(), spinnerItem, flexible(), done});
  EXPECT_EQ(spinner->superview(), toolbar);

  // 320 - 2 x 8 margins - 4 x 8 gaps - (27 + 20 + 30) = 195 shared by two spaces.
  EXPECT_EQ(toolbar->frameForItemAtIndex(2), Rect(8 + 27 + 8 + 97.5 + 8, 0, 20, 44));
  EXPECT_EQ(toolbar->frameForItemAtIndex(4), Rect(282, 0, 30, 44));
  env.runUntilIdle();
  EXPECT_EQ(spinner->center(), (Point{158.5, 22}));

  TouchControls::tap(window, {290, 450});
  TouchControls::tap(window, {15, 450});   // disabled
  TouchControls::tap(window, {100, 450});  // a space
  EXPECT_EQ(taps, (std::vector<std::string>{"done"}));
  back->setEnabled(true);
  TouchControls::tap(window, {15, 450});
  EXPECT_EQ(taps.back(), "back");

  // Replacing the items removes the old custom views; a dead target silences an item.
  toolbar->setItems({done});
  EXPECT_EQ(spinner->superview(), nullptr);
  owner.reset();
  EXPECT_FALSE(done->sendAction());
}

TEST_F(ToolbarTest, AnActivityIndicatorHidesWhileStopped) {
  auto spinner = ActivityIndicatorView::create(ActivityIndicatorView::Style::WhiteLarge);
  EXPECT_TRUE(spinner->isHidden());
  spinner->startAnimating();
  EXPECT_FALSE(spinner->isHidden());
  spinner->stopAnimating();
  EXPECT_TRUE(spinner->isHidden());
  spinner->setHidesWhenStopped(false);
  spinner->setHidden(false);
  spinner->startAnimating();
  spinner->stopAnimating();
  EXPECT_FALSE(spinner->isHidden());
}

}  // namespace
}  // namespace platform
