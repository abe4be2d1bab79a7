#include "platform/ui/Button.h"

#include <gtest/gtest.h>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "platform/ui/Window.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

namespace platform {
namespace {

using testenv::TouchControls;
using ButtonTest = testenv::PlatformTest;

TEST_F(ButtonTest, StatesFallBackToTheNormalValues) {
  auto button = Button::create(Button::Type::System);
  button->setTitle("Close", Button::Normal);
  button->setTitle("Closing", Button::Highlighted);
  button->setEnabled(false);
  EXPECT_EQ(button->currentTitle(), "Close");

  auto image = Image::createBlank({25, 25}, 2.0);
  button->setImage(image, Button::Normal);
  button->setEnabled(true);
  button->setTitle(std::nullopt, Button::Normal);
  button->setTitle(std::nullopt, Button::Highlighted);
  EXPECT_EQ(button->currentImage(), image);
  EXPECT_EQ(button->intrinsicContentSize(), (Size{25, 25}));
}

TEST_F(ButtonTest, TouchUpInsideRunsTheActionsAndOutsideDoesNot) {
  auto window = Window::create(Rect(0, 0, 320, 480));
  window->makeKeyAndVisible();
  auto button = Button::create(Button::Type::Custom, Rect(10, 10, 50, 50));
  window->addSubview(button);
  int inside = 0, outside = 0, downs = 0;
  auto owner = std::make_shared<int>();
  button->addTarget(
      owner, [&](Button&) { ++inside; }, Button::TouchUpInside);
  button->addTarget(
      {},
      [&](Button& b) {
        ++downs;
        EXPECT_TRUE(b.isHighlighted());
      },
      Button::TouchDown);
  button->addTarget(
      {}, [&](Button&) { ++outside; }, Button::TouchUpOutside);

  TouchControls::tap(window, {20, 20});
  EXPECT_EQ(inside + downs, 2);
  EXPECT_FALSE(button->isHighlighted());

  TouchControls::touchSequence(window, {{20, 20}, {200, 200}});  // dragged off
  EXPECT_EQ(inside, 1);
  EXPECT_EQ(outside, 1);

  button->setEnabled(false);
  TouchControls::tap(window, {20, 20});
  EXPECT_EQ(downs, 2);
  button->setEnabled(true);

  button->removeTarget(owner.get(), Button::TouchUpInside);
  TouchControls::tap(window, {20, 20});
  EXPECT_EQ(inside, 1);
}

TEST_F(ButtonTest, DrawsItsImageCentred) {
  Bitmap red(2, 2);
  red.fillRect(Rect(0, 0, 2, 2), Color::red());
  auto button = Button::create(Button::Type::Custom, Rect(0, 0, 4, 4));
  button->setImage(Image::create(red, 1.0), Button::Normal);
  const Bitmap shot = button->snapshot(1);
  EXPECT_EQ(shot.pixel(0, 0).a, 0);
  EXPECT_EQ(shot.pixel(2, 2), (Bitmap::Pixel{255, 0, 0, 255}));
}

}  // namespace
}  // namespace platform
