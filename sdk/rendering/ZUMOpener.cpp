#include "sdk/rendering/ZUMOpener.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMAutoClickProtection.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMClickHandling.h"
#include "sdk/rendering/ZUMMRAIDResizeProperties.h"
#include "sdk/rendering/ZUMSafariViewControllerSupport.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using platform::URL;

std::shared_ptr<ZUMClickHandling> clickHandlingFor(const char* action, const std::string& subject) {
  auto handling = ZUMClickHandling::shared();
  if (!handling)
    ZUMLog(kZUMLogLevelDefault, std::string("No click handling: ") + action + " " + subject + " not opened.");
  return handling;
}

}  // namespace

std::shared_ptr<ZUMOpener> ZUMOpener::create() { return std::shared_ptr<ZUMOpener>(new ZUMOpener()); }

ZUMOpener::~ZUMOpener() = default;

// --- Gates ---------------------------------------------------------------------------------

bool ZUMOpener::shouldPerformOpenAction() {
  platform::assertMainThread();
  if (!autoClickProtection_ || !autoClickProtection_->isEnabled()) return true;
  auto adView = adView_.lock();
  if (adView && adView->touched()) return true;
  if (adView && navigationRequest_) {
    ZUMAdURLStash::sharedInstance()->adViewDidAttemptAutoClickRequest(adView->stashKey(), *navigationRequest_);
  }
  std::optional<std::string> debugDialog;
  if (adView) debugDialog = adView->adDebugDialogString();
  std::optional<std::string> navigationURL;
  if (navigationRequest_ && navigationRequest_->url()) navigationURL = navigationRequest_->url()->absoluteString();
  autoClickProtection_->reportSpamOpenAction(debugDialog, navigationURL);
  return false;
}

bool ZUMOpener::shouldPerformOpenActionWithOrientations(std::uint64_t orientationMask) {
  if (!ZUMApplication::sharedInstance()->supportsOrientations(orientationMask)) return false;
  return shouldPerformOpenAction();
}

std::optional<std::string> ZUMOpener::confirmationMessageForURL(const URL& url) {
  static const nlohmann::ordered_json kDefaultSchemes = {{"tel", "Call"}, {"facetime", "FaceTime"}};
  const auto stored = ZUMUserDefaults::dictionaryForKey("/vantor/ads/clickthrough_confirm_schemes");
  const auto& schemes = stored ? *stored : kDefaultSchemes;
  // Schemes are case-insensitive: "TEL:" must ask as "tel:" does.
  const auto scheme = ZUMLowercasedScheme(url);
  for (const auto& [key, title] : schemes.items()) {
    if (platform::asciiLowercased(key) == scheme && title.is_string()) return title.get<std::string>();
  }
  return std::nullopt;
}

bool ZUMOpener::shouldOpenURL(const std::optional<URL>& url) {
  const bool allowed = shouldPerformOpenAction();
  if (!url || !allowed) return false;
  const auto title = confirmationMessageForURL(*url);
  if (!title) return true;
  for (const auto& confirmed : allowedAppURLs_) {
    if (confirmed.absoluteString() == url->absoluteString()) return true;
  }
  confirmClickToURL(*url, *title);
  return false;
}

void ZUMOpener::confirmClickToURL(const URL& url, const std::string& message) {
  dropStaleConfirmations();
  const auto& text = url.absoluteString();
  const auto schemeLength = url.scheme().value_or("").size() + 1;
  auto alert = platform::AlertView::create("", text.size() > schemeLength ? text.substr(schemeLength) : "",
                                           weak_from_this(), "Cancel", {message});
  std::optional<std::weak_ptr<ZUMAdView>> adView;
  if (auto shown = adView_.lock()) {
    adView = shown;
    shown->addAlert(alert);  // gone with the ad view, not at the next answer
  }
  confirmations_.push_back({alert, url, adView});
  alert->show();
}

void ZUMOpener::alertViewClickedButtonAtIndex(platform::AlertView& alert, std::int64_t buttonIndex) {
  dropStaleConfirmations();  // an answer for an ad view gone opens nothing
  for (auto entry = confirmations_.begin(); entry != confirmations_.end(); ++entry) {
    if (entry->alert.lock().get() != &alert) continue;
    const auto url = entry->url;
    confirmations_.erase(entry);
    if (buttonIndex == alert.firstOtherButtonIndex()) {
      allowedAppURLs_.push_back(url);
      openApp(url);
    }
    takeRecordedClick(url);
    return;
  }
}

void ZUMOpener::alertViewDidDismissWithButtonIndex(platform::AlertView&, std::int64_t) { dropStaleConfirmations(); }

void ZUMOpener::dropStaleConfirmations() {
  std::vector<std::shared_ptr<platform::AlertView>> orphans;
  std::vector<URL> dropped;
  std::erase_if(confirmations_, [&](const Confirmation& confirmation) {
    auto alert = confirmation.alert.lock();
    const bool adViewGone = confirmation.adView && confirmation.adView->expired();
    if (alert && alert->isVisible() && !adViewGone) return false;
    if (alert) orphans.push_back(alert);  // dismissing one already gone does nothing
    dropped.push_back(confirmation.url);
    return true;
  });
  for (const auto& url : dropped) takeRecordedClick(url);
  // Taken down once the list is settled: their delegate calls come back here.
  for (const auto& alert : orphans) alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex(), false);
}

// --- Recording -------------------------------------------------------------------------

void ZUMOpener::didClickURL(const std::optional<URL>& url) {
  auto slot = slot_.lock();
  auto events = slot ? ZUMSlotEventHandler::forSlot(*slot) : nullptr;
  if (events) events->adWasClicked();
  if (auto adView = adView_.lock(); adView && url) {
    ZUMAdURLStash::sharedInstance()->adViewDidClickThroughToURL(adView->stashKey(), *url);
  }
  if (events) events->pingClickURLs();
}

std::shared_ptr<platform::ViewController> ZUMOpener::topViewController() const {
  auto controller = viewController_.lock();
  auto view = controller ? controller->viewIfLoaded() : nullptr;
  if (!view || !view->window()) {
    auto window = ZUMApplication::sharedInstance()->mainWindow();
    controller = window ? window->rootViewController() : nullptr;
  }
  while (controller && controller->presentedViewController()) controller = controller->presentedViewController();
  return controller;
}

// --- Other applications ------------------------------------------------------------------

void ZUMOpener::openApp(const std::optional<URL>& url) {
  if (url && !ZUMURLOpensInAnotherApplication(*url)) {
    ZUMLog(kZUMLogLevelDefault, "Refused to open " + url->absoluteString() + " outside the application.");
    return;
  }
  if (!shouldOpenURL(url)) return;
  if (!takeRecordedClick(*url)) didClickURL(url);
  // The opener is held until the open has answered: an opener made for this one call
  // (the in-app browser's) must still report the leave.
  platform::OperationQueue::main()->addOperation([self = shared_from_this(), url = *url] {
    ZUMApplication::sharedInstance()->openURL(url, false, [self](bool opened) {
      // Leaving is reported only when something did open.
      if (opened) self->willLeaveApplication();
    });
  });
}

void ZUMOpener::openAppForRecordedClick(const std::optional<URL>& url) {
  if (!url) return openApp(url);
  recordedClickURLs_.push_back(*url);
  openApp(url);
  // Kept only while a confirmation for the URL is up; its answer takes it.
  const bool confirming =
      std::any_of(confirmations_.begin(), confirmations_.end(), [&](const auto& entry) { return entry.url == *url; });
  if (!confirming) takeRecordedClick(*url);
}

bool ZUMOpener::takeRecordedClick(const URL& url) {
  const auto found = std::find(recordedClickURLs_.begin(), recordedClickURLs_.end(), url);
  if (found == recordedClickURLs_.end()) return false;
  recordedClickURLs_.erase(found);
  return true;
}

void ZUMOpener::willLeaveApplication() {
  auto slot = slot_.lock();
  auto events = slot ? ZUMSlotEventHandler::forSlot(*slot) : nullptr;
  if (events) events->adWillLeaveApplication();
  didOpenAnotherApplication_ = true;
  if (events) events->willLeaveAppDueToClick();
}

void ZUMOpener::openAppLink(const URL& url, const std::string& eventID) {
  const auto scheme = ZUMLowercasedScheme(url);
  const bool allowed =
      shouldOpenURL(url) && scheme != "about" && scheme != "file" && ZUMURLOpensInAnotherApplication(url);
  const bool modern = ZUMDevice::sharedInstance()->isOSAtLeastMajor(10, 0, 0);
  if (!allowed || (!modern && (scheme == "http" || scheme == "https"))) {
    postOpenDeepLink(url, false, eventID);
    return;
  }
  platform::OperationQueue::main()->addOperation([weak = weak_from_this(), url, eventID] {
    ZUMApplication::sharedInstance()->openURL(url, true, [weak, url, eventID](bool opened) {
      auto self = weak.lock();
      if (!self) return;
      // As for other applications: leaving is reported only once something opened.
      if (opened) {
        self->willLeaveApplication();
        self->didClickURL(url);
      }
      self->postOpenDeepLink(url, opened, eventID);
    });
  });
}

void ZUMOpener::postOpenDeepLink(const URL& url, bool opened, const std::string& eventID) {
  auto adView = adView_.lock();
  if (!adView) return;
  nlohmann::ordered_json info = {{url.absoluteString(), opened}, {"event_id", eventID}};
  adView->postJSNotification("openDeepLink", info);
}

// --- Screens of the presentation area ----------------------------------------------------

void ZUMOpener::openInAppStoreWithProductID(const std::optional<std::string>& productID,
                                            const std::optional<URL>& fallbackURL,
                                            ZUMStoreSheetPresentation presentation) {
  if (!shouldPerformOpenAction()) return;
  if (auto handling = clickHandlingFor("openInAppStore", productID.value_or(""))) {
    handling->openInAppStoreWithProductID(*this, productID, fallbackURL, presentation);
  }
}

void ZUMOpener::fetchInAppStoreForProductID(const std::optional<std::string>& productID) {
  if (!productID || cachedStoreProductViewController_.contains(*productID)) return;
  if (auto handling = clickHandlingFor("fetchInAppStore", *productID))
    handling->fetchInAppStoreForProductID(*this, *productID);
}

void ZUMOpener::openBrowserToURL(const std::optional<URL>& url, std::uint64_t orientationMask) {
  auto handling = ZUMClickHandling::shared();
  const bool custom = ZUMUserDefaults::boolForKey("/vantor/ads/show_landing_page_in_custom_browser").value_or(false);
  if (custom && handling && handling->hasSafariViewController()) {
    openSafariViewControllerToURL(url, orientationMask);
  } else {
    openWebViewBrowserToURL(url, orientationMask);
  }
}

void ZUMOpener::openWebViewBrowserToURL(const std::optional<URL>& url, std::uint64_t orientationMask) {
  if (!shouldPerformOpenActionWithOrientations(orientationMask) || !url) return;
  if (auto handling = clickHandlingFor("openWebViewBrowser", url->absoluteString())) {
    handling->openWebViewBrowserToURL(*this, *url, orientationMask);
  }
}

void ZUMOpener::openSafariViewControllerToURL(const std::optional<URL>& url, std::uint64_t orientationMask) {
  if (!shouldPerformOpenActionWithOrientations(orientationMask) || !url) return;
  auto handling = ZUMClickHandling::shared();
  if (handling && handling->hasSafariViewController() && ZUMSafariViewControllerSupportsURL(*url) &&
      topViewController()) {
    handling->openSafariViewControllerToURL(*this, *url);
    return;
  }
  openApp(url);
}

// --- MRAID refusals ------------------------------------------------------------------------

void ZUMOpener::openPromptToStorePictureAtURL(const std::optional<URL>&) {
  reportMRAIDError("Saving pictures is not permitted in this application.", "storePicture");
}

void ZUMOpener::openCalendarWithDictionary(const nlohmann::ordered_json&) {
  reportMRAIDError("Creating calendar events is not supported.", "createCalendarEvent");
}

void ZUMOpener::reportMRAIDError(const std::string& message, const std::string& action) {
  if (auto slot = slot_.lock()) ZUMSlotEventHandler::forSlot(*slot)->handleError(message, action);
}

// --- Composers -------------------------------------------------------------------------------

void ZUMOpener::openEmailComposer(const URL& url) {
  if (!shouldPerformOpenAction()) return;
  if (!platform::MailComposeViewController::canSendMail()) {
    ZUMLog(kZUMLogLevelDefault, "This device cannot send mail.");
    return;
  }
  if (auto handling = clickHandlingFor("openEmailComposer", url.absoluteString()))
    handling->openEmailComposer(*this, url);
}

void ZUMOpener::openSmsComposer(const URL& url) {
  if (!shouldPerformOpenAction()) return;
  if (!platform::MessageComposeViewController::canSendText()) {
    ZUMLog(kZUMLogLevelDefault, "This device cannot send text messages.");
    return;
  }
  if (auto handling = clickHandlingFor("openSmsComposer", url.absoluteString())) handling->openSmsComposer(*this, url);
}

void ZUMOpener::mailComposeControllerDidFinishWithResult(platform::MailComposeViewController& controller,
                                                         platform::MailComposeResult result, platform::ErrorPtr) {
  static constexpr const char* kResults[] = {"cancelled", "saved", "sent", "failed"};
  const auto index = static_cast<std::size_t>(result);
  composerDidFinish(controller, index < std::size(kResults) ? kResults[index] : "unknown");
}

void ZUMOpener::messageComposeViewControllerDidFinishWithResult(platform::MessageComposeViewController& controller,
                                                                platform::MessageComposeResult result) {
  static constexpr const char* kResults[] = {"cancelled", "sent", "failed"};
  const auto index = static_cast<std::size_t>(result);
  composerDidFinish(controller, index < std::size(kResults) ? kResults[index] : "unknown");
}

void ZUMOpener::composerDidFinish(platform::ViewController& composer, const char* result) {
  ZUMLog(kZUMLogLevelDefault, std::string("Composer finished: ") + result + ".");
  // Nothing is dismissed inside the composer's own callback.
  platform::DispatchQueue::main()->async(
      [weak = weak_from_this(), composer = std::weak_ptr<platform::ViewController>(composer.shared_from_this())] {
        auto self = weak.lock();
        auto strong = composer.lock();
        auto handling = ZUMClickHandling::shared();
        if (self && strong && handling) handling->composerDidFinish(*self, strong);
      });
}

// --- Overlays ----------------------------------------------------------------------------------

namespace {

constexpr const char* kExpandRefused = "Expanding an ad is not allowed until the user interacts with the ad.";
constexpr const char* kResizeRefused = "Resizing an ad is not allowed until the user interacts with the ad.";

bool isWebScheme(const URL& url) {
  const auto scheme = ZUMLowercasedScheme(url);
  return scheme == "http" || scheme == "https";
}

}  // namespace

void ZUMOpener::openWebApp(const std::optional<URL>& url, std::uint64_t orientationMask, bool useCustomClose) {
  if (!shouldPerformOpenActionWithOrientations(orientationMask)) {
    reportMRAIDError(kExpandRefused, "expand");
    return;
  }
  if (!url) return;
  if (auto handling = clickHandlingFor("openWebApp", url->absoluteString())) {
    handling->openWebApp(*this, *url, orientationMask, useCustomClose);
  }
}

void ZUMOpener::openWebAppWithHTML(const std::optional<std::string>& html, const std::optional<URL>& baseURL,
                                   std::uint64_t orientationMask, bool useCustomClose) {
  if (!shouldPerformOpenActionWithOrientations(orientationMask)) {
    reportMRAIDError(kExpandRefused, "expand");
    return;
  }
  if (!html) return;
  std::optional<URL> base = baseURL;
  if (base && !isWebScheme(*base)) {
    ZUMLog(kZUMLogLevelDefault, "Web app base URL " + base->absoluteString() + " refused: only http(s) is used.");
    base.reset();
  }
  if (auto handling = clickHandlingFor("openWebAppWithHTML", "HTML")) {
    handling->openWebAppWithHTML(*this, *html, base, orientationMask, useCustomClose);
  }
}

void ZUMOpener::expandToWebAppWithSupportedOrientations(std::uint64_t orientationMask, bool useCustomClose) {
  if (!shouldPerformOpenActionWithOrientations(orientationMask)) {
    reportMRAIDError(kExpandRefused, "expand");
    return;
  }
  if (!adView_.lock()) return;
  if (auto handling = clickHandlingFor("expand", "ad view"))
    handling->expandToWebApp(*this, orientationMask, useCustomClose);
}

void ZUMOpener::openWebAppWithResizeProperties(const std::optional<ZUMMRAIDResizeProperties>& properties) {
  if (!shouldPerformOpenAction()) {
    reportMRAIDError(kResizeRefused, "resize");
    return;
  }
  if (!adView_.lock()) return;
  if (!properties) {
    // Missing or untrusted values: the page hears it and nothing changes.
    reportMRAIDError("Received invalid resize properties", "resize");
    return;
  }
  if (auto handling = clickHandlingFor("resize", "ad view"))
    handling->openWebAppWithResizeProperties(*this, *properties);
}
