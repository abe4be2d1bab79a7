#include "sdk/rendering/ZUMOpenerTOLMHandler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/net/URLLoading.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMClickHandling.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using platform::URL;

// Every screen the opener asks the presentation area for, as one line each.
struct RecordingClickHandling : ZUMClickHandling {
  void openInAppStoreWithProductID(ZUMOpener&, const std::optional<std::string>& productID,
                                   const std::optional<URL>& fallbackURL,
                                   ZUMStoreSheetPresentation presentation) override {
    log.push_back("store " + productID.value_or("-") + " " + (fallbackURL ? fallbackURL->absoluteString() : "-") +
                  (presentation == ZUMStoreSheetPresentation::AfterFetch ? " wait" : " now"));
  }
  void fetchInAppStoreForProductID(ZUMOpener&, const std::string& productID) override {
    log.push_back("fetch " + productID);
  }
  void openWebViewBrowserToURL(ZUMOpener&, const URL& url, std::uint64_t mask) override {
    log.push_back("browser " + url.absoluteString() + " " + std::to_string(mask));
  }
  void openSafariViewControllerToURL(ZUMOpener&, const URL& url) override {
    log.push_back("safari " + url.absoluteString());
  }
  bool hasSafariViewController() const override { return true; }
  void openEmailComposer(ZUMOpener&, const URL&) override {}
  void openSmsComposer(ZUMOpener&, const URL&) override {}
  void openWebApp(ZUMOpener&, const URL& url, std::uint64_t mask, bool customClose) override {
    log.push_back("webapp " + url.absoluteString() + " " + std::to_string(mask) + " " + std::to_string(customClose));
  }
  void openWebAppWithHTML(ZUMOpener&, const std::string& html, const std::optional<URL>& baseURL, std::uint64_t mask,
                          bool customClose) override {
    log.push_back("html " + html + " " + (baseURL ? baseURL->absoluteString() : "-") + " " + std::to_string(mask) +
                  " " + std::to_string(customClose));
  }
  void expandToWebApp(ZUMOpener&, std::uint64_t mask, bool customClose) override {
    log.push_back("expand " + std::to_string(mask) + " " + std::to_string(customClose));
  }
  std::vector<std::string> log;
};

class ZUMOpenerTOLMHandlerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMClickHandling::setShared(clicks);
    slot = ZUMSlot::create({0, 0, 320, 50});
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    handler = ZUMOpenerTOLMHandler::create(slot->adViewDelegate()->opener());
  }
  void TearDown() override {
    ZUMSlotRendering::setShared(nullptr);
    ZUMClickHandling::setShared(nullptr);
  }
  // Sends the message; returns what the opener did: screens asked for, then URLs opened.
  std::vector<std::string> send(const std::string& message) {
    const auto url = URL::fromString("tolm://page/" + message);
    if (!url) return {"unparsable"};
    const auto notification = ZUMNotification::createWithNotificationURL(*url);
    EXPECT_TRUE(handler->handleNotification(notification, adView)) << message;
    env.runUntilIdle();
    const auto& opened = platform::Application::shared().openedURLs();
    for (; seenOpened < opened.size(); ++seenOpened)
      clicks->log.push_back("open " + opened[seenOpened].absoluteString());
    return std::exchange(clicks->log, {});
  }

  std::shared_ptr<RecordingClickHandling> clicks = std::make_shared<RecordingClickHandling>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> adView;
  std::shared_ptr<ZUMOpenerTOLMHandler> handler;
  std::size_t seenOpened = platform::Application::shared().openedURLs().size();
};

TEST_F(ZUMOpenerTOLMHandlerTest, OpenMessagesReachTheOpenerCallTheirSubActionNames) {
  auto window = platform::Window::create({0, 0, 320, 480});  // something to present from
  window->setRootViewController(platform::ViewController::create());
  window->makeKeyAndVisible();
  handler->opener()->setAdView(adView);  // expand needs the ad view the opener acts for
  const std::string u = "u=https%3A%2F%2Flanding.example.com%2Fa";
  const struct {
    std::string message;
    std::vector<std::string> done;
  } rows[] = {
      {"open?" + u, {"open https://landing.example.com/a"}},  // no "a": as "app"
      {"open?a=unknown&" + u, {"open https://landing.example.com/a"}},
      {"open?a=app&" + u, {"open https://landing.example.com/a"}},
      {"open?a=call&u=tel%3A5550100", {}},  // asks first
      {"open?a=app", {}},
      {"open?a=app&u=", {}},  // an empty value is no URL
      {"open?a=browser&" + u, {"browser https://landing.example.com/a 30"}},
      {"open?a=video&o=p&" + u, {"browser https://landing.example.com/a 6"}},
      {"open?a=browser&o=l&" + u, {"browser https://landing.example.com/a 24"}},
      {"open?a=browser&o=x&" + u, {"browser https://landing.example.com/a 30"}},
      {"open?a=browser", {}},
      {"open?a=inline_browser&" + u, {"safari https://landing.example.com/a"}},
      {"open?a=inline_browser&u=ftp%3A%2F%2Ffiles.example.com", {}},  // not shown there; ftp is not installed
      {"open?a=in_app_store&product_id=123&" + u, {"store 123 https://landing.example.com/a wait"}},
      {"open?a=in_app_store&product_id=123&wait_for_fetch=true", {"store 123 - wait"}},
      {"open?a=in_app_store&wait_for_fetch=false", {"store - - now"}},
      {"open?a=in_app_store&product_id=9&wait_for_fetch=1", {"store 9 - now"}},
      {"open?a=webapp&" + u + "&html=x", {"webapp https://landing.example.com/a 30 0"}},
      {"open?a=webapp&o=l&custom_close=1&html=%3Cp%3E&baseurl=https%3A%2F%2Fbase.example.com%2F",
       {"html <p> https://base.example.com/ 24 1"}},
      {"open?a=webapp&html=x&baseurl=HTTP%3A%2F%2Fbase.example.com%2F", {"html x HTTP://base.example.com/ 30 0"}},
      // A base URL of another scheme would give the page local files or scripts: dropped.
      {"open?a=webapp&html=x&baseurl=file%3A%2F%2F%2Fvar%2Fmobile%2F", {"html x - 30 0"}},
      {"open?a=webapp&html=x&baseurl=javascript%3Avoid(0)", {"html x - 30 0"}},
      {"open?a=webapp&html=x&baseurl=data%3Atext%2Fhtml%2Cx", {"html x - 30 0"}},
      {"open?a=webapp&baseurl=https%3A%2F%2Fbase.example.com%2F", {}},
      {"open?a=expand", {"expand 30 0"}},
      {"open?a=expand&o=p&custom_close=true", {"expand 6 0"}},
      {"fetchAppStore?product_id=77", {"fetch 77"}},
      {"fetchAppStore", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(send(row.message), row.done) << row.message;
  platform::AlertView::visibleAlerts().back()->tapButtonAtIndex(0);
}

TEST_F(ZUMOpenerTOLMHandlerTest, OrientationsAndCustomCloseReadTheirExactValues) {
  const struct {
    const char* o;
    platform::InterfaceOrientation statusBar;
    std::uint64_t mask;
  } rows[] = {
      {"c", platform::kInterfaceOrientationLandscapeRight, 24},
      {"c", platform::kInterfaceOrientationLandscapeLeft, 24},
      {"c", platform::kInterfaceOrientationPortraitUpsideDown, 6},
      {"c", platform::kInterfaceOrientationPortrait, 6},
      {"P", platform::kInterfaceOrientationPortrait, 30},
      {"", platform::kInterfaceOrientationPortrait, 30},
  };
  for (const auto& row : rows) {
    testenv::AppControls::reportStatusBarOrientation(row.statusBar);
    EXPECT_EQ(ZUMOpenerTOLMHandler::orientationFromParams(Json{{"o", row.o}}), row.mask) << row.o << row.statusBar;
  }
  EXPECT_EQ(ZUMOpenerTOLMHandler::orientationFromParams(Json::object()), 30u);
  EXPECT_TRUE(ZUMOpenerTOLMHandler::shouldUseCustomClose(Json{{"custom_close", "1"}}));
  EXPECT_FALSE(ZUMOpenerTOLMHandler::shouldUseCustomClose(Json{{"custom_close", "true"}}));
  EXPECT_FALSE(ZUMOpenerTOLMHandler::shouldUseCustomClose(Json::object()));
}

TEST_F(ZUMOpenerTOLMHandlerTest, AClickIsTrackedWithoutOpeningAndADeepLinkWaitsForItsEventID) {
  testenv::LoopbackServer server;
  platform::URLLoading::mapHostForTesting("track.example.com", "127.0.0.1", server.port());
  server.route("/c", {.status = 204});
  auto trackers = ZUMClickTrackerCollection::sharedInstance();
  const auto trackersBefore = trackers->activeTrackerCount();
  EXPECT_TRUE(send("click?u=https%3A%2F%2Ftrack.example.com%2Fc%3Fn%3D1").empty());
  // The tracker's ping has ended too, however slow the machine: it is not left in flight.
  ASSERT_TRUE(env.runUntil(
      [&] { return server.requests("/c").size() == 1 && trackers->activeTrackerCount() <= trackersBefore; }));
  EXPECT_EQ(server.requests("/c")[0].query, "n=1");

  testenv::AppControls::setInstalledURLSchemes({"http", "https", "myapp"});
  EXPECT_TRUE(send("open?a=deep_link&u=myapp%3A%2F%2Fitem").empty());  // no event id: nothing
  EXPECT_EQ(send("open?a=deep_link&u=myapp%3A%2F%2Fitem&event_id=e1"), std::vector<std::string>{"open myapp://item"});
}

}  // namespace
