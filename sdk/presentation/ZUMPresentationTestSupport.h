// What the presentation tests share: a key window whose root controller is the host,
// a slot whose event delegate and the full-screen notifications write into one log, and
// the application's status bar and idle timer as a host would leave them.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ZUMSlotAdEventDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/request/ZUMFullScreenNotifications.h"
#include "sdk/request/ZUMMRAIDEventHandling.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace presentation_testing {

using Log = std::vector<std::string>;

struct SlotEvents : ZUMSlotAdEventDelegate {
  explicit SlotEvents(std::shared_ptr<Log> log) : log(std::move(log)) {}
  ZUMImplemented slotWillPresentScreen(ZUMSlot&) override { return note("slot.willPresent"); }
  ZUMImplemented slotWillDismissScreen(ZUMSlot&) override { return note("slot.willDismiss"); }
  ZUMImplemented slotDidDismissScreen(ZUMSlot&) override { return note("slot.didDismiss"); }
  ZUMImplemented note(const char* text) {
    log->push_back(text);
    return kZUMImplemented;
  }
  std::shared_ptr<Log> log;
};

// The MRAID page of the slot's ad, as the slot would tell it: visibility, orientation
// notices and errors ("action: message") go into the log.
struct MRAIDPage : ZUMMRAIDEventHandling {
  explicit MRAIDPage(std::shared_ptr<Log> log) : log(std::move(log)) {}
  void MRAIDAdDidLoad() override {}
  void MRAIDAdDidUnload() override {}
  void updateVisibility(bool visible) override { log->push_back(visible ? "visible" : "hidden"); }
  void updatePositionFromView(platform::View&) override {}
  void notifyOrientationToMRAIDCreative() override { log->push_back("orientation"); }
  void handleError(const std::string& message, const std::string& action) override {
    log->push_back(action + ": " + message);
  }
  std::shared_ptr<Log> log;
};

class PresentationTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    auto& application = platform::Application::shared();
    application.setDelegate(nullptr);
    testenv::AppControls::rotate(platform::kInterfaceOrientationPortrait);
    application.setStatusBarHidden(false);
    application.setIdleTimerDisabled(false);
    window = platform::Window::create();
    host = platform::ViewController::create();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    slot = ZUMSlot::create();
    slot->setAdEventDelegate(events);
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const char* name : {kZUMAdModalViewControllerWillPresentFullScreenNotification,
                             kZUMAdModalViewControllerDidDismissFullScreenNotification}) {
      tokens.push_back(center.addObserver(name, nullptr, nullptr, [log = log, name](const platform::Notification&) {
        log->push_back(name == std::string(kZUMAdModalViewControllerWillPresentFullScreenNotification) ? "willPresent"
                                                                                                       : "didDismiss");
      }));
    }
    env.runUntilIdle();
    log->clear();
  }
  void TearDown() override {
    for (const auto& token : tokens) platform::NotificationCenter::defaultCenter().removeObserver(token);
    platform::Application::shared().setDelegate(nullptr);
  }

  // A completion that writes `text` into the log.
  std::function<void()> mark(const std::string& text) {
    return [log = log, text] { log->push_back(text); };
  }
  long count(const std::string& entry) const { return std::count(log->begin(), log->end(), entry); }

  std::shared_ptr<Log> log = std::make_shared<Log>();
  std::shared_ptr<SlotEvents> events = std::make_shared<SlotEvents>(log);
  std::vector<platform::NotificationCenter::Token> tokens;
  std::shared_ptr<platform::Window> window;
  std::shared_ptr<platform::ViewController> host;
  std::shared_ptr<ZUMSlot> slot;
};

}  // namespace presentation_testing
