#include "platform/ui/AlertView.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/AlertController.h"
#include "platform/ui/Window.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

class Recorder : public AlertViewDelegate {
 public:
  void alertViewClickedButtonAtIndex(AlertView& a, std::int64_t i) override {
    log.push_back("clicked " + std::to_string(i) + (a.isVisible() ? " visible" : ""));
  }
  void alertViewWillDismissWithButtonIndex(AlertView&, std::int64_t i) override {
    log.push_back("willDismiss " + std::to_string(i));
  }
  void alertViewDidDismissWithButtonIndex(AlertView&, std::int64_t i) override {
    log.push_back("didDismiss " + std::to_string(i));
  }
  std::vector<std::string> log;
};

using AlertViewTest = testenv::PlatformTest;

TEST_F(AlertViewTest, ButtonsAreIndexedWithTheCancelButtonFirst) {
  auto alert = AlertView::create("", "5551234", {}, "Cancel", {"Call"});
  EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
  EXPECT_EQ(alert->buttonTitleAtIndex(1), "Call");
  EXPECT_EQ(alert->buttonTitleAtIndex(2), std::nullopt);

  auto noCancel = AlertView::create("Debug Options", "", {}, std::nullopt, {"Dismiss", "Ad Information"});
  EXPECT_EQ(noCancel->cancelButtonIndex(), -1);
  EXPECT_EQ(noCancel->addButtonWithTitle("Troubleshooting"), 2);
}

TEST_F(AlertViewTest, AnsweringTellsTheDelegateAndLetsTheAlertGo) {
  auto delegate = std::make_shared<Recorder>();
  std::weak_ptr<AlertView> weak;
  {
    auto alert = AlertView::create("", "5551234", delegate, "Cancel", {"Call"});
    weak = alert;
    EXPECT_FALSE(testenv::AppControls::answerAlert(1)) << "not shown yet";
    alert->show();
  }
  ASSERT_FALSE(weak.expired()) << "the system keeps a shown alert";
  EXPECT_FALSE(testenv::AppControls::answerAlert(5));
  EXPECT_TRUE(testenv::AppControls::answerAlert("Call"));
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"clicked 1 visible", "willDismiss 1"}));
  env.advance(0.3);
  EXPECT_EQ(delegate->log.back(), "didDismiss 1");
  EXPECT_TRUE(weak.expired());
}

TEST_F(AlertViewTest, AlertControllerRunsTheHandlerAfterItsDismissal) {
  auto window = Window::create();
  window->setRootViewController(ViewController::create());
  window->makeKeyAndVisible();
  auto root = window->rootViewController();

  std::vector<std::string> log;
  auto alert = AlertController::create("Title", "Message", AlertControllerStyle::Alert);
  auto disabled =
      AlertAction::create("Later", AlertActionStyle::Default, [&](AlertAction&) { log.push_back("later"); });
  disabled->setEnabled(false);
  alert->addAction(disabled);
  alert->addAction(AlertAction::create("OK", AlertActionStyle::Default, [&](AlertAction& a) {
    log.push_back(a.title() + (root->presentedViewController() ? " while presented" : " after dismissal"));
  }));
  root->presentViewController(alert, true);
  env.advance(0.3);
  EXPECT_EQ(root->view()->window(), window) << "an alert leaves its presenter on screen";

  EXPECT_TRUE(testenv::AppControls::answerAlert(0));  // disabled: nothing
  env.advance(1);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(testenv::AppControls::answerAlert("OK"));
  EXPECT_TRUE(testenv::AppControls::answerAlert("OK"));  // a second tap does nothing more
  env.advance(0.3);
  EXPECT_EQ(log, std::vector<std::string>{"OK after dismissal"});
}

}  // namespace
}  // namespace platform
