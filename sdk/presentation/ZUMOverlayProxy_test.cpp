#include "sdk/presentation/ZUMOverlayProxy.h"

#include "platform/ui/SafariViewController.h"
#include "platform/ui/View.h"
#include "sdk/presentation/ZUMIntermission.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMUnclickableView.h"
#include "sdk/presentation/ZUMViewController.h"
#include "testing/AppControls.h"

namespace {

using presentation_testing::Log;

using ZUMOverlayProxyTest = presentation_testing::PresentationTest;

TEST_F(ZUMOverlayProxyTest, OneProxyPerControllerForTheControllersLife) {
  auto sheet = platform::ViewController::create();
  auto proxy = ZUMOverlayProxy::create(sheet);
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(ZUMOverlayProxy::create(sheet), nullptr);
  EXPECT_EQ(ZUMOverlayProxy::overlayProxyForViewController(sheet), proxy);
  EXPECT_EQ(ZUMOverlayProxy::create(nullptr), nullptr);
  std::weak_ptr<ZUMOverlayProxy> weak = proxy;
  proxy.reset();
  EXPECT_FALSE(weak.expired());
  sheet.reset();
  EXPECT_TRUE(weak.expired());
}

// An interstitial and a sheet over it: one session, begun once and ended once.
TEST_F(ZUMOverlayProxyTest, SharesTheSessionOfAnSDKScreen) {
  auto screen = ZUMViewController::create();
  screen->setSlot(slot);
  screen->presentFromViewController(host, nullptr);
  env.advance(1);
  auto sheet = platform::ViewController::create();
  auto proxy = ZUMOverlayProxy::create(sheet);
  proxy->setSlot(slot);
  proxy->presentFromViewController(screen, mark("sheet shown"));
  proxy->presentFromViewController(screen, mark("shown twice"));  // already in the session
  env.advance(1);
  EXPECT_EQ(proxy->intermission(), screen->intermission());

  proxy->relinquishScreenWithCompletion(mark("sheet gone"));
  env.runUntilIdle();
  EXPECT_EQ(count("sheet gone"), 0) << "animated";
  env.advance(1);
  screen->relinquishScreenWithCompletion(nullptr);
  env.advance(1);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "sheet shown", "sheet gone", "slot.willDismiss", "didDismiss",
                       "slot.didDismiss"}));
  EXPECT_EQ(proxy->intermission(), nullptr);
}

// A browser that closed itself, or that is gone altogether, still ends its part.
TEST_F(ZUMOverlayProxyTest, AControllerThatLeftByItselfStillEndsTheSession) {
  auto browser = platform::SafariViewController::create(*platform::URL::fromString("https://example.com/landing"));
  auto proxy = ZUMOverlayProxy::create(browser);
  proxy->setSlot(slot);
  proxy->presentFromViewController(host, nullptr);
  env.advance(1);
  testenv::AppControls::background();
  testenv::AppControls::foreground();
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), browser) << "a proxy stays up on return to the foreground";
  browser->tapDone();
  env.advance(1);
  proxy->relinquishScreenWithCompletion(mark("relinquished"));
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "relinquished", "didDismiss",
                       "slot.didDismiss"}));

  log->clear();
  proxy->presentFromViewController(host, nullptr);
  env.advance(1);
  auto session = proxy->intermission();
  browser->tapDone();
  proxy.reset();
  browser.reset();
  env.advance(1);
  EXPECT_EQ(count("didDismiss"), 1);
  EXPECT_TRUE(session->activeParticipants().empty());
}

TEST_F(ZUMOverlayProxyTest, NothingStaysBehindWhenNothingIsShown) {
  auto sheet = platform::ViewController::create();
  auto proxy = ZUMOverlayProxy::create(sheet);
  proxy->setSlot(slot);
  proxy->presentFromViewController(nullptr, mark("shown"));
  EXPECT_TRUE(log->empty());
  host->presentViewController(platform::ViewController::create(), false);
  env.advance(1);
  proxy->presentFromViewController(host, mark("shown"));  // the host already presents
  env.advance(1);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss"}));
  EXPECT_EQ(proxy->intermission(), nullptr);
}

TEST_F(ZUMOverlayProxyTest, GivingBackDuringThePresentationWaitsForIt) {
  auto sheet = platform::ViewController::create();
  auto proxy = ZUMOverlayProxy::create(sheet);
  proxy->setSlot(slot);
  proxy->presentFromViewController(host, mark("shown"));
  proxy->relinquishScreenWithCompletion(mark("gone"));
  env.advance(2);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "shown", "gone", "didDismiss",
                       "slot.didDismiss"}));
  EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST_F(ZUMOverlayProxyTest, WithoutASlotPresentsOutsideAnySession) {
  auto sheet = platform::ViewController::create();
  auto proxy = ZUMOverlayProxy::create(sheet);
  proxy->presentFromViewController(host, mark("shown"));
  env.runUntilIdle();
  EXPECT_TRUE(log->empty()) << "animated";
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), sheet);
  EXPECT_EQ(*log, Log{"shown"});
}

TEST_F(ZUMOverlayProxyTest, UnclickableViewPassesTouchesThrough) {
  auto backdrop = ZUMUnclickableView::create({0, 0, 100, 100});
  auto ad = platform::View::create({10, 10, 20, 20});
  backdrop->addSubview(ad);
  EXPECT_EQ(backdrop->hitTest({50, 50}), nullptr);
  EXPECT_EQ(backdrop->hitTest({15, 15}), ad);
}

}  // namespace
