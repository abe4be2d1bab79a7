#include "platform/ui/ScrollView.h"

#include <gtest/gtest.h>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Window.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using ScrollViewTest = testenv::PlatformTest;

TEST_F(ScrollViewTest, TheContentOffsetMovesSubviewsInWindowCoordinates) {
  auto window = Window::create(Rect(0, 0, 320, 480));
  auto scroll = ScrollView::create(Rect(0, 100, 320, 200));
  scroll->setContentSize({320, 1000});
  auto ad = View::create(Rect(0, 400, 320, 50));
  window->addSubview(scroll);
  scroll->addSubview(ad);
  scroll->setContentOffset({0, 350});
  EXPECT_EQ(ad->convertRectToView(ad->bounds(), nullptr), Rect(0, 150, 320, 50));
  EXPECT_EQ(window->hitTest({10, 160}), nullptr);  // a hidden window takes no touches
  window->makeKeyAndVisible();
  EXPECT_EQ(window->hitTest({10, 160}), ad);

  scroll->setContentSize({-1, 5});
  EXPECT_EQ(scroll->contentSize(), (Size{320, 1000}));
}

TEST_F(ScrollViewTest, AnImageViewPlacesItsImageByContentMode) {
  Bitmap red(2, 1);
  red.fillRect(Rect(0, 0, 2, 1), Color::red());
  auto image = Image::create(red, 1.0);
  auto view = ImageView::create(image);
  EXPECT_EQ(view->frame(), Rect(0, 0, 2, 1));

  view->setFrame(Rect(0, 0, 4, 4));
  view->setContentMode(ContentMode::ScaleAspectFit);  // 4 x 2, centred
  Bitmap shot = view->snapshot(1);
  EXPECT_EQ(shot.pixel(0, 0).a, 0);
  EXPECT_EQ(shot.pixel(3, 2), (Bitmap::Pixel{255, 0, 0, 255}));
  view->setContentMode(ContentMode::TopLeft);
  shot = view->snapshot(1);
  EXPECT_EQ(shot.pixel(2, 0).a, 0);

  view->setImage(nullptr);
  EXPECT_EQ(view->intrinsicContentSize().width, kViewNoIntrinsicMetric);
}

}  // namespace
}  // namespace platform
