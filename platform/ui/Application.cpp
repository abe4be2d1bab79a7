#include "platform/ui/Application.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/base/TestingReset.h"
#include "platform/base/Thread.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "platform/ui/DeviceProfile.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/LocationManager.h"
#include "platform/ui/SafariViewController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

InterfaceOrientationMask maskFromInfoStrings(const std::vector<std::string>& names) {
  InterfaceOrientationMask mask = 0;
  for (const auto& name : names) {
    if (name == "UIInterfaceOrientationPortrait") mask |= kInterfaceOrientationMaskPortrait;
    if (name == "UIInterfaceOrientationPortraitUpsideDown") mask |= kInterfaceOrientationMaskPortraitUpsideDown;
    if (name == "UIInterfaceOrientationLandscapeRight") mask |= kInterfaceOrientationMaskLandscapeRight;
    if (name == "UIInterfaceOrientationLandscapeLeft") mask |= kInterfaceOrientationMaskLandscapeLeft;
  }
  return mask;
}

// The controllers on screen in a window: the root and its presented chain, with their
// children, bottom first.
void collectOnScreen(const std::shared_ptr<ViewController>& controller,
                     std::vector<std::shared_ptr<ViewController>>& out) {
  if (!controller) return;
  auto view = controller->viewIfLoaded();
  if (view && view->window()) out.push_back(controller);
  for (const auto& child : controller->childViewControllers()) collectOnScreen(child, out);
}

std::vector<std::shared_ptr<ViewController>> controllersOnScreen() {
  std::vector<std::shared_ptr<ViewController>> out;
  for (const auto& window : Window::windows()) {
    for (auto c = window->rootViewController(); c; c = c->presentedViewController()) {
      collectOnScreen(c, out);
    }
  }
  return out;
}

bool isUniversalLinksOnly(const nlohmann::ordered_json& options) {
  if (!options.is_object()) return false;
  auto it = options.find(kApplicationOpenURLOptionUniversalLinksOnly);
  if (it == options.end()) return false;
  if (it->is_boolean()) return it->get<bool>();
  if (it->is_number()) return it->get<double>() != 0;
  return false;
}

}  // namespace

Application& Application::shared() { return *sharedObject(); }

std::shared_ptr<Application> Application::sharedObject() {
  // Never destroyed: notifications may still carry it while the process exits.
  // Tests start each with a fresh one; the old one is kept, as references may remain.
  static auto* application = new ResettableShared<Application>(
      [] { return std::shared_ptr<Application>(new Application()); }, OnTestingReset::Keep);
  return application->get();
}

std::vector<std::shared_ptr<Window>> Application::windows() const { return Window::windows(); }

std::shared_ptr<Window> Application::keyWindow() const { return Window::keyWindow(); }

void Application::setStatusBarHidden(bool hidden) {
  if (hidden == statusBarHidden_) return;
  statusBarHidden_ = hidden;
  LayoutGuide::statusBarDidChange();
}

Rect Application::statusBarFrame() const {
  if (statusBarHidden_) return Rect::zero();
  return Rect(0, 0, Screen::main().bounds().width(), 20);
}

// --- Life cycle ---------------------------------------------------------------------------

void Application::post(const char* name) { NotificationCenter::defaultCenter().post(name, sharedObject()); }

void Application::finishLaunching(std::shared_ptr<ApplicationDelegate> delegate) {
  delegate_ = std::move(delegate);
  state_ = ApplicationState::Inactive;
  if (auto d = delegate_) d->applicationDidFinishLaunching(*this);
  post(kApplicationDidFinishLaunchingNotification);
  becomeActive();
}

void Application::resignActive() {
  if (state_ != ApplicationState::Active) return;
  state_ = ApplicationState::Inactive;
  if (auto d = delegate_) d->applicationWillResignActive(*this);
  post(kApplicationWillResignActiveNotification);
}

void Application::becomeActive() {
  if (state_ != ApplicationState::Inactive) return;
  state_ = ApplicationState::Active;
  if (auto d = delegate_) d->applicationDidBecomeActive(*this);
  post(kApplicationDidBecomeActiveNotification);
}

void Application::enterBackground() {
  if (state_ == ApplicationState::Background) return;
  resignActive();
  state_ = ApplicationState::Background;
  if (auto d = delegate_) d->applicationDidEnterBackground(*this);
  post(kApplicationDidEnterBackgroundNotification);
}

void Application::enterForeground() {
  if (state_ != ApplicationState::Background) return;
  if (auto d = delegate_) d->applicationWillEnterForeground(*this);
  post(kApplicationWillEnterForegroundNotification);
  state_ = ApplicationState::Inactive;
  becomeActive();
}

// --- Orientation ----------------------------------------------------------------------

InterfaceOrientationMask Application::supportedInterfaceOrientationsForWindow(
    const std::shared_ptr<Window>& window) const {
  if (auto d = delegate_) {
    if (auto mask = d->supportedInterfaceOrientationsForWindow(const_cast<Application&>(*this), window)) {
      return *mask;
    }
  }
  auto& bundle = Bundle::main();
  if (Device::current().userInterfaceIdiom() == Device::UserInterfaceIdiom::Pad) {
    if (auto mask =
            maskFromInfoStrings(bundle.stringArrayForInfoDictionaryKey("UISupportedInterfaceOrientations~ipad"))) {
      return mask;
    }
  }
  if (auto mask = maskFromInfoStrings(bundle.stringArrayForInfoDictionaryKey("UISupportedInterfaceOrientations"))) {
    return mask;
  }
  return kInterfaceOrientationMaskAll;
}

void Application::setDeviceOrientation(InterfaceOrientation orientation) {
  if (!isValidInterfaceOrientation(orientation)) return;
  deviceOrientation_ = orientation;
  attemptRotationToDeviceOrientation();
}

void Application::attemptRotationToDeviceOrientation() {
  if (rotating_) return;
  auto window = Window::keyWindow();
  if (!window) {
    auto all = Window::windows();
    if (!all.empty()) window = all.back();
  }
  std::shared_ptr<ViewController> top = window ? window->rootViewController() : nullptr;
  while (top && top->presentedViewController()) top = top->presentedViewController();

  InterfaceOrientationMask allowed = supportedInterfaceOrientationsForWindow(window);
  if (top) allowed &= top->supportedInterfaceOrientations();
  if (allowed == 0) {
    SystemLog::write("ui", "No orientation is both supported by the application and by " +
                               (top ? top->description() : std::string("its window")) +
                               "; the interface stays as it is.");
    return;
  }
  const bool currentAllowed = allowed & interfaceOrientationMask(statusBarOrientation_);
  const bool deviceAllowed = allowed & interfaceOrientationMask(deviceOrientation_);
  InterfaceOrientation target = statusBarOrientation_;
  if (deviceAllowed && (!currentAllowed || !top || top->shouldAutorotate())) {
    target = deviceOrientation_;
  } else if (!currentAllowed) {
    target = top ? top->preferredInterfaceOrientationForPresentation() : kInterfaceOrientationUnknown;
    if (!(allowed & interfaceOrientationMask(target))) {
      for (InterfaceOrientation o = 1; o <= 4; ++o) {
        if (allowed & interfaceOrientationMask(o)) {
          target = o;
          break;
        }
      }
    }
  }
  if (target != statusBarOrientation_) rotateInterface(target);
}

void Application::rotateInterface(InterfaceOrientation to) {
  rotating_ = true;
  const InterfaceOrientation from = statusBarOrientation_;
  auto& center = NotificationCenter::defaultCenter();
  center.post(kApplicationWillChangeStatusBarOrientationNotification, sharedObject(),
              nlohmann::ordered_json{{kApplicationStatusBarOrientationUserInfoKey, to}});

  const Rect oldBounds = Screen::main().bounds();
  Size newSize = oldBounds.size;
  if (isInterfaceOrientationPortrait(from) != isInterfaceOrientationPortrait(to)) {
    newSize = Size{oldBounds.size.height, oldBounds.size.width};
  }
  const auto controllers = controllersOnScreen();
  const double duration = statusBarOrientationAnimationDuration();
  for (const auto& c : controllers) {
    c->viewWillTransitionToSize(newSize);
    c->willRotateToInterfaceOrientation(to, duration);
  }
  Screen::main().setBoundsSize(newSize);
  for (const auto& window : Window::windows()) {
    if (window->frame() == oldBounds) window->setFrame(Screen::main().bounds());
  }
  statusBarOrientation_ = to;
  for (const auto& c : controllers) c->didRotateFromInterfaceOrientation(from);
  rotating_ = false;

  center.post(kApplicationDidChangeStatusBarOrientationNotification, sharedObject(),
              nlohmann::ordered_json{{kApplicationStatusBarOrientationUserInfoKey, from}});
}

// --- Opening URLs -------------------------------------------------------------------

bool Application::openURL(const URL& url) {
  const std::string scheme = asciiLowercased(url.scheme().value_or(""));
  if (!installedSchemes_.count(scheme)) return false;
  openedURLs_.push_back(url);
  return true;
}

void Application::openURL(const URL& url, const nlohmann::ordered_json& options,
                          std::function<void(bool opened)> completion) {
  const std::string scheme = asciiLowercased(url.scheme().value_or(""));
  bool opened = false;
  if (isUniversalLinksOnly(options) && (scheme == "http" || scheme == "https")) {
    const std::string host = asciiLowercased(url.host().value_or(""));
    if (universalLinkHosts_.count(host)) {
      openedURLs_.push_back(url);
      opened = true;
    }
  } else {
    opened = openURL(url);
  }
  if (completion) {
    DispatchQueue::main()->async([completion = std::move(completion), opened] { completion(opened); });
  }
}

bool Application::canOpenURL(const URL& url) const {
  const std::string scheme = asciiLowercased(url.scheme().value_or(""));
  bool listed = false;
  for (const auto& allowed : Bundle::main().stringArrayForInfoDictionaryKey("LSApplicationQueriesSchemes")) {
    if (asciiLowercased(allowed) == scheme) listed = true;
  }
  if (!listed) {
    SystemLog::write("ui", "canOpenURL refused for \"" + url.absoluteString() +
                               "\": the application may not query the scheme \"" + scheme + "\".");
    return false;
  }
  return installedSchemes_.count(scheme) > 0;
}

void Application::setInstalledURLSchemes(std::set<std::string> schemes) {
  installedSchemes_.clear();
  for (const auto& s : schemes) installedSchemes_.insert(asciiLowercased(s));
}

void Application::setUniversalLinkHosts(std::set<std::string> hosts) {
  universalLinkHosts_.clear();
  for (const auto& h : hosts) universalLinkHosts_.insert(asciiLowercased(h));
}

// --- Main -------------------------------------------------------------------------------

void registerPlatformClasses() {
  LocationManager::registerClass();
  if (Device::current().isOperatingSystemAtLeast({9, 0, 0})) SafariViewController::registerClass();
}

int applicationMain(std::shared_ptr<ApplicationDelegate> delegate) {
  bindMainThread();
  if (const char* info = std::getenv("MORVANE_INFO_FILE"); info && *info) {
    if (!Bundle::main().loadInfoDictionary(info)) {
      SystemLog::write("ui", std::string("Could not read the information dictionary ") + info + ".");
    }
  }
  if (const char* profile = std::getenv("MORVANE_DEVICE_PROFILE"); profile && *profile) {
    if (!DeviceProfile::load(profile)) {
      SystemLog::write("ui", std::string("Could not read the device profile ") + profile + ".");
    }
  }
  registerPlatformClasses();
  Application::shared().finishLaunching(std::move(delegate));
  RunLoop::main().run();
  // The process ends next: no platform thread may run on while it does.
  Thread::stopAndJoinAll();
  return 0;
}

}  // namespace platform
