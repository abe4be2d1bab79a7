#include "platform/ui/StoreProductViewController.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/MessageComposeViewController.h"
#include "platform/ui/SafariViewController.h"
#include "platform/ui/Window.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

// Tests of the system controllers: the store sheet, the Safari view controller and the
// composers, with the outcomes the test controls script.
class SystemControllersTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    window = Window::create();
    window->setRootViewController(ViewController::create());
    window->makeKeyAndVisible();
    root = window->rootViewController();
    env.runUntilIdle();
  }
  std::shared_ptr<Window> window;
  std::shared_ptr<ViewController> root;
};

struct SheetDelegate : StoreProductViewControllerDelegate {
  void productViewControllerDidFinish(StoreProductViewController& sheet) override {
    ++finished;
    if (auto presenter = sheet.presentingViewController()) presenter->dismissViewControllerAnimated(true);
  }
  int finished = 0;
};

TEST_F(SystemControllersTest, StoreSheetLoadsScriptedProductsAndReportsDone) {
  StoreProductViewController::setProductLoads("42", false);
  StoreProductViewController::setLoadDelay(2);
  auto sheet = StoreProductViewController::create();
  auto delegate = std::make_shared<SheetDelegate>();
  sheet->setDelegate(delegate);

  std::vector<std::pair<bool, std::int64_t>> results;
  auto record = [&](bool ok, ErrorPtr error) { results.emplace_back(ok, error ? error->code() : -1); };
  sheet->loadProductWithParameters({{kStoreProductParameterITunesItemIdentifier, 123456}}, record);
  root->presentViewController(sheet, true);
  env.advance(1.9);
  EXPECT_TRUE(results.empty());
  env.advance(0.2);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0], std::make_pair(true, std::int64_t{-1}));

  sheet->loadProductWithParameters({{kStoreProductParameterITunesItemIdentifier, "42"}}, record);
  sheet->loadProductWithParameters(nlohmann::ordered_json("not a dictionary"), record);
  env.advance(2);
  ASSERT_EQ(results.size(), 3u);
  for (std::size_t i = 1; i < 3; ++i) EXPECT_EQ(results[i], std::make_pair(false, std::int64_t{0}));

  EXPECT_TRUE(testenv::AppControls::finishStoreSheet());
  EXPECT_EQ(delegate->finished, 1);
  env.advance(0.3);
  EXPECT_FALSE(root->presentedViewController());
  EXPECT_FALSE(testenv::AppControls::finishStoreSheet());
}

struct BrowserDelegate : SafariViewControllerDelegate {
  void safariViewControllerDidFinish(SafariViewController& b) override {
    presentedWhenTold = static_cast<bool>(b.presentingViewController());
    ++finished;
  }
  int finished = 0;
  bool presentedWhenTold = true;
};

TEST_F(SystemControllersTest, SafariControllerIsFoundByNameOnlyWhenRegistered) {
  auto& registry = ClassRegistry::shared();
  SafariViewController::registerClass();
  auto factory = registry.create<SafariViewController::Factory>(SafariViewController::kClassName);
  ASSERT_TRUE(factory);
  EXPECT_FALSE(factory->create(*URL::fromString("tel:123")));
  auto browser = factory->create(*URL::fromString("HTTPS://example.com/landing"));
  ASSERT_TRUE(browser);

  auto delegate = std::make_shared<BrowserDelegate>();
  browser->setDelegate(delegate);
  root->presentViewController(browser, true);
  env.advance(0.3);
  EXPECT_TRUE(testenv::AppControls::finishSafari());
  env.advance(0.3);
  EXPECT_EQ(delegate->finished, 1);
  EXPECT_FALSE(delegate->presentedWhenTold) << "it dismisses itself first";
  EXPECT_FALSE(root->presentedViewController());
}

struct ComposeDelegate : MailComposeViewControllerDelegate, MessageComposeViewControllerDelegate {
  void mailComposeControllerDidFinishWithResult(MailComposeViewController&, MailComposeResult r, ErrorPtr) override {
    mail.push_back(r);
  }
  void messageComposeViewControllerDidFinishWithResult(MessageComposeViewController&, MessageComposeResult r) override {
    messages.push_back(r);
  }
  std::vector<MailComposeResult> mail;
  std::vector<MessageComposeResult> messages;
};

TEST_F(SystemControllersTest, ComposersExistOnlyWhereTheDeviceCanSendAndReportTheUsersAnswer) {
  MailComposeViewController::setCanSendMail(false);
  EXPECT_FALSE(MailComposeViewController::create());
  MailComposeViewController::setCanSendMail(true);
  auto mail = MailComposeViewController::create();
  auto delegate = std::make_shared<ComposeDelegate>();
  mail->setMailComposeDelegate(delegate);
  EXPECT_FALSE(testenv::AppControls::finishMailComposer(MailComposeResult::Sent)) << "not on screen";
  root->presentViewController(mail, true);
  env.advance(0.3);
  EXPECT_TRUE(testenv::AppControls::finishMailComposer(MailComposeResult::Sent));
  EXPECT_EQ(delegate->mail, std::vector<MailComposeResult>{MailComposeResult::Sent});
  EXPECT_EQ(root->presentedViewController(), mail) << "the delegate dismisses, not the composer";
  root->dismissViewControllerAnimated(false);
  env.runUntilIdle();

  MessageComposeViewController::setCanSendSubject(false);
  auto text = MessageComposeViewController::create();
  text->setSubject("ignored");
  EXPECT_FALSE(text->subject());
  text->setMessageComposeDelegate(delegate);
  root->presentViewController(text, false);
  env.runUntilIdle();
  EXPECT_TRUE(testenv::AppControls::finishMessageComposer(MessageComposeResult::Cancelled));
  EXPECT_EQ(delegate->messages, std::vector<MessageComposeResult>{MessageComposeResult::Cancelled});
}

}  // namespace
}  // namespace platform
