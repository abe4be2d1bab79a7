#include "sdk/presentation/ZUMMailComposeDelegateProxy.h"
#include "sdk/presentation/ZUMMessageComposeDelegateProxy.h"
#include "sdk/presentation/ZUMOverlayProxy.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"

namespace {

using presentation_testing::Log;

struct Finisher : platform::MailComposeViewControllerDelegate, platform::MessageComposeViewControllerDelegate {
  explicit Finisher(std::shared_ptr<Log> log) : log(std::move(log)) {}
  void mailComposeControllerDidFinishWithResult(platform::MailComposeViewController&,
                                                platform::MailComposeResult result, platform::ErrorPtr) override {
    log->push_back("mail finished " + std::to_string(static_cast<int>(result)));
  }
  void messageComposeViewControllerDidFinishWithResult(platform::MessageComposeViewController&,
                                                       platform::MessageComposeResult result) override {
    log->push_back("message finished " + std::to_string(static_cast<int>(result)));
  }
  std::shared_ptr<Log> log;
};

class ZUMComposeDelegateProxyTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    platform::MailComposeViewController::setCanSendMail(true);
    platform::MessageComposeViewController::setCanSendText(true);
  }
  // Shows the composer in the slot's session, as the opener does.
  void show(const std::shared_ptr<platform::ViewController>& composer) {
    auto overlay = ZUMOverlayProxy::create(composer);
    overlay->setSlot(slot);
    overlay->presentFromViewController(host, nullptr);
    env.advance(1);
  }
  std::shared_ptr<Finisher> finisher = std::make_shared<Finisher>(log);
};

TEST_F(ZUMComposeDelegateProxyTest, TheMailFinishGoesToALiveDelegateElseTheProxyClosesTheComposerAndLetsGo) {
  auto composer = platform::MailComposeViewController::create();
  auto proxy = ZUMMailComposeDelegateProxy::associatedDelegateProxyForController(composer);
  proxy->setMailComposeDelegate(finisher);
  show(composer);
  composer->finishWithResult(platform::MailComposeResult::Sent);
  env.advance(1);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "mail finished 2"}));
  EXPECT_EQ(host->presentedViewController(), composer) << "the delegate closes it";

  log->clear();
  std::weak_ptr<ZUMMailComposeDelegateProxy> weak = proxy;
  proxy.reset();
  finisher.reset();
  EXPECT_FALSE(weak.expired()) << "kept alive while attached";
  composer->finishWithResult(platform::MailComposeResult::Cancelled);
  env.advance(1);
  EXPECT_EQ(*log, (Log{"slot.willDismiss", "didDismiss", "slot.didDismiss"}));
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(composer->mailComposeDelegate(), nullptr);
}

TEST_F(ZUMComposeDelegateProxyTest, TheMessageProxyDoesTheSameAndANilComposerMakesAFreeProxy) {
  auto composer = platform::MessageComposeViewController::create();
  auto proxy = ZUMMessageComposeDelegateProxy::associatedDelegateProxyForController(composer);
  proxy->setMessageComposeDelegate(finisher);
  show(composer);
  composer->finishWithResult(platform::MessageComposeResult::Failed);
  env.advance(1);
  EXPECT_EQ(log->back(), "message finished 2");
  std::weak_ptr<ZUMMessageComposeDelegateProxy> weak = proxy;
  proxy.reset();
  finisher.reset();
  composer->finishWithResult(platform::MessageComposeResult::Sent);
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(log->back(), "slot.didDismiss");

  std::weak_ptr<ZUMMessageComposeDelegateProxy> free =
      ZUMMessageComposeDelegateProxy::associatedDelegateProxyForController(nullptr);
  EXPECT_TRUE(free.expired());
  // Moving to another composer lets the first one go.
  auto first = platform::MailComposeViewController::create();
  auto second = platform::MailComposeViewController::create();
  auto mail = ZUMMailComposeDelegateProxy::associatedDelegateProxyForController(first);
  mail->setMailComposeViewController(second);
  EXPECT_EQ(first->mailComposeDelegate(), nullptr);
  EXPECT_EQ(second->mailComposeDelegate(), mail);
  auto other = std::make_shared<Finisher>(log);
  mail->setMailComposeDelegate(other);
  mail->stopProxying();
  EXPECT_EQ(second->mailComposeDelegate(), nullptr);
  EXPECT_EQ(mail->mailComposeViewController(), nullptr);
  EXPECT_EQ(mail->mailComposeDelegate(), nullptr);
}

}  // namespace
