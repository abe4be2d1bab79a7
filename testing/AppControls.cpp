#include "testing/AppControls.h"

#include <algorithm>

#include "platform/ui/AlertController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/SafariViewController.h"
#include "platform/ui/StoreProductViewController.h"
#include "platform/ui/View.h"

namespace testenv {

namespace {

void collect(const std::shared_ptr<platform::ViewController>& controller,
             std::vector<std::shared_ptr<platform::ViewController>>& out) {
  const auto& children = controller->childViewControllers();
  for (auto it = children.rbegin(); it != children.rend(); ++it) collect(*it, out);
  out.push_back(controller);
}

}  // namespace

void AppControls::launch(std::shared_ptr<platform::ApplicationDelegate> delegate) {
  platform::Application::shared().finishLaunching(std::move(delegate));
}

void AppControls::background() { platform::Application::shared().enterBackground(); }
void AppControls::foreground() { platform::Application::shared().enterForeground(); }
void AppControls::resignActive() { platform::Application::shared().resignActive(); }
void AppControls::becomeActive() { platform::Application::shared().becomeActive(); }

void AppControls::rotate(platform::InterfaceOrientation orientation) {
  platform::Application::shared().setDeviceOrientation(orientation);
}

void AppControls::reportStatusBarOrientation(platform::InterfaceOrientation orientation) {
  platform::Application::shared().reportStatusBarOrientation(orientation);
}

void AppControls::setInstalledURLSchemes(std::set<std::string> schemes) {
  platform::Application::shared().setInstalledURLSchemes(std::move(schemes));
}

void AppControls::setUniversalLinkHosts(std::set<std::string> hosts) {
  platform::Application::shared().setUniversalLinkHosts(std::move(hosts));
}

std::vector<std::shared_ptr<platform::ViewController>> AppControls::controllersOnScreen() {
  std::vector<std::shared_ptr<platform::ViewController>> out;
  auto windows = platform::Window::windows();
  for (auto w = windows.rbegin(); w != windows.rend(); ++w) {
    std::vector<std::shared_ptr<platform::ViewController>> chain;
    for (auto c = (*w)->rootViewController(); c; c = c->presentedViewController()) chain.push_back(c);
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
      auto view = (*c)->viewIfLoaded();
      if (view && view->window()) collect(*c, out);
    }
  }
  return out;
}

bool AppControls::answerAlert(std::int64_t buttonIndex) {
  auto old = platform::AlertView::visibleAlerts();
  if (!old.empty()) {
    auto alert = old.back();
    if (buttonIndex < 0 || buttonIndex >= alert->numberOfButtons()) return false;
    alert->tapButtonAtIndex(buttonIndex);
    return true;
  }
  auto alert = topmost<platform::AlertController>();
  if (!alert || buttonIndex < 0 || static_cast<std::size_t>(buttonIndex) >= alert->actions().size()) {
    return false;
  }
  alert->tapActionAtIndex(static_cast<std::size_t>(buttonIndex));
  return true;
}

bool AppControls::answerAlert(std::string_view buttonTitle) {
  auto old = platform::AlertView::visibleAlerts();
  if (!old.empty()) {
    auto alert = old.back();
    for (std::int64_t i = 0; i < alert->numberOfButtons(); ++i) {
      if (alert->buttonTitleAtIndex(i) == buttonTitle) return answerAlert(i);
    }
    return false;
  }
  auto alert = topmost<platform::AlertController>();
  if (!alert) return false;
  const auto& actions = alert->actions();
  auto it = std::find_if(actions.begin(), actions.end(), [&](const auto& a) { return a->title() == buttonTitle; });
  if (it == actions.end()) return false;
  return answerAlert(static_cast<std::int64_t>(it - actions.begin()));
}

bool AppControls::finishMailComposer(platform::MailComposeResult result) {
  auto composer = topmost<platform::MailComposeViewController>();
  if (!composer) return false;
  composer->finishWithResult(result);
  return true;
}

bool AppControls::finishMessageComposer(platform::MessageComposeResult result) {
  auto composer = topmost<platform::MessageComposeViewController>();
  if (!composer) return false;
  composer->finishWithResult(result);
  return true;
}

bool AppControls::finishStoreSheet() {
  auto sheet = topmost<platform::StoreProductViewController>();
  if (!sheet) return false;
  sheet->tapDone();
  return true;
}

bool AppControls::finishSafari() {
  auto browser = topmost<platform::SafariViewController>();
  if (!browser) return false;
  browser->tapDone();
  return true;
}

}  // namespace testenv
