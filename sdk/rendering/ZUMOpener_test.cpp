#include "sdk/rendering/ZUMOpener.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"
#include "sdk/network/ZUMAutoClickProtection.h"
#include "sdk/network/ZUMNavigationBlockedReporting.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMSafariViewControllerSupport.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using platform::URL;
using namespace std::chrono_literals;

// The slot's owner and event delegate, and the SDK-core page's blocked-navigation
// reports, in one log.
struct Owner : ZUMSlotDelegate, ZUMSlotAdEventDelegate, ZUMNavigationBlockedReporting {
  ZUMImplemented slotDidReceiveAdClick(ZUMSlot&) override { return log.push_back("click"), kZUMImplemented; }
  ZUMImplemented slotWillLeaveApplication(ZUMSlot&) override { return log.push_back("leave"), kZUMImplemented; }
  void navigationBlocked(const Json& info) override { log.push_back("blocked " + info.value("navigationURL", "")); }
  std::vector<std::string> log;
};

class ZUMOpenerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMNavigationBlockedReporting::setShared(owner);
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setSlotDelegate(owner);
    slot->setAdEventDelegate(owner);
    slot->setAd(ZUMAd::create());
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    opener = slot->adViewDelegate()->opener();
    opener->setAdView(adView);
    opener->setNavigationRequest(platform::URLRequest(*URL::fromString("https://landing.example.com/nav")));
    testenv::AppControls::setInstalledURLSchemes({"http", "https", "tel", "facetime", "sms", "mailto", "itms-apps"});
  }
  void TearDown() override {
    ZUMSlotRendering::setShared(nullptr);
    ZUMNavigationBlockedReporting::setShared(nullptr);
  }
  // The owner's log so far, then "open URL" for each URL opened outside the application.
  std::vector<std::string> taken() {
    env.runUntilIdle();
    const auto& opened = platform::Application::shared().openedURLs();
    for (; seenOpened < opened.size(); ++seenOpened)
      owner->log.push_back("open " + opened[seenOpened].absoluteString());
    return std::exchange(owner->log, {});
  }
  static std::shared_ptr<platform::AlertView> frontAlert() {
    const auto alerts = platform::AlertView::visibleAlerts();
    return alerts.empty() ? nullptr : alerts.back();
  }
  std::vector<std::string> pageMessages() {
    std::vector<std::string> messages;
    for (const auto& script :
         std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine()->evaluatedScripts()) {
      if (script.rfind("QYRA_ReceiveMessage(", 0) == 0) messages.push_back(script);
    }
    return messages;
  }
  void loadPage() {
    adView->loadHTMLString("<p>ad</p>", URL::fromString("https://ads.example.com/"));
    env.runUntil([&] { return !adView->isLoading(); });
    env.runUntilIdle();
  }

  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> adView;
  std::shared_ptr<ZUMOpener> opener;
  std::size_t seenOpened = platform::Application::shared().openedURLs().size();
};

TEST_F(ZUMOpenerTest, AnotherApplicationOpensOnceWithOneClickAndLeavingIsReportedOnlyWhenItOpened) {
  opener->openApp(URL::fromString("https://landing.example.com/a"));
  EXPECT_EQ(taken(), (std::vector<std::string>{"click", "leave", "open https://landing.example.com/a"}));
  EXPECT_TRUE(opener->didOpenAnotherApplication());
  EXPECT_EQ(slot->ad()->statistics()->objectForKey("pcc"), Json(1));
  EXPECT_EQ(slot->ad()->statistics()->objectForKey("pclb"), Json(true));

  // Nothing installed opens it: the click counts, but the user never left.
  opener->setDidOpenAnotherApplication(false);
  opener->openApp(URL::fromString("unknown-app://x"));
  EXPECT_EQ(taken(), std::vector<std::string>{"click"});
  EXPECT_FALSE(opener->didOpenAnotherApplication());

  // No URL, or one that would act inside the application: a refusal, nothing recorded.
  for (const char* url : {"file:///etc/hosts", "JavaScript:alert(1)", "about:blank", "data:text/html,x"}) {
    opener->openApp(URL::fromString(url));
    EXPECT_TRUE(taken().empty()) << url;
  }
  opener->openApp(std::nullopt);
  EXPECT_TRUE(taken().empty());
}

TEST_F(ZUMOpenerTest, SpecialSchemesAskFirstInAnyCase) {
  const struct {
    const char* url;
    std::optional<std::string> button;  // nullopt: opens at once
    std::string message;
  } rows[] = {
      {"tel:5550100", "Call", "5550100"},
      {"TEL:5550101", "Call", "5550101"},
      {"Tel:5550102", "Call", "5550102"},
      {"facetime:user@example.com", "FaceTime", "user@example.com"},
      {"FACETIME:user@example.com", "FaceTime", "user@example.com"},
      {"sms:5550103", std::nullopt, ""},
      {"mailto:a@example.com", std::nullopt, ""},
      {"itms-apps://itunes.example.com/app/id1", std::nullopt, ""},
      {"ITMS-APPS://itunes.example.com/app/id2", std::nullopt, ""},
  };
  for (const auto& row : rows) {
    opener->openApp(URL::fromString(row.url));
    if (!row.button) {
      EXPECT_EQ(taken(), (std::vector<std::string>{"click", "leave", std::string("open ") + row.url})) << row.url;
      continue;
    }
    auto alert = frontAlert();
    ASSERT_TRUE(alert) << row.url;
    EXPECT_TRUE(taken().empty()) << row.url;
    EXPECT_EQ(alert->title(), "") << row.url;
    EXPECT_EQ(alert->message(), row.message) << row.url;
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "Cancel") << row.url;
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->firstOtherButtonIndex()), *row.button) << row.url;
    alert->tapButtonAtIndex(alert->cancelButtonIndex());
    EXPECT_TRUE(taken().empty()) << row.url;
  }
}

TEST_F(ZUMOpenerTest, AConfirmedURLOpensAndThenOpensWithoutAskingWhileACancelledOneAsksAgain) {
  const auto url = URL::fromString("tel:5550100");
  opener->openApp(url);
  frontAlert()->tapButtonAtIndex(frontAlert()->firstOtherButtonIndex());
  EXPECT_EQ(taken(), (std::vector<std::string>{"click", "leave", "open tel:5550100"}));
  opener->openApp(url);
  EXPECT_FALSE(frontAlert());
  EXPECT_EQ(taken(), (std::vector<std::string>{"click", "leave", "open tel:5550100"}));

  // A user default of {} switches confirmation off; other tables are read in any case.
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(Json::object(), "/vantor/ads/clickthrough_confirm_schemes"));
  opener->openApp(URL::fromString("facetime:x@example.com"));
  EXPECT_FALSE(frontAlert());
  EXPECT_TRUE(
      platform::UserDefaults::standard().setObject(Json{{"SMS", "Text"}}, "/vantor/ads/clickthrough_confirm_schemes"));
  opener->openApp(URL::fromString("sms:5550104"));
  ASSERT_TRUE(frontAlert());
  EXPECT_EQ(frontAlert()->buttonTitleAtIndex(frontAlert()->firstOtherButtonIndex()), "Text");
}

TEST_F(ZUMOpenerTest, AnAlertAnsweredAfterItsOpenerWentAwayOpensNothing) {
  opener->openApp(URL::fromString("tel:5550100"));
  auto alert = frontAlert();
  ASSERT_TRUE(alert);
  slot.reset();
  opener.reset();
  taken();
  alert->tapButtonAtIndex(alert->firstOtherButtonIndex());
  EXPECT_TRUE(taken().empty());
  EXPECT_EQ(platform::Application::shared().openedURLs().size(), seenOpened);
}

TEST_F(ZUMOpenerTest, AlertsGoneWithoutAnAnswerOrForAnAdViewGoneLeaveNoEntries) {
  const auto url = URL::fromString("tel:5550100");
  opener->openAppForRecordedClick(url);
  ASSERT_TRUE(frontAlert());
  EXPECT_EQ(opener->confirmationCount() + opener->recordedClickCount(), 2u);
  frontAlert()->dismissWithClickedButtonIndex(frontAlert()->cancelButtonIndex(), true);
  env.advance(1s);
  EXPECT_EQ(opener->confirmationCount() + opener->recordedClickCount(), 0u);

  // The ad view gone, its alert goes with it, entry and recorded click too: no time
  // passes and no other confirmation or answer comes.
  opener->openAppForRecordedClick(url);
  auto orphan = frontAlert();
  slot.reset();
  adView.reset();
  EXPECT_FALSE(orphan->isVisible());
  env.runUntilIdle();
  EXPECT_EQ(opener->confirmationCount() + opener->recordedClickCount(), 0u);
  EXPECT_TRUE(taken().empty());
}

TEST_F(ZUMOpenerTest, AutoClickProtectionRefusesUntouchedAdsAndReportsEachRefusal) {
  opener->setAutoClickProtection(ZUMAutoClickProtection::create(true));
  opener->openApp(URL::fromString("https://landing.example.com/a"));
  opener->openApp(std::nullopt);  // the gate runs, and reports, even without a URL
  opener->openInAppStoreWithProductID("123", std::nullopt, ZUMStoreSheetPresentation::AtOnce);
  EXPECT_EQ(taken(), (std::vector<std::string>{"blocked https://landing.example.com/nav",
                                               "blocked https://landing.example.com/nav",
                                               "blocked https://landing.example.com/nav"}));
  opener->openApp(URL::fromString("tel:5550100"));  // refused before it could ask
  EXPECT_FALSE(frontAlert());
  taken();

  adView->setTouched(true);
  opener->openApp(URL::fromString("https://landing.example.com/b"));
  EXPECT_EQ(taken(), (std::vector<std::string>{"click", "leave", "open https://landing.example.com/b"}));
  opener->setAutoClickProtection(ZUMAutoClickProtection::create(false));
  adView->setTouched(false);
  EXPECT_TRUE(opener->shouldPerformOpenAction());
}

TEST_F(ZUMOpenerTest, TheOrientationGateRefusesWithoutConsultingAutoClickProtection) {
  opener->setAutoClickProtection(ZUMAutoClickProtection::create(true));
  EXPECT_FALSE(opener->shouldPerformOpenActionWithOrientations(0));
  EXPECT_TRUE(taken().empty());
  EXPECT_FALSE(opener->shouldPerformOpenActionWithOrientations(30));
  EXPECT_EQ(taken().size(), 1u);
}

TEST_F(ZUMOpenerTest, AppLinksTellThePageWhetherTheyOpenedAndRecordOnlyWhatOpened) {
  loadPage();
  testenv::AppControls::setUniversalLinkHosts({"app.example.com"});
  const struct {
    const char* url;
    bool opened;
  } rows[] = {
      {"https://app.example.com/item", true},
      {"https://web.example.com/item", false},  // no application claims it
      {"about:blank", false},
      {"FILE:///etc/hosts", false},
      {"itms-apps://itunes.example.com/app/id1", true},
  };
  for (const auto& row : rows) {
    const auto before = pageMessages().size();
    opener->openAppLink(*URL::fromString(row.url), "e1");
    const auto log = taken();
    EXPECT_EQ(std::count(log.begin(), log.end(), "click"), row.opened ? 1 : 0) << row.url;
    EXPECT_EQ(std::count(log.begin(), log.end(), "leave"), row.opened ? 1 : 0) << row.url;
    const auto messages = pageMessages();
    ASSERT_EQ(messages.size(), before + 1) << row.url;
    const Json payload = {{URL::fromString(row.url)->absoluteString(), row.opened}, {"event_id", "e1"}};
    EXPECT_EQ(messages.back(), "QYRA_ReceiveMessage('openDeepLink', " + payload.dump() + ");") << row.url;
  }
  // A scheme that asks first: the page hears no at once; a confirmation opens it later
  // as another application, and the page hears nothing more.
  const auto before = pageMessages().size();
  opener->openAppLink(*URL::fromString("tel:5550100"), "e2");
  taken();
  EXPECT_EQ(pageMessages().size(), before + 1);
  frontAlert()->tapButtonAtIndex(frontAlert()->firstOtherButtonIndex());
  EXPECT_EQ(taken(), (std::vector<std::string>{"click", "leave", "open tel:5550100"}));
  EXPECT_EQ(pageMessages().size(), before + 1);
}

TEST_F(ZUMOpenerTest, TheMRAIDRefusalsAreReportedToThePageAndRecordNothing) {
  loadPage();
  opener->openPromptToStorePictureAtURL(URL::fromString("https://ads.example.com/p.png"));
  opener->openCalendarWithDictionary(Json::object());
  EXPECT_TRUE(taken().empty());
  const auto messages = pageMessages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_NE(messages[messages.size() - 2].find(
                R"("message":"Saving pictures is not permitted in this application.","action":"storePicture")"),
            std::string::npos);
  EXPECT_NE(
      messages.back().find(R"("message":"Creating calendar events is not supported.","action":"createCalendarEvent")"),
      std::string::npos);
}

TEST_F(ZUMOpenerTest, AClickWithoutAURLCountsAndPingsButRecordsNoClickThrough) {
  opener->didClickURL(std::nullopt);
  opener->didClickURL(URL::fromString("https://landing.example.com/x"));
  EXPECT_EQ(taken(), (std::vector<std::string>{"click", "click"}));
  EXPECT_EQ(slot->ad()->statistics()->objectForKey("pcc"), Json(2));
  opener->setSlot(nullptr);
  opener->didClickURL(URL::fromString("https://landing.example.com/x"));  // no slot: nothing to count
  EXPECT_TRUE(taken().empty());
}

TEST_F(ZUMOpenerTest, TheTopControllerClimbsFromTheOpenersControllerOrTheMainWindowsRoot) {
  EXPECT_EQ(opener->topViewController(), nullptr);
  auto window = platform::Window::create({0, 0, 320, 480});
  auto root = platform::ViewController::create();
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  auto detached = platform::ViewController::create();
  opener->setViewController(detached);  // not in a window
  EXPECT_EQ(opener->topViewController(), root);
  auto presented = platform::ViewController::create();
  root->presentViewController(presented, false, nullptr);
  env.runUntilIdle();
  EXPECT_EQ(opener->topViewController(), presented);
  opener->setViewController(presented);
  EXPECT_EQ(opener->topViewController(), presented);
}

TEST(ZUMSafariViewControllerSupportTest, SchemesAreComparedLowerCasedAgainstTheStoredListOrTheWeb) {
  testenv::TestEnvironment env;
  const struct {
    const char* url;
    std::optional<Json> stored;
    bool supported;
  } rows[] = {
      {"https://x.example.com/", std::nullopt, true}, {"HTTP://x.example.com/", std::nullopt, true},
      {"ftp://x.example.com/", std::nullopt, false},  {"tel:123", std::nullopt, false},
      {"ftp://x.example.com/", Json{"ftp"}, true},    {"https://x.example.com/", Json{"ftp"}, false},
      {"FTP://x.example.com/", Json{"ftp", 3}, true}, {"ftp://x.example.com/", Json{"FTP"}, false},
  };
  for (const auto& row : rows) {
    auto& defaults = platform::UserDefaults::standard();
    const char* key = "/vantor/ads/zums:safariviewcontroller_supported_schemes";
    if (row.stored) {
      EXPECT_TRUE(defaults.setObject(*row.stored, key));
    } else {
      defaults.removeObjectForKey(key);
    }
    EXPECT_EQ(ZUMSafariViewControllerSupportsURL(*URL::fromString(row.url)), row.supported) << row.url;
  }
}

}  // namespace
