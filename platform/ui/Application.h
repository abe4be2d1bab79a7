// The running application, after the platform's: its state (active, inactive, in the
// background) with the life-cycle notifications, its delegate, windows and key window,
// the status bar (hidden, orientation, frame), the idle timer, the orientations allowed
// per window, and opening URLs in other applications.
//
// Life cycle. The process starts as a launched, active application, so code under test
// needs no launch; applicationMain() runs the launch sequence. Each transition calls the
// delegate first, then posts its notification on the default notification center (the
// application as object), on the main thread:
//   launch:     state inactive, delegate, did-finish-launching; then become active.
//   resign:     will-resign-active (state inactive from then on).
//   background: resign when active; state background; did-enter-background.
//   foreground: will-enter-foreground (still in the background); state inactive; then
//               become active: state active, did-become-active.
//
// Orientation. The interface (status bar) orientation follows the device's when the top
// controller on the key window allows it (its supported orientations together with the
// application's for the window) and agrees to rotate; when the current orientation is
// no longer allowed (a presentation, a dismissal) the interface turns to the device's
// orientation if allowed, else to the top controller's preferred orientation for
// presentation, else to the first allowed one. A rotation posts will-change, swaps the
// screen's bounds between the portrait and landscape families (windows that filled the
// screen follow), calls the rotation callbacks of the controllers on screen, and posts
// did-change with the previous orientation in the user info.
//
// Opening URLs. What another application would open is decided by the installed URL
// schemes and the universal-link hosts (set by the test controls or at start-up);
// canOpenURL() answers only for schemes listed in the information dictionary under
// "LSApplicationQueriesSchemes" and no for any other (with a log line).
//
// Main thread only, except applicationState() and isActive(), which any thread may read.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/InterfaceOrientation.h"

namespace platform {

class Window;

enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

inline constexpr const char* kApplicationDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification";
inline constexpr const char* kApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* kApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr const char* kApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* kApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* kApplicationWillChangeStatusBarOrientationNotification =
    "UIApplicationWillChangeStatusBarOrientationNotification";
inline constexpr const char* kApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";
// User-info key of the orientation notifications: the new orientation (will-change) or
// the previous one (did-change), as a number.
inline constexpr const char* kApplicationStatusBarOrientationUserInfoKey =
    "UIApplicationStatusBarOrientationUserInfoKey";
// Option of openURL(): a boolean; true opens an http(s) URL only as the universal link
// of an installed application.
inline constexpr const char* kApplicationOpenURLOptionUniversalLinksOnly =
    "UIApplicationOpenURLOptionUniversalLinksOnly";

class Application {
 public:
  static Application& shared();
  // The shared application as a notification object (what its notifications carry).
  static std::shared_ptr<Application> sharedObject();

  // --- State --------------------------------------------------------------------------
  ApplicationState applicationState() const { return state_.load(); }
  bool isActive() const { return applicationState() == ApplicationState::Active; }

  // --- Delegate and windows -------------------------------------------------------------
  std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
  std::vector<std::shared_ptr<Window>> windows() const;
  std::shared_ptr<Window> keyWindow() const;

  // --- Status bar and idle timer --------------------------------------------------------
  bool isStatusBarHidden() const { return statusBarHidden_; }
  // A change lays out again the views whose constraints may name a top layout guide.
  void setStatusBarHidden(bool hidden);
  InterfaceOrientation statusBarOrientation() const { return statusBarOrientation_; }
  // The zero rectangle while hidden; else a 20-point bar across the top of the screen.
  Rect statusBarFrame() const;
  double statusBarOrientationAnimationDuration() const { return 0.3; }
  bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
  void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }

  // --- Orientation --------------------------------------------------------------------
  // The delegate's answer, else the information dictionary's
  // "UISupportedInterfaceOrientations" ("~ipad" first on a pad), else all orientations.
  InterfaceOrientationMask supportedInterfaceOrientationsForWindow(const std::shared_ptr<Window>& window) const;
  InterfaceOrientation deviceOrientation() const { return deviceOrientation_; }
  // The device turned (device motion, test controls); the interface follows when allowed.
  void setDeviceOrientation(InterfaceOrientation orientation);
  // Re-evaluates the interface orientation against the top controller (see above).
  void attemptRotationToDeviceOrientation();

  // --- Opening URLs -------------------------------------------------------------------
  // Opens the URL in another application; whether anything opened.
  [[nodiscard]] bool openURL(const URL& url);
  // The same with options (kApplicationOpenURLOptionUniversalLinksOnly); the completion,
  // when given, learns on a later turn of the main queue whether it opened.
  void openURL(const URL& url, const nlohmann::ordered_json& options, std::function<void(bool opened)> completion);
  bool canOpenURL(const URL& url) const;
  // Every URL opened so far, in order.
  const std::vector<URL>& openedURLs() const { return openedURLs_; }

  // What is installed on the device: lower-case schemes another application opens
  // (http, https, mailto, tel, sms, facetime, itms-apps and maps at first) and the hosts
  // whose https links an installed application claims (none at first).
  void setInstalledURLSchemes(std::set<std::string> schemes);
  void setUniversalLinkHosts(std::set<std::string> hosts);

  // --- The system's side: applicationMain() and the test controls -----------------------
  // Runs the launch sequence with `delegate`.
  void finishLaunching(std::shared_ptr<ApplicationDelegate> delegate);
  void resignActive();
  void becomeActive();
  void enterBackground();
  void enterForeground();
  // The status-bar orientation as the system reports it before the interface has
  // settled (at launch it may be unknown, 0): set as it is, no rotation, no notification.
  void reportStatusBarOrientation(InterfaceOrientation orientation) { statusBarOrientation_ = orientation; }

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

 private:
  Application() = default;
  void post(const char* name);
  void rotateInterface(InterfaceOrientation to);

  std::atomic<ApplicationState> state_{ApplicationState::Active};
  std::shared_ptr<ApplicationDelegate> delegate_;
  bool statusBarHidden_ = false;
  bool idleTimerDisabled_ = false;
  InterfaceOrientation statusBarOrientation_ = kInterfaceOrientationPortrait;
  InterfaceOrientation deviceOrientation_ = kInterfaceOrientationPortrait;
  bool rotating_ = false;
  std::vector<URL> openedURLs_;
  std::set<std::string> installedSchemes_{"http", "https", "mailto", "tel", "sms", "facetime", "itms-apps", "maps"};
  std::set<std::string> universalLinkHosts_;
};

// Registers the optional system classes that are looked up by name: the location
// manager, and the Safari view controller where the system version has it (9.0 on).
void registerPlatformClasses();

// The host's main: binds the calling thread as the main thread, reads the information
// dictionary (the file named by MORVANE_INFO_FILE) and the device profile
// (MORVANE_DEVICE_PROFILE) when given, registers the platform classes, runs the launch
// sequence and then the main run loop. Returns when the main run loop is stopped, once
// the platform threads still running (platform/base/Thread.h) have been stopped and
// joined.
int applicationMain(std::shared_ptr<ApplicationDelegate> delegate);

}  // namespace platform
