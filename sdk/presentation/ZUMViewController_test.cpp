#include "sdk/presentation/ZUMViewController.h"

#include <nlohmann/json.hpp>

#include "platform/base/SystemLog.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/presentation/ZUMIntermission.h"
#include "sdk/presentation/ZUMOverlayPresenting.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/request/ZUMAd.h"
#include "testing/AppControls.h"

namespace {

using presentation_testing::Log;

// Records its hooks; lets a test join the session without presenting.
class Screen : public ZUMViewController {
 public:
  static std::shared_ptr<Screen> make(std::shared_ptr<Log> log) {
    auto screen = std::shared_ptr<Screen>(new Screen());
    screen->log = std::move(log);
    return screen;
  }
  void finishAppearing() override {
    ZUMViewController::finishAppearing();
    log->push_back("finishAppearing");
  }
  void finishDismissal() override {
    ZUMViewController::finishDismissal();
    log->push_back("finishDismissal");
  }
  using ZUMViewController::addToCurrentIntermission;
  std::shared_ptr<Log> log;
};

// Shows the view in the host's window itself, as the transparent presenters do, and
// keeps the dismissal handler for the test; or is never ready; or hands presentations on.
struct InlinePresenter : ZUMOverlayPresenting {
  void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                 std::function<void()> completion) override {
    host->view()->window()->addSubview(presented.lock()->view());
    completion();
  }
  std::shared_ptr<platform::ViewController> presentationViewController() const override { return target; }
  void dismissWithCompletionHandler(std::function<void()> handler) override { pending = std::move(handler); }
  void setNeedsUpdateOrientation() override {}
  std::shared_ptr<ZUMViewController> presentedViewController() const override { return presented.lock(); }
  void setPresentedViewController(const std::shared_ptr<ZUMViewController>& c) override { presented = c; }
  bool isReadyToPresent() const override { return ready && !presented.expired(); }
  std::weak_ptr<ZUMViewController> presented;
  std::function<void()> pending;
  bool ready = true;
  std::shared_ptr<platform::ViewController> target;
};

class ZUMViewControllerTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    screen = Screen::make(log);
    screen->setSlot(slot);
    screen->setDismissalCompletion([log = log] { log->push_back("dismissalCompletion"); });
  }
  std::shared_ptr<Screen> screen;
};

TEST_F(ZUMViewControllerTest, PresentsAndRelinquishesInsideTheSession) {
  std::weak_ptr<Screen> weak = screen;
  screen->presentFromViewController(host, mark("presented"));
  EXPECT_FALSE(screen->view()->isUserInteractionEnabled());
  EXPECT_EQ(slot->intermission(), screen->intermission());
  screen.reset();  // the host keeps no reference to an SDK screen
  env.advance(1);
  auto shown = weak.lock();
  ASSERT_TRUE(shown);
  EXPECT_TRUE(shown->view()->isUserInteractionEnabled());
  EXPECT_EQ(host->presentedViewController(), shown);
  EXPECT_TRUE(platform::Application::shared().isStatusBarHidden());

  shown->relinquishScreenWithCompletion(mark("relinquished"));
  shown.reset();
  env.advance(1);
  EXPECT_TRUE(weak.expired());
  EXPECT_FALSE(platform::Application::shared().isStatusBarHidden());
  EXPECT_FALSE(platform::Application::shared().isIdleTimerDisabled());
  // finishDismissal runs at did-disappear and again at the dismissal's completion.
  EXPECT_EQ(*log,
            (Log{"willPresent", "slot.willPresent", "finishAppearing", "presented", "slot.willDismiss", "didDismiss",
                 "slot.didDismiss", "dismissalCompletion", "finishDismissal", "finishDismissal", "relinquished"}));
}

TEST_F(ZUMViewControllerTest, ShowsNothingWithoutAHostOrAReadyPresenter) {
  platform::SystemLog::Capture capture(true);
  screen->presentFromViewController(nullptr, mark("presented"));
  auto presenter = std::make_shared<InlinePresenter>();
  presenter->ready = false;
  screen->setPresenter(presenter);
  screen->presentFromViewController(host, mark("presented"));
  env.advance(1);
  EXPECT_TRUE(capture.contains("No UIViewController supplied to the ad. Cannot continue."));
  EXPECT_TRUE(log->empty());
  EXPECT_EQ(screen->intermission(), nullptr);
}

// The platform refuses to present from a host that already presents: the session that
// was begun for it ends at once instead of keeping the device awake for ever.
TEST_F(ZUMViewControllerTest, ARefusedPresentationGivesTheSessionBack) {
  host->presentViewController(platform::ViewController::create(), false);
  env.advance(1);
  std::weak_ptr<Screen> weak = screen;
  screen->presentFromViewController(host, mark("presented"));
  screen.reset();
  env.advance(1);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(count("didDismiss"), 1);
  EXPECT_EQ(count("presented"), 0);
  EXPECT_EQ(count("dismissalCompletion"), 1);
  EXPECT_FALSE(platform::Application::shared().isIdleTimerDisabled());
  EXPECT_FALSE(platform::Application::shared().isStatusBarHidden());
}

TEST_F(ZUMViewControllerTest, AnyPresenterShowsItAndNothingKeepsItOnceItLeaves) {
  auto presenter = std::make_shared<InlinePresenter>();
  screen->setPresenter(presenter);
  screen->presentFromViewController(host, mark("presented"));
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "finishAppearing", "presented"}));
  std::weak_ptr<Screen> weak = screen;
  screen.reset();
  ASSERT_FALSE(weak.expired());
  weak.lock()->relinquishScreenWithCompletion(nullptr);
  EXPECT_EQ(log->back(), "slot.willDismiss") << "the host gets its state back as the screen starts to leave";
  presenter->pending = nullptr;  // a presenter that never finishes the dismissal
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(count("didDismiss"), 1);
}

TEST_F(ZUMViewControllerTest, APlatformPresentationStillJoinsAndLeaves) {
  host->presentViewController(screen, true);
  env.advance(1);
  EXPECT_NE(screen->intermission(), nullptr);
  host->dismissViewControllerAnimated(true);
  env.advance(1);
  EXPECT_EQ(screen->intermission(), nullptr);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss",
                       "dismissalCompletion", "finishDismissal"}));

  // Relinquished without a presenter, by the session's foreground return.
  log->clear();
  host->presentViewController(screen, false);
  env.advance(1);
  testenv::AppControls::background();
  testenv::AppControls::foreground();
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_EQ(count("didDismiss"), 1);
}

TEST_F(ZUMViewControllerTest, GoingWhileInTheSessionEndsItAtOnce) {
  screen->addToCurrentIntermission();
  auto session = screen->intermission();  // someone else still holds the session
  screen.reset();
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss",
                       "dismissalCompletion"}));
}

TEST_F(ZUMViewControllerTest, GoingRecordsTheDismissalInTheAdStatistics) {
  for (const bool clicked : {false, true}) {
    auto ad = ZUMAd::create();
    slot->setAd(ad);
    if (clicked) ad->statistics()->setObject(1234, "tclickcurr");
    auto controller = ZUMViewController::create();
    controller->setSlot(slot);
    controller.reset();
    auto dismissed = ad->statistics()->objectForKey("tlanding_page_load_dismiss");
    ASSERT_TRUE(dismissed && dismissed->is_number_unsigned());
    auto clicks = ad->statistics()->objectForKey("tclick");
    EXPECT_EQ(clicks.has_value(), clicked);
    if (clicked) {
      EXPECT_EQ(*clicks, (nlohmann::ordered_json::array({nlohmann::ordered_json::array({1234, *dismissed})})));
    }
  }
}

TEST_F(ZUMViewControllerTest, RoutesPresentationsThroughThePresenter) {
  auto presenter = std::make_shared<InlinePresenter>();
  presenter->target = host;
  screen->setPresenter(presenter);
  auto sheet = platform::ViewController::create();
  screen->presentViewController(sheet, false);
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), sheet);
  screen->dismissViewControllerAnimated(false);
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST_F(ZUMViewControllerTest, OrientationsAndView) {
  EXPECT_EQ(screen->supportedInterfaceOrientations(), 30u);
  screen->setSupportedOrientations(0);
  EXPECT_EQ(screen->supportedInterfaceOrientations(), 30u);
  screen->setSupportedOrientations(6);
  EXPECT_EQ(screen->supportedInterfaceOrientations(), 6u);
  auto view = screen->view();
  EXPECT_TRUE(view->clipsToBounds());
  EXPECT_EQ(view->backgroundColor(), platform::Color::black());
  EXPECT_EQ(view->autoresizingMask(), platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
}

}  // namespace
