#include "platform/ui/Application.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/base/Thread.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using Log = std::vector<std::string>;

class RecordingDelegate : public ApplicationDelegate {
 public:
  explicit RecordingDelegate(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  bool applicationDidFinishLaunching(Application& app) override {
    log_->push_back("delegate.didFinishLaunching state=" + std::to_string(static_cast<int>(app.applicationState())));
    return true;
  }
  void applicationDidBecomeActive(Application&) override { log_->push_back("delegate.didBecomeActive"); }
  void applicationWillResignActive(Application&) override { log_->push_back("delegate.willResignActive"); }
  void applicationDidEnterBackground(Application&) override { log_->push_back("delegate.didEnterBackground"); }
  void applicationWillEnterForeground(Application& app) override {
    log_->push_back("delegate.willEnterForeground state=" + std::to_string(static_cast<int>(app.applicationState())));
  }
  std::optional<InterfaceOrientationMask> supportedInterfaceOrientationsForWindow(
      Application&, const std::shared_ptr<Window>&) override {
    return mask;
  }
  std::optional<InterfaceOrientationMask> mask;

 private:
  std::shared_ptr<Log> log_;
};

class ApplicationTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    for (const char* name : {kApplicationDidFinishLaunchingNotification, kApplicationDidBecomeActiveNotification,
                             kApplicationWillResignActiveNotification, kApplicationDidEnterBackgroundNotification,
                             kApplicationWillEnterForegroundNotification}) {
      tokens.push_back(
          NotificationCenter::defaultCenter().addObserver(name, nullptr, nullptr, [log = log](const Notification& n) {
            EXPECT_EQ(n.object(), Application::sharedObject());
            EXPECT_TRUE(isMainThread());
            log->push_back(n.name());
          }));
    }
  }
  void TearDown() override {
    for (const auto& t : tokens) NotificationCenter::defaultCenter().removeObserver(t);
  }

  std::shared_ptr<Log> log = std::make_shared<Log>();
  std::vector<NotificationCenter::Token> tokens;
};

TEST_F(ApplicationTest, LaunchBackgroundAndForegroundPostInOrder) {
  auto& app = Application::shared();
  auto delegate = std::make_shared<RecordingDelegate>(log);
  testenv::AppControls::launch(delegate);
  EXPECT_EQ(*log, (Log{"delegate.didFinishLaunching state=1", kApplicationDidFinishLaunchingNotification,
                       "delegate.didBecomeActive", kApplicationDidBecomeActiveNotification}));

  log->clear();
  testenv::AppControls::background();
  testenv::AppControls::background();  // already there: nothing
  testenv::AppControls::foreground();
  EXPECT_EQ(*log, (Log{"delegate.willResignActive", kApplicationWillResignActiveNotification,
                       "delegate.didEnterBackground", kApplicationDidEnterBackgroundNotification,
                       "delegate.willEnterForeground state=2", kApplicationWillEnterForegroundNotification,
                       "delegate.didBecomeActive", kApplicationDidBecomeActiveNotification}));

  log->clear();
  testenv::AppControls::resignActive();
  EXPECT_EQ(app.applicationState(), ApplicationState::Inactive);
  testenv::AppControls::becomeActive();
  EXPECT_EQ(*log, (Log{"delegate.willResignActive", kApplicationWillResignActiveNotification,
                       "delegate.didBecomeActive", kApplicationDidBecomeActiveNotification}));
}

TEST_F(ApplicationTest, CanOpenURLHonoursTheQuerySchemes) {
  SystemLog::Capture capture(/*quiet=*/true);
  auto& app = Application::shared();
  auto tel = *URL::fromString("tel:5551234");
  auto custom = *URL::fromString("myapp://open");
  EXPECT_FALSE(app.canOpenURL(tel)) << "not listed";
  EXPECT_TRUE(capture.contains("tel"));

  Bundle::main().setObjectForInfoDictionaryKey("LSApplicationQueriesSchemes",
                                               nlohmann::ordered_json{"TEL", "myapp", 7});
  EXPECT_TRUE(app.canOpenURL(tel)) << "listed, in any case, and installed";
  EXPECT_FALSE(app.canOpenURL(custom)) << "listed but not installed";
  testenv::AppControls::setInstalledURLSchemes({"myapp"});
  EXPECT_TRUE(app.canOpenURL(custom));
  EXPECT_FALSE(app.canOpenURL(*URL::fromString("relative/path")));
}

TEST_F(ApplicationTest, OpenURLWithUniversalLinksOnlyOpensOnlyClaimedHosts) {
  auto& app = Application::shared();
  const nlohmann::ordered_json strict{{kApplicationOpenURLOptionUniversalLinksOnly, true}};
  std::vector<bool> results;
  auto record = [&](bool opened) { results.push_back(opened); };
  app.openURL(*URL::fromString("https://shop.example/item"), strict, record);
  testenv::AppControls::setUniversalLinkHosts({"Shop.Example"});
  app.openURL(*URL::fromString("https://shop.example/item"), strict, record);
  app.openURL(*URL::fromString("https://other.example/"), nlohmann::ordered_json::object(), record);
  app.openURL(*URL::fromString("unknown://x"), nlohmann::ordered_json::object(), record);
  EXPECT_TRUE(results.empty()) << "completions come on a later turn";
  env.runUntilIdle();
  EXPECT_EQ(results, (std::vector<bool>{false, true, true, false}));
  EXPECT_EQ(app.openedURLs().size(), 2u);
}

TEST_F(ApplicationTest, SupportedOrientationsComeFromTheDelegateElseTheInformationDictionary) {
  auto& app = Application::shared();
  EXPECT_EQ(app.supportedInterfaceOrientationsForWindow(nullptr), kInterfaceOrientationMaskAllButUpsideDown);
  Bundle::main().setObjectForInfoDictionaryKey("UISupportedInterfaceOrientations",
                                               nlohmann::ordered_json{"UIInterfaceOrientationLandscapeLeft"});
  EXPECT_EQ(app.supportedInterfaceOrientationsForWindow(nullptr), kInterfaceOrientationMaskLandscapeLeft);
  Bundle::main().setObjectForInfoDictionaryKey("UISupportedInterfaceOrientations", "junk");
  EXPECT_EQ(app.supportedInterfaceOrientationsForWindow(nullptr), kInterfaceOrientationMaskAll);
  auto delegate = std::make_shared<RecordingDelegate>(log);
  delegate->mask = kInterfaceOrientationMaskPortrait;
  app.setDelegate(delegate);
  EXPECT_EQ(app.supportedInterfaceOrientationsForWindow(nullptr), kInterfaceOrientationMaskPortrait);
}

TEST_F(ApplicationTest, RotationPostsWillAndDidWithOrientationsAndSwapsTheScreen) {
  auto window = Window::create();
  window->setRootViewController(ViewController::create());
  window->makeKeyAndVisible();
  std::vector<std::pair<std::string, std::int64_t>> seen;
  auto& center = NotificationCenter::defaultCenter();
  for (const char* name : {kApplicationWillChangeStatusBarOrientationNotification,
                           kApplicationDidChangeStatusBarOrientationNotification}) {
    tokens.push_back(center.addObserver(name, nullptr, nullptr, [&](const Notification& n) {
      seen.emplace_back(n.name(), n.userInfo()[kApplicationStatusBarOrientationUserInfoKey].get<std::int64_t>());
    }));
  }
  auto& app = Application::shared();
  testenv::AppControls::rotate(kInterfaceOrientationLandscapeRight);
  EXPECT_EQ(app.statusBarOrientation(), kInterfaceOrientationLandscapeRight);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::int64_t>>{
                      {kApplicationWillChangeStatusBarOrientationNotification, 3},
                      {kApplicationDidChangeStatusBarOrientationNotification, 1}}));
  EXPECT_EQ(window->frame(), Rect(0, 0, 667, 375));
  EXPECT_EQ(app.statusBarFrame(), Rect(0, 0, 667, 20));
  app.setStatusBarHidden(true);
  EXPECT_EQ(app.statusBarFrame(), Rect::zero());

  seen.clear();
  testenv::AppControls::rotate(kInterfaceOrientationPortraitUpsideDown);  // not allowed
  testenv::AppControls::rotate(0);
  EXPECT_TRUE(seen.empty());
}

// The host's main returns as its main run loop stops, and the process ends next: a thread
// still rendering then (its owner never stopped it) has ended by the time main returns.
TEST_F(ApplicationTest, TheApplicationsMainEndsThePlatformThreadsStillRunning) {
  struct QuittingHost : ApplicationDelegate {
    bool applicationDidFinishLaunching(Application&) override {
      renderer->start();
      RunLoop::main().stop();
      return true;
    }
    std::shared_ptr<Thread> renderer = Thread::create("example.render", [] { Thread::runCurrentRunLoop(); });
  };
  auto host = std::make_shared<QuittingHost>();
  EXPECT_EQ(applicationMain(host), 0);
  EXPECT_TRUE(host->renderer->state() == Thread::State::Finished) << "the thread runs on past the host's main";
}

}  // namespace
}  // namespace platform
