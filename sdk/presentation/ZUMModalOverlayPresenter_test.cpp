#include "sdk/presentation/ZUMModalOverlayPresenter.h"

#include <cmath>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/presentation/ZUMAdOrientationControlling.h"
#include "sdk/presentation/ZUMIntermission.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMViewController.h"
#include "testing/AppControls.h"

namespace {

using platform::InterfaceOrientation;
using platform::InterfaceOrientationMask;

// An ad screen that asks for orientations and records what it is told.
class AdScreen : public ZUMViewController, public ZUMAdOrientationControlling {
 public:
  static std::shared_ptr<AdScreen> make() { return std::shared_ptr<AdScreen>(new AdScreen()); }
  InterfaceOrientationMask adOrientations() const override { return mask; }
  InterfaceOrientation forcedAdOrientation() const override { return forced; }
  void setForcedAdOrientation(InterfaceOrientation o) override { forced = o; }
  double orientationUpdateAnimationDuration() const override { return 0.2; }
  void viewChangedToOrientation(InterfaceOrientation o) override { told.push_back(o); }
  bool shouldDismissOnApplicationEnteringForeground() override { return dismissOnForeground; }
  void presentViewController(std::shared_ptr<platform::ViewController> controller, bool animated,
                             Completion completion) override {
    presented.push_back(controller);
    ZUMViewController::presentViewController(std::move(controller), animated, std::move(completion));
  }

  InterfaceOrientationMask mask = 0;
  InterfaceOrientation forced = -1;
  std::vector<InterfaceOrientation> told;
  bool dismissOnForeground = true;
  std::vector<std::shared_ptr<platform::ViewController>> presented;
};

struct AppOrientations : platform::ApplicationDelegate {
  explicit AppOrientations(InterfaceOrientationMask mask) : mask(mask) {}
  std::optional<InterfaceOrientationMask> supportedInterfaceOrientationsForWindow(
      platform::Application&, const std::shared_ptr<platform::Window>&) override {
    return mask;
  }
  InterfaceOrientationMask mask;
};

bool near(const platform::Rect& a, const platform::Rect& b) {
  return std::abs(a.origin.x - b.origin.x) < 1e-6 && std::abs(a.origin.y - b.origin.y) < 1e-6 &&
         std::abs(a.size.width - b.size.width) < 1e-6 && std::abs(a.size.height - b.size.height) < 1e-6;
}

class ZUMModalOverlayPresenterTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    ZUMDevice::sharedInstance()->updateDynamicParameters();
    env.advance(1);
  }
  void setApplicationOrientations(InterfaceOrientationMask mask) {
    platform::Application::shared().setDelegate(mask ? std::make_shared<AppOrientations>(mask) : nullptr);
  }
  std::shared_ptr<AdScreen> present(InterfaceOrientationMask mask) {
    auto screen = AdScreen::make();
    screen->setSlot(slot);
    screen->mask = mask;
    screen->presentFromViewController(host, nullptr);
    env.advance(1);
    return screen;
  }
};

TEST_F(ZUMModalOverlayPresenterTest, HidesTheStatusBarOnlyForTheFullScreenStyle) {
  auto& application = platform::Application::shared();
  for (const auto style : {platform::ModalPresentationStyle::FullScreen, platform::ModalPresentationStyle::PageSheet}) {
    const bool fullScreen = style == platform::ModalPresentationStyle::FullScreen;
    application.setStatusBarHidden(false);
    auto screen = AdScreen::make();
    screen->setSlot(slot);
    screen->setModalPresentationStyle(style);
    screen->presentFromViewController(host, nullptr);
    env.advance(1);
    EXPECT_EQ(application.isStatusBarHidden(), fullScreen);
    application.setStatusBarHidden(true);  // the host's own choice meanwhile
    screen->relinquishScreenWithCompletion(nullptr);
    env.advance(1);
    EXPECT_EQ(application.isStatusBarHidden(), !fullScreen) << "restored only when the presenter hid it";
  }
}

TEST_F(ZUMModalOverlayPresenterTest, HidesTheStatusBarAgainOnReturnToTheForeground) {
  auto screen = AdScreen::make();
  screen->dismissOnForeground = false;
  screen->presentFromViewController(host, nullptr);
  env.advance(1);
  platform::Application::shared().setStatusBarHidden(false);
  testenv::AppControls::background();
  testenv::AppControls::foreground();
  env.advance(1);
  EXPECT_TRUE(platform::Application::shared().isStatusBarHidden());

  screen->relinquishScreenWithCompletion(nullptr);
  env.advance(1);
  platform::Application::shared().setStatusBarHidden(false);
  testenv::AppControls::background();
  testenv::AppControls::foreground();
  env.advance(1);
  EXPECT_FALSE(platform::Application::shared().isStatusBarHidden()) << "no longer observing";
}

TEST_F(ZUMModalOverlayPresenterTest, DismissalRunsTheHandlerOnceWhateverTheState) {
  // Not presented: at once, without the platform.
  auto presenter = ZUMModalOverlayPresenter::create();
  auto idle = AdScreen::make();
  idle->setPresenter(presenter);
  int handled = 0;
  presenter->dismissWithCompletionHandler([&] { ++handled; });
  EXPECT_EQ(handled, 1);

  // Asked while the presentation is still animating: once it is over.
  auto screen = AdScreen::make();
  screen->setSlot(slot);
  screen->presentFromViewController(host, nullptr);
  screen->presenter()->dismissWithCompletionHandler([&] { ++handled; });
  env.advance(2);
  EXPECT_EQ(handled, 2);
  EXPECT_EQ(host->presentedViewController(), nullptr);
}

// The forced update keeps the platform's orientation and turns the view inside it; an
// unknown status-bar orientation, or one the application does not support, never
// leaves the controller with orientations the application cannot show.
TEST_F(ZUMModalOverlayPresenterTest, ForcedUpdateTable) {
  struct Row {
    InterfaceOrientation device;
    std::optional<InterfaceOrientation> reported;
    InterfaceOrientationMask application, ad, supported;
    InterfaceOrientation forced;
    int turns;
  };
  const Row rows[] = {
      {4, {}, 0, 6, 16, 1, 1},   // portrait ad, landscape left: one quarter turn
      {3, {}, 0, 6, 8, 1, 3},    // landscape right: three
      {1, {}, 0, 24, 2, 3, 1},   // landscape ad held upright
      {1, 2, 30, 24, 4, 3, 1},   // ... or upside down
      {4, {}, 0, 30, 30, 0, 0},  // both families: no turn
      {1, {}, 0, 6, 2, 0, 0},    // already right
      {1, 0, 0, 6, 30, -1, -1},  // unknown orientation: nothing changes
      {4, 1, 24, 24, 30, 3, 1},  // a status bar the application does not support
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "device " << row.device << " ad " << row.ad);
    setApplicationOrientations(row.application);
    testenv::AppControls::rotate(row.device);
    if (row.reported) testenv::AppControls::reportStatusBarOrientation(*row.reported);
    env.advance(1);
    auto screen = AdScreen::make();
    screen->mask = row.ad;
    auto presenter = ZUMModalOverlayPresenter::create();
    screen->setPresenter(presenter);
    presenter->forceUpdateViewControllerOrientation(screen);
    env.advance(1);

    EXPECT_EQ(screen->supportedInterfaceOrientations(), row.supported);
    EXPECT_EQ(screen->forced, row.forced);
    const auto transform = screen->view()->transform();
    if (row.turns < 0) {
      EXPECT_TRUE(screen->told.empty());
      EXPECT_EQ(transform, platform::AffineTransform::identity());
      continue;
    }
    EXPECT_EQ(screen->told, std::vector<InterfaceOrientation>{row.forced});
    const double expectedSine = row.turns == 0 ? 0 : (row.turns == 1 ? 1 : -1);
    EXPECT_NEAR(transform.b, expectedSine, 1e-9);
    if (row.application == 0) {
      EXPECT_TRUE(near(screen->view()->frame(), platform::Screen::main().bounds()));
    }
  }
}

TEST_F(ZUMModalOverlayPresenterTest, OrientationUpdatesOnlyForAPresentedAdThatAsks) {
  auto idle = AdScreen::make();
  idle->mask = 24;
  idle->setPresenter(ZUMModalOverlayPresenter::create());
  idle->presenter()->setNeedsUpdateOrientation();
  env.advance(1);
  EXPECT_EQ(idle->forced, -1);

  auto screen = present(0);
  screen->presenter()->setNeedsUpdateOrientation();
  EXPECT_EQ(screen->forced, -1);
  screen->mask = 6;
  screen->presenter()->setNeedsUpdateOrientation();  // no user default: the forced update
  EXPECT_EQ(screen->forced, 0);
  screen->relinquishScreenWithCompletion(nullptr);
  env.advance(1);
}

TEST_F(ZUMModalOverlayPresenterTest, LightUpdateLetsThePlatformRotate) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(
      true, "/vantor/ads/view_controller_only_supports_application_orientation"));
  auto screen = present(24);
  screen->presenter()->setNeedsUpdateOrientation();
  env.advance(1);
  // A blank, invisible controller over the ad made the platform turn.
  ASSERT_EQ(screen->presented.size(), 1u);
  EXPECT_EQ(screen->presented[0]->view()->alpha(), 0);
  EXPECT_EQ(screen->presented[0]->supportedInterfaceOrientations(), 24u);
  EXPECT_EQ(platform::Application::shared().statusBarOrientation(), platform::kInterfaceOrientationLandscapeRight);
  EXPECT_EQ(screen->told, std::vector<InterfaceOrientation>{3});
  EXPECT_EQ(screen->supportedInterfaceOrientations(), 24u);
  EXPECT_EQ(host->presentedViewController(), screen);
  EXPECT_EQ(screen->presentedViewController(), nullptr);
  EXPECT_EQ(count("didDismiss"), 0) << "the blank controller joined and left the running session";

  // Asking only for what the application cannot show changes nothing.
  setApplicationOrientations(24);
  screen->mask = 6;
  screen->presenter()->setNeedsUpdateOrientation();
  env.advance(1);
  EXPECT_EQ(screen->supportedInterfaceOrientations(), 24u);
  EXPECT_EQ(screen->told.size(), 1u);
  screen->relinquishScreenWithCompletion(nullptr);
  env.advance(1);
}

}  // namespace
