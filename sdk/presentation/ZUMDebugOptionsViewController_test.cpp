// The debug dialog as a tester meets it: opened by a wiggle over an ad with the debug
// flag, its alerts answered through the platform's test controls, the bad-ad report and
// the status endpoints on the loopback server, the linking page in the platform's
// browser controller; the slot's session ends when the dialog goes.
#include "sdk/presentation/ZUMDebugOptionsViewController.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/SafariViewController.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/presentation/ZUMAdAppAdViewPresentation.h"
#include "sdk/presentation/ZUMDebugOptionsViewControllerDelegate.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMReportBadAd.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMOpener.h"
#include "testing/LoopbackServer.h"
#include "testing/TouchControls.h"

namespace {

using json = nlohmann::ordered_json;
using presentation_testing::Log;

struct Delegate : ZUMDebugOptionsViewControllerDelegate {
  void debugOptionsViewControllerDidDismiss(ZUMDebugOptionsViewController&) override { ++dismissed; }
  int dismissed = 0;
};

class ZUMDebugOptionsViewControllerTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("debug.example.com", "127.0.0.1", server.port());
    platform::SafariViewController::registerClass();
  }
  void TearDown() override {
    platform::URLLoading::removeHostMappingsForTesting();
    PresentationTest::TearDown();
  }
  static void setDefault(const std::string& name, const json& value) {
    EXPECT_TRUE(platform::UserDefaults::standard().setObject(value, "/vantor/ads/" + name));
  }
  // Both switches, the linking page, the status endpoints and a linked device.
  void enableDebugging() {
    setDefault("enable_in_app_preview", true);
    setDefault("enable_debug_signals", "1");
    setDefault("debug_device_linking_url", "https://debug.example.com/link");
    setDefault("debug_signal_status_url", "https://debug.example.com/debug-status");
    setDefault("in_app_preview_status_url", "https://debug.example.com/preview-status");
    setDefault("debug_device_identifier", "device-1");
  }
  std::shared_ptr<ZUMDebugOptionsViewController> open(std::optional<std::string> information = std::nullopt) {
    auto dialog = ZUMDebugOptionsViewController::debugOptionsViewControllerWithAdUnitID("unit-A");
    dialog->setAdDebugDialogString(std::move(information));
    dialog->setDelegate(delegate);
    host->presentViewController(dialog, false);
    env.advance(1);
    return dialog;
  }
  // The front-most alert's title, message and buttons.
  static std::string alert() {
    const auto alerts = platform::AlertView::visibleAlerts();
    if (alerts.empty()) return "none";
    const auto& a = alerts.back();
    std::string text = a->title() + " | " + a->message() + " |";
    for (std::int64_t i = 0; i < a->numberOfButtons(); ++i) text += " " + *a->buttonTitleAtIndex(i);
    return text;
  }
  bool answer(const std::string& button) {
    const bool answered = testenv::AppControls::answerAlert(button);
    env.advance(1);
    return answered;
  }
  // Waits for the loopback server's answer to reach the dialog.
  void waitForStatus(const std::string& title) {
    ASSERT_TRUE(env.runUntil([&] { return alert().rfind(title, 0) == 0; })) << alert();
  }

  testenv::LoopbackServer server;
  std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
};

TEST_F(ZUMDebugOptionsViewControllerTest, WithoutSwitchesOnlyTheCreativeInformationIsShown) {
  auto dialog = open();
  EXPECT_EQ(alert(), "Debug Ad Information | Creative information is not available | OK");
  EXPECT_EQ(dialog->closeButton()->accessibilityLabel(), "Close Debug Options");
  EXPECT_EQ(dialog->closeButton()->frame(), (platform::Rect{30, 30, 25, 25}));
  EXPECT_TRUE(answer("OK"));
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_EQ(delegate->dismissed, 1);

  // A linking page alone, without a switch, still shows the information.
  setDefault("debug_device_linking_url", "https://debug.example.com/link");
  open("creative 42");
  EXPECT_EQ(alert(), "Debug Ad Information | creative 42 | OK Copy Report");
  EXPECT_TRUE(answer("Copy"));
  EXPECT_EQ(platform::Pasteboard::general().string(), "creative 42");
  EXPECT_EQ(delegate->dismissed, 2);

  // The close button: an animated dismissal, then the delegate.
  auto dialog2 = open();
  dialog2->closeButtonPressed();
  env.runUntilIdle();
  EXPECT_EQ(host->presentedViewController(), dialog2);
  EXPECT_EQ(delegate->dismissed, 2);
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_EQ(delegate->dismissed, 3);
}

TEST_F(ZUMDebugOptionsViewControllerTest, TheBadAdReportPostsTheCreativeInformation) {
  server.route("/report", {.status = 204});
  setDefault("bad_ad_report_path", server.baseURL() + "/report");
  open("creative \"42\"");
  EXPECT_TRUE(answer("Report"));
  ASSERT_TRUE(env.runUntil([&] { return ZUMBadAdReportsInFlight() == 0; }));
  ASSERT_EQ(server.requests("/report").size(), 1u);
  const auto report = server.requests("/report")[0];
  EXPECT_EQ(report.method, "POST");
  EXPECT_EQ(report.header("Content-Type"), "application/json");
  EXPECT_EQ(json::parse(report.body), json({{"debugHeader", "creative \"42\""}}));
  EXPECT_NE(report.body.find('\n'), std::string::npos);  // pretty-printed
  EXPECT_EQ(host->presentedViewController(), nullptr);

  ZUMReportBadAd(std::nullopt);
  EXPECT_EQ(ZUMBadAdReportsInFlight(), 1u);
  ASSERT_TRUE(env.runUntil([&] { return ZUMBadAdReportsInFlight() == 0; }));
  ASSERT_EQ(server.requests("/report").size(), 2u);
  EXPECT_EQ(json::parse(server.requests("/report")[1].body), json({{"debugHeader", nullptr}}));
}

TEST_F(ZUMDebugOptionsViewControllerTest, TroubleshootingLinksThroughTheStatusEndpoint) {
  enableDebugging();
  server.route("/debug-status", {.body = R"({"debug_mode":"1"})", .contentType = "application/json"});
  ZUMApplication::sharedInstance()->setInAppPreviewCreativeToken("earlier");
  auto dialog = open();
  EXPECT_EQ(alert(),
            "Debug Options | Creative preview is enabled. | Dismiss Ad Information Creative Preview Troubleshooting");
  EXPECT_TRUE(answer("Troubleshooting"));
  waitForStatus("The device is successfully linked for troubleshooting.");
  EXPECT_TRUE(ZUMApplication::sharedInstance()->debugModeEnabled());
  const auto request = server.requests("/debug-status").at(0);
  EXPECT_EQ(request.query, "linkedDeviceId=device-1&adSlotPath=unit-A");
  EXPECT_TRUE(answer("Dismiss"));
  EXPECT_EQ(host->presentedViewController(), nullptr);

  // Reopened: both modes are told; pressed twice while the first fetch runs, the dialog closes.
  server.route("/debug-status", {.body = "{}", .held = true});
  open();
  EXPECT_EQ(alert(),
            "Debug Options | Troubleshooting mode is enabled.\nCreative preview is enabled. | Dismiss Ad "
            "Information Creative Preview Troubleshooting");
  auto second = std::dynamic_pointer_cast<ZUMDebugOptionsViewController>(host->presentedViewController());
  const auto options = platform::AlertView::visibleAlerts().back();
  EXPECT_TRUE(answer("Troubleshooting"));
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/debug-status") == 1; }));
  second->alertViewClickedButtonAtIndex(*options, 3);  // "Troubleshooting" again
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
  // The first fetch still ends: its answer (not linked) sends the device to linking.
  server.release("/debug-status");
  ASSERT_TRUE(env.runUntil([&] { return !second->childViewControllers().empty(); }));
}

TEST_F(ZUMDebugOptionsViewControllerTest, ADeviceNotLinkedGoesThroughTheLinkingPage) {
  enableDebugging();
  server.route("/debug-status", {.body = R"({"debug_mode":"0"})"});
  open();
  EXPECT_TRUE(answer("Troubleshooting"));
  ASSERT_TRUE(env.runUntil([&] { return testenv::AppControls::topmost<platform::SafariViewController>() != nullptr; }));
  auto browser = testenv::AppControls::topmost<platform::SafariViewController>();
  EXPECT_EQ(browser->url().absoluteString(),
            "https://debug.example.com/link?linkedDeviceId=device-1&adSlotPath=unit-A");
  const auto dialogView = host->presentedViewController()->view();
  EXPECT_EQ(browser->parentViewController(), host->presentedViewController());
  EXPECT_EQ(browser->view()->superview(), dialogView);
  EXPECT_EQ(browser->view()->center(), dialogView->center());  // fills the dialog
  EXPECT_EQ(browser->view()->bounds().size, dialogView->bounds().size);
  EXPECT_FALSE(ZUMApplication::sharedInstance()->debugModeEnabled());
  EXPECT_TRUE(testenv::AppControls::finishSafari());
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);

  // No device identifier yet: one is made, then the page.
  platform::UserDefaults::standard().removeObjectForKey("/vantor/ads/debug_device_identifier");
  open();
  EXPECT_TRUE(answer("Creative Preview"));
  const auto device = platform::UserDefaults::standard().stringForKey("/vantor/ads/debug_device_identifier");
  ASSERT_TRUE(device);
  EXPECT_EQ(device->size(), 36u);
  browser = testenv::AppControls::topmost<platform::SafariViewController>();
  ASSERT_TRUE(browser);
  EXPECT_EQ(browser->url().absoluteString(),
            "https://debug.example.com/link?linkedDeviceId=" + *device + "&adSlotPath=unit-A");
}

TEST_F(ZUMDebugOptionsViewControllerTest, PreviewStatusAnswers) {
  enableDebugging();
  const struct {
    std::string body;
    std::string status;
    std::optional<std::string> token;
  } cases[] = {
      {R"({"gct":"token-7","status":"1"})", "The device is successfully linked for creative preview.", "token-7"},
      {R"({"status":"2"})", "There was no creative pushed from PXR to the device.", "token-7"},
      {R"({"status":3})", "In-app preview failed", "token-7"},
      {"not json", "In-app preview failed", "token-7"},
  };
  for (const auto& c : cases) {
    server.route("/preview-status", {.body = c.body});
    open();
    EXPECT_TRUE(answer("Creative Preview"));
    waitForStatus(c.status);
    EXPECT_EQ(ZUMApplication::sharedInstance()->inAppPreviewCreativeToken(), c.token) << c.body;
    EXPECT_TRUE(answer("Dismiss"));
  }
  server.route("/preview-status", {.status = 500, .body = R"({"gct":"x"})"});
  open();
  EXPECT_TRUE(answer("Creative Preview"));
  waitForStatus("In-app preview failed");
  EXPECT_TRUE(answer("Dismiss"));

  server.route("/preview-status", {.body = R"({"status":"1"})"});
  open();
  EXPECT_TRUE(answer("Creative Preview"));
  ASSERT_TRUE(env.runUntil([&] { return testenv::AppControls::topmost<platform::SafariViewController>() != nullptr; }));
  EXPECT_FALSE(ZUMApplication::sharedInstance()->inAppPreviewCreativeToken());

  // After an answer, the same dialog may ask again.
  EXPECT_TRUE(testenv::AppControls::finishSafari());
  env.advance(1);
  server.route("/preview-status", {.body = R"({"status":"2"})"});
  auto dialog = open();
  const auto options = platform::AlertView::visibleAlerts().back();
  EXPECT_TRUE(answer("Creative Preview"));
  waitForStatus("There was no creative pushed");
  dialog->alertViewClickedButtonAtIndex(*options, 2);
  // Both answers are shown, the second over the first; a late one would land on the next dialog.
  ASSERT_TRUE(env.runUntil([&] {
    const auto alerts = platform::AlertView::visibleAlerts();
    return std::count_if(alerts.begin(), alerts.end(),
                         [](const auto& a) { return a->title().rfind("There was no creative pushed", 0) == 0; }) == 2;
  }));
  EXPECT_TRUE(answer("Dismiss"));

  // A linking page the browser controller cannot show opens outside the application.
  setDefault("debug_device_linking_url", "debugapp://link");
  testenv::AppControls::setInstalledURLSchemes({"debugapp"});
  server.route("/preview-status", {.body = R"({"status":"1"})"});
  open();
  EXPECT_TRUE(answer("Creative Preview"));
  ASSERT_TRUE(env.runUntil([&] { return !platform::Application::shared().openedURLs().empty(); }));
  EXPECT_EQ(platform::Application::shared().openedURLs().back().absoluteString(),
            "debugapp://link?linkedDeviceId=device-1&adSlotPath=unit-A");
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);

  // A switch that is off says so.
  setDefault("enable_debug_signals", false);
  open();
  EXPECT_TRUE(answer("Troubleshooting"));
  EXPECT_EQ(alert(), "Feature Not Enabled |  | Dismiss");
}

TEST_F(ZUMDebugOptionsViewControllerTest, AWiggleOpensTheDialogOnlyWithTheDebugFlagAndItsSessionEndsWithIt) {
  ZUMAdViewPresentation::setShared(std::make_shared<ZUMAdAppAdViewPresentation>());
  auto adViewDelegate = ZUMAdViewDelegate::create();
  adViewDelegate->opener()->setSlot(slot);
  slot->setAdUnitID("unit-B");
  auto adView = ZUMAdView::create({0, 100, 320, 250});
  adView->setDelegate(adViewDelegate);
  adView->setViewController(host);
  adView->setAdDebugDialogString("creative 9");
  host->view()->addSubview(adView);
  const auto wiggle = [&] {
    auto touch = testenv::TouchControls::touchDown(window, {100, 200});
    for (double x : {120.0, 100.0, 120.0, 119.0}) testenv::TouchControls::moveTo(touch, {x, 200});
    testenv::TouchControls::lift(touch);
    env.advance(1);
  };
  adView->setShowDebug(false);
  wiggle();
  EXPECT_EQ(host->presentedViewController(), nullptr);

  adView->setShowDebug(true);
  wiggle();
  auto dialog = std::dynamic_pointer_cast<ZUMDebugOptionsViewController>(host->presentedViewController());
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->adUnitID(), "unit-B");
  EXPECT_EQ(alert(), "Debug Ad Information | creative 9 | OK Copy Report");
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent"}));
  EXPECT_TRUE(answer("OK"));
  // The session ends with the dialog, while the dialog object still lives.
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss"}));
  EXPECT_EQ(host->presentedViewController(), nullptr);
  dialog->closeButtonPressed();  // already gone: nothing more
  env.advance(1);
  EXPECT_EQ(log->size(), 5u);
  ZUMAdViewPresentation::setShared(nullptr);
}

}  // namespace
