#include "platform/ui/ViewController.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using Log = std::vector<std::string>;

// Records its appearance callbacks, with its name, into a shared log.
class Recorder : public ViewController {
 public:
  static std::shared_ptr<Recorder> make(std::string name, std::shared_ptr<Log> log) {
    auto c = std::shared_ptr<Recorder>(new Recorder());
    c->name_ = std::move(name);
    c->log_ = std::move(log);
    return c;
  }
  void viewDidLoad() override { log_->push_back(name_ + ".viewDidLoad"); }
  void viewWillAppear(bool) override { log_->push_back(name_ + ".viewWillAppear"); }
  void viewDidAppear(bool) override { log_->push_back(name_ + ".viewDidAppear"); }
  void viewWillDisappear(bool) override {
    log_->push_back(name_ + ".viewWillDisappear" + (isBeingDismissed() ? "(dismissed)" : ""));
  }
  void viewDidDisappear(bool) override {
    log_->push_back(name_ + ".viewDidDisappear" + (isBeingDismissed() ? "(dismissed)" : ""));
  }
  InterfaceOrientationMask supportedInterfaceOrientations() const override { return mask; }
  void willMoveToParentViewController(const std::shared_ptr<ViewController>& p) override {
    log_->push_back(name_ + (p ? ".willMoveToParent" : ".willMoveToNoParent"));
  }
  void didMoveToParentViewController(const std::shared_ptr<ViewController>& p) override {
    log_->push_back(name_ + (p ? ".didMoveToParent" : ".didMoveToNoParent"));
  }

  InterfaceOrientationMask mask = kInterfaceOrientationMaskAllButUpsideDown;

 private:
  std::string name_;
  std::shared_ptr<Log> log_;
};

class ViewControllerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    window = Window::create();
    root = Recorder::make("R", log);
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    env.runUntilIdle();
    log->clear();
  }

  // Adds a mark to the log when run, for completions.
  std::function<void()> mark(const std::string& text) {
    return [log = log, text] { log->push_back(text); };
  }

  std::shared_ptr<Log> log = std::make_shared<Log>();
  std::shared_ptr<Window> window;
  std::shared_ptr<Recorder> root;
};

TEST_F(ViewControllerTest, ViewLoadsLazilyOnce) {
  auto a = Recorder::make("A", log);
  EXPECT_FALSE(a->isViewLoaded());
  auto view = a->view();
  EXPECT_EQ(a->view(), view);
  EXPECT_EQ(*log, Log{"A.viewDidLoad"});
  EXPECT_EQ(view->bounds().size, Screen::main().bounds().size);
}

TEST_F(ViewControllerTest, PresentingAThenBThenDismissingFromRootGivesThePlatformOrder) {
  auto a = Recorder::make("A", log);
  auto b = Recorder::make("B", log);

  root->presentViewController(a, true, mark("A presented"));
  EXPECT_EQ(*log, (Log{"A.viewDidLoad", "R.viewWillDisappear", "A.viewWillAppear"}));
  EXPECT_TRUE(a->isBeingPresented());
  env.advance(0.29);
  EXPECT_EQ(log->size(), 3u) << "the transition takes its duration";
  env.advance(0.02);
  EXPECT_EQ(*log, (Log{"A.viewDidLoad", "R.viewWillDisappear", "A.viewWillAppear", "R.viewDidDisappear",
                       "A.viewDidAppear", "A presented"}));
  EXPECT_EQ(a->presentingViewController(), root);
  EXPECT_FALSE(root->view()->window()) << "full screen takes the covered view out of the window";

  a->presentViewController(b, true);
  env.advance(0.3);

  log->clear();
  root->dismissViewControllerAnimated(true, mark("dismissed"));
  EXPECT_EQ(*log, (Log{"B.viewWillDisappear(dismissed)", "R.viewWillAppear"}));
  EXPECT_EQ(root->view()->window(), window) << "the revealed view is back for the transition";
  env.advance(0.3);
  EXPECT_EQ(*log, (Log{"B.viewWillDisappear(dismissed)", "R.viewWillAppear", "B.viewDidDisappear(dismissed)",
                       "R.viewDidAppear", "dismissed"}));
  EXPECT_FALSE(root->presentedViewController());
  EXPECT_FALSE(b->presentingViewController());
  EXPECT_EQ(window->subviews(), std::vector<std::shared_ptr<View>>{root->view()});
}

TEST_F(ViewControllerTest, PresentedControllerDismissingItselfAsksItsPresenter) {
  auto a = Recorder::make("A", log);
  root->presentViewController(a, false);
  env.runUntilIdle();
  log->clear();
  a->dismissViewControllerAnimated(false, mark("done"));
  env.runUntilIdle();
  EXPECT_EQ(log->back(), "done");
  EXPECT_FALSE(root->presentedViewController());
}

TEST_F(ViewControllerTest, DismissedControllerMayPresentAgainFromItsDidDisappear) {
  struct Again : ViewController {
    static std::shared_ptr<Again> make() { return std::shared_ptr<Again>(new Again()); }
    void viewDidDisappear(bool) override {
      if (!isBeingDismissed()) return;
      EXPECT_FALSE(presentingViewController());
      if (auto r = root.lock()) r->presentViewController(next, false);
    }
    std::weak_ptr<ViewController> root;
    std::shared_ptr<ViewController> next = ViewController::create();
  };
  auto first = Again::make();
  first->root = root;
  root->presentViewController(first, false);
  env.runUntilIdle();
  root->dismissViewControllerAnimated(false);
  env.runUntilIdle();
  EXPECT_EQ(root->presentedViewController(), first->next);
}

TEST_F(ViewControllerTest, RefusedPresentationsRunNoCompletionAndLogAWarning) {
  SystemLog::Capture capture(/*quiet=*/true);
  int completions = 0;
  auto count = [&] { ++completions; };

  // Missing controller.
  root->presentViewController(nullptr, true, count);
  // Busy: a presentation is in progress.
  auto a = Recorder::make("A", log);
  root->presentViewController(a, true, count);
  root->presentViewController(Recorder::make("X", log), true, count);
  env.advance(0.3);
  EXPECT_EQ(completions, 1);
  // Busy: already presenting.
  root->presentViewController(Recorder::make("Y", log), true, count);
  // Detached: a controller whose view is not in a window.
  Recorder::make("D", log)->presentViewController(Recorder::make("Z", log), true, count);
  // A controller already on screen.
  a->presentViewController(root, true, count);
  env.advance(1);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(root->presentedViewController(), a);
  EXPECT_EQ(capture.lines().size(), 5u);
  EXPECT_TRUE(capture.contains("not in a window"));
}

TEST_F(ViewControllerTest, DismissalDuringATransitionIsRefused) {
  SystemLog::Capture capture(/*quiet=*/true);
  auto a = Recorder::make("A", log);
  root->presentViewController(a, true);
  bool dismissed = false;
  root->dismissViewControllerAnimated(true, [&] { dismissed = true; });
  env.advance(1);
  EXPECT_FALSE(dismissed);
  EXPECT_EQ(root->presentedViewController(), a);
  EXPECT_TRUE(capture.contains("transition"));
}

TEST_F(ViewControllerTest, OverFullScreenKeepsThePresentingHierarchy) {
  auto a = Recorder::make("A", log);
  a->setModalPresentationStyle(ModalPresentationStyle::OverFullScreen);
  root->presentViewController(a, true);
  env.advance(0.3);
  EXPECT_EQ(*log, (Log{"A.viewDidLoad", "A.viewWillAppear", "A.viewDidAppear"}));
  EXPECT_EQ(window->subviews(), (std::vector<std::shared_ptr<View>>{root->view(), a->view()}));

  // A full-screen controller over it covers both, and gives both back.
  log->clear();
  auto b = Recorder::make("B", log);
  a->presentViewController(b, false);
  env.runUntilIdle();
  EXPECT_EQ(*log, (Log{"B.viewDidLoad", "A.viewWillDisappear", "R.viewWillDisappear", "B.viewWillAppear",
                       "A.viewDidDisappear", "R.viewDidDisappear", "B.viewDidAppear"}));
  log->clear();
  b->dismissViewControllerAnimated(false);
  env.runUntilIdle();
  EXPECT_EQ(*log, (Log{"B.viewWillDisappear(dismissed)", "A.viewWillAppear", "R.viewWillAppear",
                       "B.viewDidDisappear(dismissed)", "A.viewDidAppear", "R.viewDidAppear"}));
  EXPECT_EQ(window->subviews(), (std::vector<std::shared_ptr<View>>{root->view(), a->view()}));
}

TEST_F(ViewControllerTest, ViewAddedStraightIntoAWindowGetsNoCallbacks) {
  auto transparent = Recorder::make("T", log);
  window->addSubview(transparent->view());
  env.advance(1);
  transparent->view()->removeFromSuperview();
  env.advance(1);
  EXPECT_EQ(*log, Log{"T.viewDidLoad"});
}

TEST_F(ViewControllerTest, ChildrenFollowTheirParent) {
  auto parent = Recorder::make("P", log);
  auto child = Recorder::make("C", log);
  parent->addChildViewController(child);
  parent->view()->addSubview(child->view());
  child->didMoveToParentViewController(parent);

  root->presentViewController(parent, false);
  env.runUntilIdle();
  EXPECT_EQ(*log,
            (Log{"C.willMoveToParent", "P.viewDidLoad", "C.viewDidLoad", "C.didMoveToParent", "R.viewWillDisappear",
                 "P.viewWillAppear", "C.viewWillAppear", "R.viewDidDisappear", "P.viewDidAppear", "C.viewDidAppear"}));
  // A child presenting goes through its outermost container.
  auto d = Recorder::make("D", log);
  child->presentViewController(d, false);
  env.runUntilIdle();
  EXPECT_EQ(parent->presentedViewController(), d);

  log->clear();
  child->willMoveToParentViewController(nullptr);
  child->view()->removeFromSuperview();
  child->removeFromParentViewController();
  EXPECT_TRUE(parent->childViewControllers().empty());
  EXPECT_EQ(*log, (Log{"C.willMoveToNoParent", "C.didMoveToNoParent"}));
}

TEST_F(ViewControllerTest, PresentationTurnsTheInterfaceToWhatTheControllerSupports) {
  auto landscape = Recorder::make("L", log);
  landscape->mask = kInterfaceOrientationMaskLandscape;
  root->presentViewController(landscape, false);
  env.runUntilIdle();
  auto& app = Application::shared();
  EXPECT_TRUE(isInterfaceOrientationLandscape(app.statusBarOrientation()));
  EXPECT_EQ(window->bounds().size, (Size{667, 375}));

  landscape->dismissViewControllerAnimated(false);
  env.runUntilIdle();
  EXPECT_EQ(app.statusBarOrientation(), kInterfaceOrientationPortrait) << "back to the device's";
}

TEST_F(ViewControllerTest, RotationReachesControllersOnScreenOnlyWhenAllowed) {
  struct Rotating : ViewController {
    static std::shared_ptr<Rotating> make() { return std::shared_ptr<Rotating>(new Rotating()); }
    void willRotateToInterfaceOrientation(InterfaceOrientation o, double) override { will.push_back(o); }
    void didRotateFromInterfaceOrientation(InterfaceOrientation o) override { did.push_back(o); }
    bool shouldAutorotate() const override { return autorotate; }
    std::vector<InterfaceOrientation> will, did;
    bool autorotate = true;
  };
  auto top = Rotating::make();
  root->presentViewController(top, false);
  env.runUntilIdle();

  testenv::AppControls::rotate(kInterfaceOrientationLandscapeLeft);
  EXPECT_EQ(top->will, std::vector<InterfaceOrientation>{kInterfaceOrientationLandscapeLeft});
  EXPECT_EQ(top->did, std::vector<InterfaceOrientation>{kInterfaceOrientationPortrait});
  EXPECT_EQ(top->interfaceOrientation(), kInterfaceOrientationLandscapeLeft);

  top->autorotate = false;
  testenv::AppControls::rotate(kInterfaceOrientationPortrait);
  EXPECT_EQ(top->interfaceOrientation(), kInterfaceOrientationLandscapeLeft);
  top->autorotate = true;
  testenv::AppControls::rotate(kInterfaceOrientationPortraitUpsideDown);
  EXPECT_EQ(top->interfaceOrientation(), kInterfaceOrientationLandscapeLeft)
      << "upside down is not supported on a phone";
}

}  // namespace
}  // namespace platform
