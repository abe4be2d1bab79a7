#include <nlohmann/json.hpp>

#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/MessageComposeViewController.h"
#include "sdk/presentation/ZUMMRAIDPageTestSupport.h"
#include "sdk/presentation/ZUMMailComposeDelegateProxy.h"
#include "sdk/presentation/ZUMOpenerScreens.h"
#include "sdk/presentation/ZUMViewController.h"
#include "sdk/rendering/ZUMOpener.h"

namespace {

using presentation_testing::Log;
using Strings = std::vector<std::string>;

const Log kSessionBegins = {"willPresent", "slot.willPresent"};
const Log kSessionEnds = {"slot.willDismiss", "didDismiss", "slot.didDismiss"};

class ZUMOpenerComposersTest : public presentation_testing::MRAIDPageTest {
 protected:
  void SetUp() override {
    MRAIDPageTest::SetUp();
    platform::MailComposeViewController::setCanSendMail(true);
    platform::MessageComposeViewController::setCanSendText(true);
  }
  // The ad follows a link, as a tap on it would.
  void follow(const std::string& url) { run("location.href = '" + url + "';"); }
};

TEST_F(ZUMOpenerComposersTest, AMailLinkFillsTheComposerWhichOpensAndClosesOneSession) {
  const struct {
    const char* url;
    Strings to, cc, bcc;
    const char* subject;
    const char* body;
  } rows[] = {
      {"mailto:a@mail.example?cc=b@mail.example,c@mail.example&subject=Hi&body=Hello%20there",
       {"a@mail.example"},
       {"b@mail.example", "c@mail.example"},
       {},
       "Hi",
       "Hello there"},
      {"mailto:a@mail.example", {"a@mail.example"}, {}, {}, "", ""},
      {"mailto:a%40mail.example?SUBJECT=Up&Bcc=d@mail.example", {"a%40mail.example"}, {}, {"d@mail.example"}, "Up", ""},
  };
  for (const auto& row : rows) {
    follow(row.url);
    auto composer = testenv::AppControls::topmost<platform::MailComposeViewController>();
    ASSERT_NE(composer, nullptr) << row.url;
    EXPECT_EQ(composer->toRecipients(), row.to) << row.url;
    EXPECT_EQ(composer->ccRecipients(), row.cc) << row.url;
    EXPECT_EQ(composer->bccRecipients(), row.bcc) << row.url;
    EXPECT_EQ(composer->subject(), row.subject) << row.url;
    EXPECT_EQ(composer->messageBody(), row.body) << row.url;
    EXPECT_FALSE(composer->isMessageBodyHTML()) << row.url;
    EXPECT_EQ(composer->modalTransitionStyle(), platform::ModalTransitionStyle::CoverVertical) << row.url;
    EXPECT_EQ(std::exchange(*log, {}), kSessionBegins) << row.url;
    std::weak_ptr<platform::MailComposeViewController> weak = composer;
    composer.reset();
    ASSERT_TRUE(testenv::AppControls::finishMailComposer(platform::MailComposeResult::Sent));
    env.advance(1);
    EXPECT_EQ(std::exchange(*log, {}), kSessionEnds) << row.url;
    EXPECT_EQ(testenv::AppControls::topmost<platform::MailComposeViewController>(), nullptr) << row.url;
    EXPECT_TRUE(weak.expired()) << "composer and its delegate proxy let go: " << row.url;
  }
  EXPECT_EQ(heard().find("error"), std::string::npos);
}

TEST_F(ZUMOpenerComposersTest, AMessageLinkFillsTheComposer) {
  const struct {
    const char* url;
    bool canSendSubject;
    Strings recipients;
    std::optional<std::string> body, subject;
  } rows[] = {
      {"sms:5550101,5550102?body=Hi%20there", true, {"5550101", "5550102"}, "Hi there", std::nullopt},
      {"sms:5550103", true, {"5550103"}, std::nullopt, std::nullopt},
      {"sms:5550104?subject=S&body=B", true, {"5550104"}, "B", "S"},
      {"sms:5550105?subject=S", false, {"5550105"}, std::nullopt, std::nullopt},
  };
  for (const auto& row : rows) {
    platform::MessageComposeViewController::setCanSendSubject(row.canSendSubject);
    follow(row.url);
    auto composer = testenv::AppControls::topmost<platform::MessageComposeViewController>();
    ASSERT_NE(composer, nullptr) << row.url;
    EXPECT_EQ(composer->recipients(), row.recipients) << row.url;
    EXPECT_EQ(composer->body(), row.body) << row.url;
    EXPECT_EQ(composer->subject(), row.subject) << row.url;
    composer.reset();
    ASSERT_TRUE(testenv::AppControls::finishMessageComposer(platform::MessageComposeResult::Cancelled));
    env.advance(1);
    Log expected = kSessionBegins;
    expected.insert(expected.end(), kSessionEnds.begin(), kSessionEnds.end());
    EXPECT_EQ(std::exchange(*log, {}), expected) << row.url;
  }
}

TEST_F(ZUMOpenerComposersTest, ADeviceThatCannotSendStopsSilently) {
  platform::MailComposeViewController::setCanSendMail(false);
  platform::MessageComposeViewController::setCanSendText(false);
  follow("mailto:a@mail.example");
  follow("sms:5550101");
  EXPECT_EQ(heard(), "");
  EXPECT_TRUE(log->empty());
}

// A full-screen ad controller on top that stays in transition (interaction off).
class ZUMComposerRetryTest : public ZUMOpenerComposersTest {
 protected:
  void SetUp() override {
    ZUMOpenerComposersTest::SetUp();
    busy->setSlot(slot);
    busy->presentFromViewController(host, nullptr);
    env.advance(1);
    busy->view()->setUserInteractionEnabled(false);
    composer = platform::MailComposeViewController::create();
    proxy = ZUMMailComposeDelegateProxy::associatedDelegateProxyForController(composer);
    opener = adView->opener();
    opener->setViewController(host);
    opener->setAdView(adView);
    log->clear();
  }
  bool composerShown() const { return busy->presentedViewController() == composer; }

  std::shared_ptr<ZUMViewController> busy = ZUMViewController::create();
  std::shared_ptr<platform::MailComposeViewController> composer;
  std::weak_ptr<ZUMMailComposeDelegateProxy> proxy;
  std::shared_ptr<ZUMOpener> opener;
  const platform::URL url = *platform::URL::fromString("mailto:a@mail.example");
};

TEST_F(ZUMComposerRetryTest, TheComposerWaitsForTheControllerOnTopInQuarterSeconds) {
  ZUMOpenerScreens::presentComposerController(*opener, composer, url);
  env.advance(1.1);
  EXPECT_FALSE(composerShown());
  busy->view()->setUserInteractionEnabled(true);
  env.advance(0.2);
  EXPECT_TRUE(composerShown());
  EXPECT_TRUE(testenv::AppControls::finishMailComposer(platform::MailComposeResult::Cancelled));
  env.advance(1);
  EXPECT_FALSE(composerShown());
}

TEST_F(ZUMComposerRetryTest, TheComposerGivesUpAfterItsLimitAndLetsItsProxyGo) {
  ZUMOpenerScreens::presentComposerController(*opener, composer, url);
  env.advance(0.25 * ZUMOpenerScreens::kComposerRetryLimit - 0.1);
  EXPECT_FALSE(proxy.expired()) << "still waiting";
  env.advance(0.2);
  EXPECT_TRUE(proxy.expired());
  busy->view()->setUserInteractionEnabled(true);
  env.advance(1);
  EXPECT_FALSE(composerShown());
}

TEST_F(ZUMComposerRetryTest, TheComposerStopsWaitingOnceTheAdIsGone) {
  ZUMOpenerScreens::presentComposerController(*opener, composer, url);
  env.advance(0.3);
  opener->setAdView(nullptr);
  env.advance(0.3);
  EXPECT_TRUE(proxy.expired());
  busy->view()->setUserInteractionEnabled(true);
  env.advance(1);
  EXPECT_FALSE(composerShown());
  EXPECT_TRUE(log->empty());
}

}  // namespace
