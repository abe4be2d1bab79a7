// The user and the system around the application, in tests: launching, sending the
// application to the background and back, turning the device, answering alerts, ending
// composers and closing the store sheet or the browser. Each call acts at once, as the
// system would deliver it; what follows on later turns (animations, completions) runs
// when the test runs the loop (TestEnvironment::runUntilIdle, advance).
//
//   testenv::AppControls::background();
//   testenv::AppControls::foreground();
//   testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
//   testenv::AppControls::answerAlert("Call");
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/InterfaceOrientation.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/MessageComposeViewController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace testenv {

class AppControls {
 public:
  // The launch sequence with `delegate` (did-finish-launching, then active).
  static void launch(std::shared_ptr<platform::ApplicationDelegate> delegate);
  // The user leaves the application (home button): resign active, enter background.
  static void background();
  // The user comes back: will-enter-foreground, then active.
  static void foreground();
  // An interruption (a call, the control centre) and its end.
  static void resignActive();
  static void becomeActive();

  // The user turns the device; the interface follows where allowed.
  static void rotate(platform::InterfaceOrientation orientation);
  // The system reports the status bar in `orientation` (0: unknown, as early after
  // launch) without turning anything.
  static void reportStatusBarOrientation(platform::InterfaceOrientation orientation);

  // What is installed on the device, which decides what openURL() opens: the URL
  // schemes other applications handle, and the hosts whose links an installed
  // application claims as universal links.
  static void setInstalledURLSchemes(std::set<std::string> schemes);
  static void setUniversalLinkHosts(std::set<std::string> hosts);

  // Taps a button of the front-most alert: an older alert on screen, else the top-most
  // presented alert controller. Returns false when there is no such alert or button.
  static bool answerAlert(std::int64_t buttonIndex);
  static bool answerAlert(std::string_view buttonTitle);

  // Ends the top-most composer on screen with the result; false when there is none.
  static bool finishMailComposer(platform::MailComposeResult result);
  static bool finishMessageComposer(platform::MessageComposeResult result);
  // Taps "Done" on the top-most store sheet or Safari view controller on screen.
  static bool finishStoreSheet();
  static bool finishSafari();

  // The top-most controller of type T on screen (presented chains first, front window
  // first, children included), or nullptr.
  template <class T>
  static std::shared_ptr<T> topmost() {
    for (const auto& controller : controllersOnScreen()) {
      if (auto match = std::dynamic_pointer_cast<T>(controller)) return match;
    }
    return nullptr;
  }

  // Every controller on screen, the top-most first.
  static std::vector<std::shared_ptr<platform::ViewController>> controllersOnScreen();
};

}  // namespace testenv
