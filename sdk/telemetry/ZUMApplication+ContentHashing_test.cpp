#include "sdk/foundation/ZUMApplication.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMApplication+ContentHashing.h"
#include "sdk/telemetry/ZUMTelemetry.h"
#include "sdk/telemetry/ZUMViewHierarchyTraverser.h"
#include "testing/TestEnvironment.h"

namespace {

constexpr const char* kHello = "8z44Ug==";  // of "Hello, World!"
constexpr const char* kCyrillic = "FSEhEd3JxR4tggOm0Ns6dfRK9qg=";
constexpr const char* kCyrillicText = "Съешь же ещё этих мягких французских булок, да выпей чаю";

class ZUMApplicationContentHashingTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    EXPECT_TRUE(platform::UserDefaults::standard().setObject("5", kZUMTraversalIntervalKey));
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    text->setText("Hello, World!");
    controller->view()->addSubview(platform::View::create());
    controller->view()->subviews().front()->addSubview(text);
  }
  void TearDown() override { stopContentHashing(*hub); }

  std::optional<std::string> fingerprint() { return fingerprintWithServedPenaltyDeduction(*hub); }

  std::shared_ptr<ZUMApplication> hub = ZUMApplication::sharedInstance();
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> controller = platform::ViewController::create();
  std::shared_ptr<platform::TextView> text = platform::TextView::create();
};

TEST_F(ZUMApplicationContentHashingTest, WalksOnItsIntervalAndServesTheBestRecentFingerprint) {
  startContentHashing(*hub);
  startContentHashing(*hub);  // running: nothing new
  env.advance(4.4);
  EXPECT_EQ(fingerprint(), std::nullopt) << "no walk before the first tick";
  env.advance(1.2);
  env.advance(5);                    // an unchanged screen: only the newer content stays
  EXPECT_EQ(fingerprint(), kHello);  // score 13 + 2, now -85
  EXPECT_EQ(fingerprint(), std::nullopt);

  text->setText(kCyrillicText);
  env.advance(5);
  stopContentHashing(*hub);
  text->setText("A screen after hashing stopped");
  env.advance(20);
  EXPECT_EQ(fingerprint(), kCyrillic) << "the queue outlives a stop";
  EXPECT_EQ(fingerprint(), std::nullopt);

  startContentHashing(*hub);
  EXPECT_EQ(fingerprint(), std::nullopt) << "a new start, a new empty queue";
  env.advance(5.6);
  EXPECT_EQ(fingerprint(), "CYsG_Q==");
}

TEST_F(ZUMApplicationContentHashingTest, HiddenWindowEmptyScreenOrNoCapacityGiveNone) {
  window->setHidden(true);
  startContentHashing(*hub);
  env.advance(5.6);
  EXPECT_EQ(fingerprint(), std::nullopt);
  window->setHidden(false);
  text->setText("short\nlines");  // scores, but no paragraph
  env.advance(5);
  EXPECT_EQ(fingerprint(), std::nullopt);

  stopContentHashing(*hub);
  platform::UserDefaults::standard().setInteger(0, kZUMContentQueueMaximumCapacityKey);
  text->setText("Hello, World!");
  startContentHashing(*hub);
  env.advance(11);
  EXPECT_EQ(fingerprint(), std::nullopt);
}

TEST_F(ZUMApplicationContentHashingTest, AdResponsesSwitchItAndRequestsCarryTheFingerprint) {
  ZUMRegisterTelemetry();
  ZUMAdTelemetry::shared()->startContentHashing();
  env.advance(5.6);
  auto slot = ZUMSlot::create();
  const auto parameters = slot->requestParameters();
  ASSERT_TRUE(parameters.contains("content_info"));
  EXPECT_EQ(parameters["content_info"], (nlohmann::ordered_json{{"fingerprint", kHello}, {"v", 1}}));
  // Crash reporting is on until the host opts out; what telemetry does not have yet
  // answers as if absent.
  EXPECT_FALSE(parameters.contains("cre"));
  ZUMOptOutOfCrashReporting();
  EXPECT_EQ(slot->requestParameters().value("cre", ""), "0");
  EXPECT_FALSE(parameters.contains("kqp_app_id"));
  const std::vector<platform::URL> urls{*platform::URL::fromString("https://example.com/imp")};
  EXPECT_EQ(ZUMAdTelemetry::shared()->trackingURLsWithAdEventID(urls, "_ai"), urls);
  auto recorder = ZUMSlotTelemetry::shared()->makeTimeRecorder("load");
  ASSERT_TRUE(recorder);
  EXPECT_EQ(recorder->action(), "load");
  EXPECT_NE(ZUMSlotTelemetry::shared()->makeTimeRecorder("load"), recorder) << "a new one for every load";
  EXPECT_TRUE(ZUMCurrentStartupHooks().startContentHashing);
  EXPECT_EQ(platform::UserDefaults::standard().stringForKey("/vantor/ads/content_url_fingerprint"), kHello);

  ZUMAdTelemetry::shared()->stopContentHashing();
  text->setText(kCyrillicText);
  env.advance(20);
  // The only content is used up; the stored fingerprint stands in.
  EXPECT_EQ(slot->requestParameters()["content_info"]["fingerprint"], kHello);
  EXPECT_EQ(fingerprint(), std::nullopt);
}

TEST_F(ZUMApplicationContentHashingTest, WebPagesGiveTheirBodyText) {
  platform::URLLoading::setLoopbackOnlyForTesting(true);
  auto web = platform::WebView::create({0, 0, 320, 200});
  web->loadHTMLString("<html><body>Hello, World!</body></html>", platform::URL::fromString("https://example.com/"));
  ASSERT_TRUE(env.runUntil([&] { return !web->isLoading(); }));
  text->removeFromSuperview();
  controller->view()->addSubview(web);
  startContentHashing(*hub);
  env.advance(5.6);
  EXPECT_EQ(fingerprint(), kHello);
  EXPECT_EQ(web->evaluatedScripts(), std::vector<std::string>{"document.body.innerText"});
  platform::URLLoading::setLoopbackOnlyForTesting(false);
}

// Real threads: walks run one after another while another thread takes fingerprints, as
// requests built off the main thread do.
TEST(ZUMApplicationContentHashingThreadedTest, RequestsFromAnotherThreadWhileWalksRun) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  platform::UserDefaults::standard().setInteger(3600, kZUMTraversalIntervalKey);  // the test walks
  auto window = platform::Window::create();
  auto controller = platform::ViewController::create();
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  auto text = platform::TextView::create();
  text->setText("Hello, World!");
  controller->view()->addSubview(text);
  auto hub = ZUMApplication::sharedInstance();
  startContentHashing(*hub);
  auto traverser = ZUMViewHierarchyTraverser::create();
  std::atomic<int> served{0};
  std::atomic<bool> done{false};
  std::thread requester([&] {
    while (!done) {
      if (fingerprintWithServedPenaltyDeduction(*hub) == kHello) ++served;
      std::this_thread::yield();
    }
  });
  int walks = 0;
  // Each walk of the unchanged screen replaces the used-up content with a fresh one; the
  // next walk starts once the requester has used it.
  EXPECT_TRUE(env.runUntil([&] {
    if (served == walks && walks < 3 && !traverser->traversing()) {
      ZUMContentHashingWalk(*traverser, controller->view(), hub->serialQueue(), hub->contentQueue());
      ++walks;
    }
    return served == 3 && !traverser->traversing();
  }));
  done = true;
  requester.join();
  stopContentHashing(*hub);
}

}  // namespace
