// The object that carries out the click and open actions of one web ad, and the one
// place where clicks are checked and recorded. Every ad-view delegate owns one and
// shares it with its message handlers; the navigation policy primes it before each
// decision (the navigation's request, the view controller, the ad view) and the
// delegate's owner gives it its slot.
//
// Every action passes its gates in a fixed order: auto-click protection (the ad view
// must have been touched), the orientations the opened screen may take, then the
// presence of content. URLs whose scheme is in the confirmation table
// ("/vantor/ads/clickthrough_confirm_schemes", else tel and facetime; schemes compare
// in any case) ask the user first. An action that took the user somewhere records the
// click once: the slot's click count and click pings, and the URL stash's click-through.
//
// Here: the gates, confirmation, click recording, leaving the application, app links,
// the browser choice and the MRAID refusals. The screens the presentation area shows
// (store sheet, browsers, composers) go to the registered click handling
// (ZUMClickHandling.h). Holds its view controller, ad view and slot weakly; it is the
// delegate of the confirmation alerts it shows, which hold it weakly, so an alert
// answered after the opener went away opens nothing. An ad view dismisses the
// confirmations that ask about it when it goes, and their entries go with them.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/MessageComposeViewController.h"

namespace platform {
class StoreProductViewController;
class ViewController;
}  // namespace platform

class ZUMAdView;
class ZUMAutoClickProtection;
class ZUMMRAIDResizeProperties;
class ZUMSlot;

// Whether the store sheet waits for its product before it is shown.
enum class ZUMStoreSheetPresentation { AfterFetch, AtOnce };

class ZUMOpener : public platform::AlertViewDelegate,
                  public platform::MailComposeViewControllerDelegate,
                  public platform::MessageComposeViewControllerDelegate,
                  public std::enable_shared_from_this<ZUMOpener> {
 public:
  static std::shared_ptr<ZUMOpener> create();
  ~ZUMOpener() override;
  ZUMOpener(const ZUMOpener&) = delete;
  ZUMOpener& operator=(const ZUMOpener&) = delete;

  // --- Store sheet, browsers, other applications ---------------------------------------
  void openInAppStoreWithProductID(const std::optional<std::string>& productID,
                                   const std::optional<platform::URL>& fallbackURL,
                                   ZUMStoreSheetPresentation presentation);
  // Preloads a sheet: no gate.
  void fetchInAppStoreForProductID(const std::optional<std::string>& productID);
  // The platform's browser controller when "/vantor/ads/show_landing_page_in_custom_browser"
  // is true and the platform has one, else the in-app browser.
  void openBrowserToURL(const std::optional<platform::URL>& url, std::uint64_t orientationMask);
  void openWebViewBrowserToURL(const std::optional<platform::URL>& url, std::uint64_t orientationMask);
  void openSafariViewControllerToURL(const std::optional<platform::URL>& url, std::uint64_t orientationMask);
  // Another application: gate and confirmation, the click, then the open on the main
  // operation queue; leaving the application is reported once the open succeeded (the
  // opener keeps itself until the open has answered, so a short-lived one reports it).
  // Only a URL with a scheme that another application may open (not file, about,
  // javascript or data) is opened.
  void openApp(const std::optional<platform::URL>& url);
  // As openApp, for a click already recorded (the fallback of a store sheet that failed
  // on screen): the user clicked once, so the open records nothing more, also when it
  // waits for a confirmation.
  void openAppForRecordedClick(const std::optional<platform::URL>& url);
  // The slot's leave notices; didOpenAnotherApplication() becomes true.
  void willLeaveApplication();
  // An app link: the page hears "openDeepLink" with whether it opened; the click and the
  // leave notices follow only when it did.
  void openAppLink(const platform::URL& url, const std::string& eventID);
  // Composers: auto-click gate, then whether the device can send; a device that cannot
  // opens nothing and tells the page nothing (a log line says why).
  void openEmailComposer(const platform::URL& url);
  void openSmsComposer(const platform::URL& url);

  // --- Overlays -------------------------------------------------------------------------
  // A full-screen web app of a URL, or of HTML with an http(s) base URL (any other base
  // URL is dropped, so a page cannot reach local files). Refused orientations or no
  // touch: the MRAID error ("expand").
  void openWebApp(const std::optional<platform::URL>& url, std::uint64_t orientationMask, bool useCustomClose);
  void openWebAppWithHTML(const std::optional<std::string>& html, const std::optional<platform::URL>& baseURL,
                          std::uint64_t orientationMask, bool useCustomClose);
  // MRAID expand of the ad view itself.
  void expandToWebAppWithSupportedOrientations(std::uint64_t orientationMask, bool useCustomClose);
  // MRAID resize. No touch: the MRAID error ("resize"); no properties (a key was
  // missing): "Received invalid resize properties" ("resize"), nothing changes.
  void openWebAppWithResizeProperties(const std::optional<ZUMMRAIDResizeProperties>& properties);

  // --- MRAID refusals -------------------------------------------------------------------
  void openPromptToStorePictureAtURL(const std::optional<platform::URL>& url);
  void openCalendarWithDictionary(const nlohmann::ordered_json& dictionary);

  // --- Gates, confirmation, recording ---------------------------------------------------
  // The auto-click gate: true without protection, with protection switched off, or once
  // the ad view was touched. Each refusal is recorded with the URL stash and reported by
  // the protection.
  bool shouldPerformOpenAction();
  // False, without consulting the auto-click gate, when the application supports none of
  // the mask's orientations; else the auto-click gate.
  bool shouldPerformOpenActionWithOrientations(std::uint64_t orientationMask);
  // The confirmation button's title for the URL's scheme (any case), or nullopt.
  [[nodiscard]] static std::optional<std::string> confirmationMessageForURL(const platform::URL& url);
  // Auto-click gate (always run), URL present, then confirmation: false while an alert
  // asks the user.
  bool shouldOpenURL(const std::optional<platform::URL>& url);
  void confirmClickToURL(const platform::URL& url, const std::string& message);
  // The slot's click count and pings; the URL stash's click-through when there is a URL.
  void didClickURL(const std::optional<platform::URL>& url);
  // The controller to present from: the opener's controller when its view is in a
  // window, else the main window's root; then up its presented chain.
  std::shared_ptr<platform::ViewController> topViewController() const;

  // --- platform::AlertViewDelegate ------------------------------------------------------
  void alertViewClickedButtonAtIndex(platform::AlertView& alert, std::int64_t buttonIndex) override;
  // An alert gone without an answer leaves nothing behind.
  void alertViewDidDismissWithButtonIndex(platform::AlertView& alert, std::int64_t buttonIndex) override;
  // --- Composer delegates: on a later turn of the main queue the composer goes ----------
  void mailComposeControllerDidFinishWithResult(platform::MailComposeViewController& controller,
                                                platform::MailComposeResult result, platform::ErrorPtr error) override;
  void messageComposeViewControllerDidFinishWithResult(platform::MessageComposeViewController& controller,
                                                       platform::MessageComposeResult result) override;
  // "onError" with the message and the action, through the slot's MRAID events.
  void reportMRAIDError(const std::string& message, const std::string& action);

  // --- State ----------------------------------------------------------------------------
  // Held weakly.
  std::shared_ptr<platform::ViewController> viewController() const { return viewController_.lock(); }
  void setViewController(const std::shared_ptr<platform::ViewController>& controller) { viewController_ = controller; }
  std::shared_ptr<ZUMAdView> adView() const { return adView_.lock(); }
  void setAdView(const std::shared_ptr<ZUMAdView>& adView) { adView_ = adView; }
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }
  void setSlot(const std::shared_ptr<ZUMSlot>& slot) { slot_ = slot; }

  // The page that led to the current navigation (the in-app browser's referrer).
  const std::optional<platform::URL>& referringURL() const { return referringURL_; }
  void setReferringURL(std::optional<platform::URL> url) { referringURL_ = std::move(url); }
  // The navigation that led to the current open action.
  const std::optional<platform::URLRequest>& navigationRequest() const { return navigationRequest_; }
  void setNavigationRequest(std::optional<platform::URLRequest> request) { navigationRequest_ = std::move(request); }
  // A click has just taken the user to another application (cleared by whoever acts on
  // the user's return).
  bool didOpenAnotherApplication() const { return didOpenAnotherApplication_; }
  void setDidOpenAnotherApplication(bool opened) { didOpenAnotherApplication_ = opened; }
  // nullptr: no protection.
  std::shared_ptr<ZUMAutoClickProtection> autoClickProtection() const { return autoClickProtection_; }
  void setAutoClickProtection(std::shared_ptr<ZUMAutoClickProtection> protection) {
    autoClickProtection_ = std::move(protection);
  }
  // Preloaded store sheets by product identifier; an entry is taken out when shown.
  std::map<std::string, std::shared_ptr<platform::StoreProductViewController>>& cachedStoreProductViewController() {
    return cachedStoreProductViewController_;
  }
  // URLs the user confirmed; they open without asking again.
  std::size_t allowedAppURLCount() const { return allowedAppURLs_.size(); }
  // Confirmations waiting for the user's answer, and the clicks recorded ahead of them.
  std::size_t confirmationCount() const { return confirmations_.size(); }
  std::size_t recordedClickCount() const { return recordedClickURLs_.size(); }

 private:
  // A confirmation alert up for a URL; `adView` is set when it asks for an ad view.
  struct Confirmation {
    std::weak_ptr<platform::AlertView> alert;
    platform::URL url;
    std::optional<std::weak_ptr<ZUMAdView>> adView;
  };

  // Removes one entry of recordedClickURLs_ for the URL; whether there was one.
  bool takeRecordedClick(const platform::URL& url);
  // Drops, with their recorded clicks, the confirmations whose alert went without an
  // answer or whose ad view went; an alert still up for an ad view gone is taken down.
  void dropStaleConfirmations();
  ZUMOpener() = default;
  void composerDidFinish(platform::ViewController& composer, const char* result);
  void postOpenDeepLink(const platform::URL& url, bool opened, const std::string& eventID);

  std::vector<Confirmation> confirmations_;
  std::vector<platform::URL> allowedAppURLs_;
  std::vector<platform::URL> recordedClickURLs_;
  std::weak_ptr<platform::ViewController> viewController_;
  std::optional<platform::URL> referringURL_;
  std::weak_ptr<ZUMAdView> adView_;
  std::weak_ptr<ZUMSlot> slot_;
  std::optional<platform::URLRequest> navigationRequest_;
  std::shared_ptr<ZUMAutoClickProtection> autoClickProtection_;
  std::map<std::string, std::shared_ptr<platform::StoreProductViewController>> cachedStoreProductViewController_;
  bool didOpenAnotherApplication_ = false;
};
