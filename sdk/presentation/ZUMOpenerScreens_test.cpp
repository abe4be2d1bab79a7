#include "sdk/presentation/ZUMOpenerScreens.h"

#include <nlohmann/json.hpp>

#include "ZUMSlotDelegate.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/SafariViewController.h"
#include "platform/ui/StoreProductViewController.h"
#include "sdk/presentation/ZUMBrowserViewController.h"
#include "sdk/presentation/ZUMOverlayProxy.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMSKStoreProductViewControllerDelegate.h"
#include "sdk/rendering/ZUMOpener.h"

namespace {

using presentation_testing::Log;
using platform::URL;

// Clicks the slot counts go into the shared log.
struct ClickCounter : ZUMSlotDelegate {
  explicit ClickCounter(std::shared_ptr<Log> log) : log(std::move(log)) {}
  ZUMImplemented slotDidReceiveAdClick(ZUMSlot&) override { return log->push_back("click"), kZUMImplemented; }
  std::shared_ptr<Log> log;
};

class ZUMOpenerScreensTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    ZUMClickHandling::setShared(std::make_shared<ZUMOpenerScreens>());
    slot->setSlotDelegate(counter);
    opener->setSlot(slot);
    platform::StoreProductViewController::setLoadDelay(1);
  }
  void TearDown() override {
    ZUMClickHandling::setShared(nullptr);
    PresentationTest::TearDown();
  }
  // The log so far, then "open URL" for each URL opened outside the application.
  Log taken() {
    env.runUntilIdle();
    const auto& opened = platform::Application::shared().openedURLs();
    for (; seenOpened < opened.size(); ++seenOpened) log->push_back("open " + opened[seenOpened].absoluteString());
    return std::exchange(*log, {});
  }
  std::shared_ptr<platform::StoreProductViewController> sheetOnScreen() const {
    return std::dynamic_pointer_cast<platform::StoreProductViewController>(host->presentedViewController());
  }

  std::shared_ptr<ClickCounter> counter = std::make_shared<ClickCounter>(log);
  std::shared_ptr<ZUMOpener> opener = ZUMOpener::create();
  std::size_t seenOpened = platform::Application::shared().openedURLs().size();
};

const Log kSessionBegins = {"willPresent", "slot.willPresent"};
const Log kSessionEnds = {"slot.willDismiss", "didDismiss", "slot.didDismiss"};

Log joined(Log a, const Log& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(ZUMOpenerScreensTest, APreloadedSheetIsShownOnceWithoutLoadingAndItsSessionEndsWhenDone) {
  opener->fetchInAppStoreForProductID("123");
  opener->fetchInAppStoreForProductID("123");  // already loading or cached: one sheet
  env.advance(1.5);
  ASSERT_EQ(opener->cachedStoreProductViewController().count("123"), 1u);
  auto preloaded = opener->cachedStoreProductViewController()["123"];
  EXPECT_TRUE(taken().empty()) << "preloading shows nothing";

  opener->openInAppStoreWithProductID("123", std::nullopt, ZUMStoreSheetPresentation::AfterFetch);
  env.advance(1);
  EXPECT_EQ(sheetOnScreen(), preloaded);
  EXPECT_TRUE(opener->cachedStoreProductViewController().empty());
  EXPECT_EQ(taken(), joined(kSessionBegins, {"click"}));
  EXPECT_TRUE(testenv::AppControls::finishStoreSheet());
  env.advance(1);
  EXPECT_EQ(taken(), kSessionEnds);
  EXPECT_EQ(host->presentedViewController(), nullptr);

  // The second open loads anew, and waits for it.
  opener->openInAppStoreWithProductID("123", std::nullopt, ZUMStoreSheetPresentation::AfterFetch);
  env.advance(0.5);
  EXPECT_EQ(sheetOnScreen(), nullptr);
  env.advance(1.5);
  ASSERT_NE(sheetOnScreen(), nullptr);
  EXPECT_NE(sheetOnScreen(), preloaded);
  EXPECT_EQ(sheetOnScreen()->productIdentifier(), "123");
  EXPECT_EQ(taken(), joined(kSessionBegins, {"click"}));
}

TEST_F(ZUMOpenerScreensTest, AFailedSheetThatIsUpClosesAndOpensItsFallbackWhileOneThatWaitedShowsNothing) {
  platform::StoreProductViewController::setProductLoads("404", false);
  const auto fallback = URL::fromString("https://store.example.com/app/404");
  opener->openInAppStoreWithProductID("404", fallback, ZUMStoreSheetPresentation::AtOnce);
  env.advance(0.5);
  EXPECT_NE(sheetOnScreen(), nullptr);
  EXPECT_EQ(taken(), joined(kSessionBegins, {"click"}));
  env.advance(2);
  EXPECT_EQ(sheetOnScreen(), nullptr);
  // The fallback opens while the sheet's dismissal runs; the one click was counted when
  // the sheet came up.
  EXPECT_EQ(taken(),
            (Log{"slot.willDismiss", "didDismiss", "slot.didDismiss", "open https://store.example.com/app/404"}));

  opener->openInAppStoreWithProductID("404", fallback, ZUMStoreSheetPresentation::AfterFetch);
  env.advance(3);
  EXPECT_EQ(sheetOnScreen(), nullptr);
  EXPECT_TRUE(taken().empty());
  opener->fetchInAppStoreForProductID("404");
  env.advance(3);
  EXPECT_TRUE(opener->cachedStoreProductViewController().empty());
}

// A fallback that needs confirmation: the click counted for the sheet is the only one,
// whether the user calls or cancels, and a later click on the same number counts anew.
TEST_F(ZUMOpenerScreensTest, AFailedSheetsFallbackThatAsksFirstCountsNoSecondClick) {
  platform::StoreProductViewController::setProductLoads("405", false);
  const auto fallback = URL::fromString("tel:5550100");
  for (const char* answer : {"Cancel", "Call"}) {
    opener->openInAppStoreWithProductID("405", fallback, ZUMStoreSheetPresentation::AtOnce);
    env.advance(3);
    ASSERT_TRUE(testenv::AppControls::answerAlert(answer)) << answer;
    Log expected = joined(kSessionBegins, {"slot.willDismiss", "didDismiss", "slot.didDismiss"});
    expected.insert(expected.begin() + 2, "click");
    if (std::string(answer) == "Call") expected.push_back("open tel:5550100");
    EXPECT_EQ(taken(), expected) << answer;
  }
  opener->openApp(fallback);  // confirmed above: no second question
  EXPECT_EQ(taken(), (Log{"click", "open tel:5550100"}));
}

TEST_F(ZUMOpenerScreensTest, TheSheetGoesAwayThroughItsProxyOrElseItsPresentingController) {
  auto sheet = platform::StoreProductViewController::create();
  sheet->setDelegate(ZUMSKStoreProductViewControllerDelegate::sharedInstance());
  host->presentViewController(sheet, false, nullptr);
  env.advance(1);
  sheet->tapDone();
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_TRUE(taken().empty()) << "no proxy, no session";
}

TEST_F(ZUMOpenerScreensTest, ThePlatformsBrowserShowsWebPagesInTheSessionAndOtherSchemesOpenOutside) {
  platform::SafariViewController::registerClass();
  opener->openSafariViewControllerToURL(URL::fromString("https://landing.example.com/a"), 30);
  env.advance(1);
  EXPECT_TRUE(std::dynamic_pointer_cast<platform::SafariViewController>(host->presentedViewController()));
  EXPECT_EQ(taken(), joined(kSessionBegins, {"click"}));
  EXPECT_TRUE(testenv::AppControls::finishSafari());
  env.advance(1);
  EXPECT_EQ(taken(), kSessionEnds);

  opener->openSafariViewControllerToURL(URL::fromString("itms-apps://store.example.com/app/1"), 30);
  EXPECT_EQ(taken(), (Log{"click", "open itms-apps://store.example.com/app/1"}));

  EXPECT_TRUE(platform::UserDefaults::standard().setObject(true, "/vantor/ads/show_landing_page_in_custom_browser"));
  opener->openBrowserToURL(URL::fromString("https://landing.example.com/b"), 30);
  env.advance(1);
  EXPECT_EQ(taken(), joined(kSessionBegins, {"click"}));
  testenv::AppControls::finishSafari();
  env.advance(1);
  taken();

  // Without the platform's browser class: the in-app browser, or outside for the
  // platform's browser.
  platform::ClassRegistry::shared().unregisterClass(platform::SafariViewController::kClassName);
  opener->openBrowserToURL(URL::fromString("https://landing.example.com/c"), 30);
  env.advance(1);
  auto browser = std::dynamic_pointer_cast<ZUMBrowserViewController>(host->presentedViewController());
  ASSERT_TRUE(browser);
  EXPECT_EQ(taken(), joined(kSessionBegins, {"click"}));
  browser->doneButtonPressed();
  env.advance(1);
  EXPECT_EQ(taken(), kSessionEnds);
  opener->openSafariViewControllerToURL(URL::fromString("https://landing.example.com/d"), 30);
  EXPECT_EQ(taken(), (Log{"click", "open https://landing.example.com/d"}));

  // Nothing to present from: the landing page opens outside.
  window->setRootViewController(nullptr);
  opener->openWebViewBrowserToURL(URL::fromString("https://landing.example.com/e"), 30);
  EXPECT_EQ(taken(), (Log{"click", "open https://landing.example.com/e"}));
}

TEST(ZUMOpenerScreensParametersTest, TheProductIdentifierIsReadAsTheStoreReadsAnInteger) {
  const struct {
    const char* id;
    std::int64_t value;
  } rows[] = {{"123", 123}, {" 42abc", 42}, {"abc", 0}, {"", 0}, {"-7", -7}, {"99999999999999999999999", INT64_MAX}};
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMOpenerScreens::storeProductParameters(row.id),
              (nlohmann::ordered_json{{platform::kStoreProductParameterITunesItemIdentifier, row.value}}))
        << row.id;
  }
}

}  // namespace
