#include "platform/ui/View.h"

#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Window.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using ViewTest = testenv::PlatformTest;

void expectNear(Point actual, Point expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-9);
  EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

// Records its hooks and layout passes in a shared log.
class RecordingView : public View {
 public:
  static std::shared_ptr<RecordingView> create(std::string name, std::vector<std::string>* log,
                                               const Rect& frame = {}) {
    auto view = std::shared_ptr<RecordingView>(new RecordingView(frame));
    view->name_ = std::move(name);
    view->log_ = log;
    return view;
  }
  std::function<void(const std::shared_ptr<Window>&)> onWillMoveToWindow;
  int layouts = 0;

  void layoutSubviews() override {
    ++layouts;
    log_->push_back(name_ + ".layout");
  }
  void willMoveToSuperview(const std::shared_ptr<View>& s) override {
    log_->push_back(name_ + ".willMoveToSuperview(" + (s ? "view" : "nil") + ")");
  }
  void didMoveToSuperview() override { log_->push_back(name_ + ".didMoveToSuperview"); }
  void willMoveToWindow(const std::shared_ptr<Window>& w) override {
    log_->push_back(name_ + ".willMoveToWindow(" + (w ? "window" : "nil") + ")");
    if (onWillMoveToWindow) onWillMoveToWindow(w);
  }
  void didMoveToWindow() override {
    log_->push_back(name_ + ".didMoveToWindow(" + (window() ? "window" : "nil") + ")");
  }
  void didAddSubview(const std::shared_ptr<View>&) override { log_->push_back(name_ + ".didAddSubview"); }
  void willRemoveSubview(const std::shared_ptr<View>&) override { log_->push_back(name_ + ".willRemoveSubview"); }

 private:
  using View::View;
  std::string name_;
  std::vector<std::string>* log_ = nullptr;
};

TEST_F(ViewTest, ConvertsThroughNestedScrolledScaledAndRotatedViews) {
  auto window = Window::create(Rect(0, 0, 375, 667));
  auto a = View::create(Rect(10, 20, 200, 200));
  a->setBounds(Rect(5, 5, 200, 200));  // scrolled by (5, 5)
  auto b = View::create(Rect(50, 50, 40, 40));
  b->setTransform(AffineTransform::makeScale(2, 2));
  auto c = View::create(Rect(0, 0, 10, 10));
  window->addSubview(a);
  a->addSubview(b);
  b->addSubview(c);

  // c -> b: identity; b -> a: 2 x (p - b's centre in bounds) + b's centre; a: minus the
  // scroll offset plus a's origin.
  expectNear(c->convertPointToView({1, 1}, nullptr), {37, 47});
  expectNear(c->convertPointFromView({37, 47}, nullptr), {1, 1});
  const Rect inWindow = c->convertRectToView(Rect(0, 0, 10, 10), nullptr);
  EXPECT_NEAR(inWindow.width(), 20, 1e-9);
  EXPECT_NEAR(inWindow.minX(), 35, 1e-9);

  // A quarter turn of b: (x, y) about its centre becomes (-y, x).
  b->setTransform(AffineTransform::makeRotation(std::numbers::pi / 2));
  expectNear(c->convertPointToView({1, 1}, nullptr), {94, 66});

  // Views of two windows convert through the screen.
  auto other = Window::create(Rect(100, 200, 50, 50));
  auto inOther = View::create(Rect(5, 5, 10, 10));
  other->addSubview(inOther);
  expectNear(window->convertPointToView({105, 205}, inOther.get()), {0, 0});
}

TEST_F(ViewTest, FrameFollowsCenterBoundsAndTransform) {
  auto view = View::create(Rect(10, 10, 100, 50));
  EXPECT_EQ(view->center(), (Point{60, 35}));
  view->setTransform(AffineTransform::makeScale(2, 2));
  EXPECT_EQ(view->frame(), Rect(-40, -15, 200, 100));
  // With a transform, setting the frame moves the centre and keeps the bounds size.
  view->setFrame(Rect(0, 0, 10, 10));
  EXPECT_EQ(view->bounds().size, (Size{100, 50}));
  EXPECT_EQ(view->center(), (Point{5, 5}));

  // Hostile numbers are refused.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  view->setTransform(AffineTransform::identity());
  view->setFrame(Rect(nan, 0, 10, 10));
  view->setCenter({std::numeric_limits<double>::infinity(), 0});
  EXPECT_EQ(view->frame(), Rect(-45, -20, 100, 50));
}

TEST_F(ViewTest, HitTestingFindsTheDeepestInteractiveViewAndSkipsHiddenOnes) {
  auto root = View::create(Rect(0, 0, 300, 300));
  auto panel = View::create(Rect(10, 10, 200, 200));
  auto button = View::create(Rect(10, 10, 50, 50));
  auto cover = View::create(Rect(0, 0, 100, 100));
  root->addSubview(panel);
  panel->addSubview(button);
  panel->addSubview(cover);  // in front of the button

  EXPECT_EQ(root->hitTest({25, 25}), cover);
  cover->setHidden(true);
  EXPECT_EQ(root->hitTest({25, 25}), button);
  cover->setHidden(false);
  cover->setUserInteractionEnabled(false);
  EXPECT_EQ(root->hitTest({25, 25}), button);

  // A non-interactive view hides its whole subtree; the touch lands on its parent.
  panel->setUserInteractionEnabled(false);
  EXPECT_EQ(root->hitTest({25, 25}), root);
  panel->setUserInteractionEnabled(true);

  // Parts of a subview outside its superview's bounds are not hit, clipping or not.
  auto sticking = View::create(Rect(180, 180, 100, 100));
  panel->addSubview(sticking);
  EXPECT_EQ(root->hitTest({250, 250}), root);

  // Transforms count: a view scaled about its centre is hit where it is drawn.
  auto scaled = View::create(Rect(250, 10, 20, 20));
  scaled->setTransform(AffineTransform::makeScale(2, 2));
  root->addSubview(scaled);
  EXPECT_EQ(root->hitTest({242, 3}), scaled);
  EXPECT_EQ(root->hitTest({-1, 5}), nullptr);
}

TEST_F(ViewTest, HierarchyHooksRunInOrderAndWindowsPropagate) {
  std::vector<std::string> log;
  auto window = Window::create(Rect(0, 0, 100, 100));
  auto parent = RecordingView::create("parent", &log);
  auto child = RecordingView::create("child", &log);
  parent->addSubview(child);
  log.clear();

  window->addSubview(parent);
  EXPECT_EQ(log, (std::vector<std::string>{"parent.willMoveToSuperview(view)", "parent.willMoveToWindow(window)",
                                           "child.willMoveToWindow(window)", "parent.didMoveToWindow(window)",
                                           "child.didMoveToWindow(window)", "parent.didMoveToSuperview"}));
  EXPECT_EQ(child->window(), window);

  log.clear();
  child->removeFromSuperview();
  EXPECT_EQ(log, (std::vector<std::string>{"parent.willRemoveSubview", "child.willMoveToSuperview(nil)",
                                           "child.willMoveToWindow(nil)", "child.didMoveToWindow(nil)",
                                           "child.didMoveToSuperview"}));
  EXPECT_EQ(child->window(), nullptr);

  // A view cannot become its own ancestor.
  parent->addSubview(child);
  child->addSubview(parent);
  EXPECT_EQ(parent->superview(), window);
}

TEST_F(ViewTest, AViewMayMoveAChildOutOfAPlaceholderWindowWhenItEntersAWindow) {
  std::vector<std::string> log;
  auto placeholder = Window::create(Rect(0, 0, 10, 10));
  auto shown = Window::create(Rect(0, 0, 100, 100));
  auto content = RecordingView::create("content", &log);
  placeholder->addSubview(content);
  auto host = RecordingView::create("host", &log);
  host->onWillMoveToWindow = [&](const std::shared_ptr<Window>& w) {
    if (w) {
      host->addSubview(content);
    } else {
      placeholder->addSubview(content);
    }
  };

  shown->addSubview(host);
  EXPECT_EQ(content->window(), shown);
  host->removeFromSuperview();
  EXPECT_EQ(content->window(), placeholder);
}

TEST_F(ViewTest, SubviewOrderingOperations) {
  auto root = View::create();
  auto a = View::create(), b = View::create(), c = View::create(), d = View::create();
  root->addSubview(a);
  root->addSubview(b);
  root->insertSubview(c, 0);
  root->insertSubviewAbove(d, c);
  EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{c, d, a, b}));
  root->insertSubviewBelow(b, d);
  EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{c, b, d, a}));
  root->bringSubviewToFront(c);
  root->sendSubviewToBack(a);
  EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{a, b, d, c}));
  d->setTag(7);
  EXPECT_EQ(root->viewWithTag(7), d);
}

TEST_F(ViewTest, AutoresizingSharesTheSuperviewsGrowthAmongFlexibleParts) {
  auto parent = View::create(Rect(0, 0, 320, 480));
  // A bottom toolbar: flexible width and top margin.
  auto toolbar = View::create(Rect(0, 436, 320, 44));
  toolbar->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleTopMargin);
  // Flexible on both margins: stays centred.
  auto centred = View::create(Rect(110, 0, 100, 10));
  centred->setAutoresizingMask(AutoresizingFlexibleLeftMargin | AutoresizingFlexibleRightMargin);
  parent->addSubview(toolbar);
  parent->addSubview(centred);

  parent->setFrame(Rect(0, 0, 480, 320));
  EXPECT_EQ(toolbar->frame(), Rect(0, 276, 480, 44));
  EXPECT_EQ(centred->frame(), Rect(190, 0, 100, 10));

  parent->setAutoresizesSubviews(false);
  parent->setFrame(Rect(0, 0, 320, 480));
  EXPECT_EQ(toolbar->frame(), Rect(0, 276, 480, 44));
}

TEST_F(ViewTest, ViewsInAWindowAreLaidOutOnTheMainRunLoop) {
  std::vector<std::string> log;
  auto window = Window::create(Rect(0, 0, 100, 100));
  auto view = RecordingView::create("view", &log, Rect(0, 0, 10, 10));
  window->addSubview(view);
  env.runUntilIdle();
  EXPECT_EQ(view->layouts, 1);
  view->setFrame(Rect(0, 0, 20, 20));  // a new size asks for layout
  view->setFrame(Rect(5, 5, 20, 20));  // a move does not add a pass
  EXPECT_EQ(view->layouts, 1);
  env.runUntilIdle();
  EXPECT_EQ(view->layouts, 2);

  // Outside a window, layout waits for layoutIfNeeded().
  auto loose = RecordingView::create("loose", &log);
  loose->setNeedsLayout();
  env.runUntilIdle();
  EXPECT_EQ(loose->layouts, 0);
  loose->layoutIfNeeded();
  EXPECT_EQ(loose->layouts, 1);
}

class PaintingView : public View {
 public:
  static std::shared_ptr<PaintingView> create(const Rect& frame) {
    return std::shared_ptr<PaintingView>(new PaintingView(frame));
  }
  void draw(DrawContext& context) const override { context.fillRect(Rect(0, 0, 2, 2), Color::blue()); }

 private:
  using View::View;
};

TEST_F(ViewTest, SnapshotCompositesBackgroundsWithAlphaAndClips) {
  auto root = View::create(Rect(0, 0, 10, 10));
  root->setBackgroundColor(Color::white());
  auto clipper = View::create(Rect(0, 0, 5, 5));
  clipper->setClipsToBounds(true);
  auto red = View::create(Rect(0, 0, 10, 10));  // reaches beyond its clipping parent
  red->setBackgroundColor(Color::red());
  clipper->addSubview(red);
  auto translucent = View::create(Rect(6, 6, 4, 4));
  translucent->setBackgroundColor(Color::black());
  translucent->setAlpha(0.5);
  auto hidden = View::create(Rect(0, 6, 4, 4));
  hidden->setBackgroundColor(Color::green());
  hidden->setHidden(true);
  auto painted = PaintingView::create(Rect(6, 0, 4, 4));
  root->addSubview(clipper);
  root->addSubview(translucent);
  root->addSubview(hidden);
  root->addSubview(painted);

  const Bitmap bitmap = root->snapshot(2);
  ASSERT_EQ(bitmap.width(), 20);
  using Pixel = Bitmap::Pixel;
  EXPECT_EQ(bitmap.pixel(9, 9), (Pixel{255, 0, 0, 255}));        // red inside the clip
  EXPECT_EQ(bitmap.pixel(10, 2), (Pixel{255, 255, 255, 255}));   // clipped: white ground
  EXPECT_EQ(bitmap.pixel(15, 15), (Pixel{128, 128, 128, 255}));  // half black on white
  EXPECT_EQ(bitmap.pixel(2, 15), (Pixel{255, 255, 255, 255}));   // hidden draws nothing
  EXPECT_EQ(bitmap.pixel(13, 1), (Pixel{0, 0, 255, 255}));       // the draw hook

  // Scrolling the root's bounds moves what is drawn.
  root->setBounds(Rect(5, 0, 10, 10));
  EXPECT_EQ(root->snapshot(1).pixel(1, 0), (Pixel{0, 0, 255, 255}));

  // Sizes that cannot be drawn give an empty bitmap.
  EXPECT_TRUE(View::create(Rect(0, 0, 1e12, 10))->snapshot(2).isEmpty());
  EXPECT_FALSE(root->snapshot(std::numeric_limits<double>::quiet_NaN()).isEmpty())
      << "a scale that is no number reads as 1";
}

}  // namespace
}  // namespace platform
