// The screens a click leads to that the opener cannot show itself: the store product
// sheet (preloaded sheets come from the opener's cache, each shown once), the in-app
// browser and the platform's browser controller. Platform controllers are wrapped in an
// overlay proxy with the opener's slot, so they join the slot's full-screen session;
// the click is recorded through the opener once the screen is up. The opener has run
// its gates before every call.
//
// Landing pages show in the in-app browser (ZUMBrowserViewController), or, with nothing
// to present from, open outside the application.
//
// Overlays: a web app in a supplemental ad-app controller; an MRAID expand moves the ad
// view itself into an expanded controller; an MRAID resize shows it in an expanded
// controller on the resize presenter, or updates the resize overlay that is up. The
// page hears its MRAID state through the ad view's SDK events: "expanding", then
// "expanded" once up, "collapsed" and "default" when it goes; "resized" followed by
// "onSizeChanged" for a resize.
//
// Composers ("mailto:", "sms:") go through an overlay proxy and a compose delegate
// proxy with the opener as delegate. A composer waits, in 0.25 s steps, while a
// full-screen ad controller on top is in transition; it gives up after
// kComposerRetryLimit steps or as soon as its opener or ad view is gone.
//
// Installed by the SDK's load entry as the click handling. Holds nothing between calls;
// the work it starts reaches the opener weakly. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sdk/rendering/ZUMClickHandling.h"

namespace platform {
class StoreProductViewController;
class ViewController;
}  // namespace platform

class ZUMAdAppViewController;
class ZUMSupplementalAdAppViewController;

class ZUMOpenerScreens final : public ZUMClickHandling {
 public:
  // The platform's browser controller class, when the platform has one.
  static bool safariViewControllerClassExists();
  // The store's parameters: the identifier's leading integer (0 when it has none).
  static nlohmann::ordered_json storeProductParameters(const std::string& productID);

  void openInAppStoreWithProductID(ZUMOpener& opener, const std::optional<std::string>& productID,
                                   const std::optional<platform::URL>& fallbackURL,
                                   ZUMStoreSheetPresentation presentation) override;
  void fetchInAppStoreForProductID(ZUMOpener& opener, const std::string& productID) override;
  void openWebViewBrowserToURL(ZUMOpener& opener, const platform::URL& url, std::uint64_t orientationMask) override;
  void openSafariViewControllerToURL(ZUMOpener& opener, const platform::URL& url) override;
  bool hasSafariViewController() const override { return safariViewControllerClassExists(); }
  void openEmailComposer(ZUMOpener& opener, const platform::URL& url) override;
  void openSmsComposer(ZUMOpener& opener, const platform::URL& url) override;
  // Through its overlay proxy (the session ends), else its presenting controller.
  void composerDidFinish(ZUMOpener& opener, const std::shared_ptr<platform::ViewController>& composer) override;
  void openWebApp(ZUMOpener& opener, const platform::URL& url, std::uint64_t orientationMask,
                  bool useCustomClose) override;
  void openWebAppWithHTML(ZUMOpener& opener, const std::string& html, const std::optional<platform::URL>& baseURL,
                          std::uint64_t orientationMask, bool useCustomClose) override;
  void expandToWebApp(ZUMOpener& opener, std::uint64_t orientationMask, bool useCustomClose) override;
  void openWebAppWithResizeProperties(ZUMOpener& opener, const ZUMMRAIDResizeProperties& properties) override;

  // Steps of 0.25 s a composer waits for the controller on top at most (10 s).
  static constexpr int kComposerRetryLimit = 40;
  // Presents the composer from the top controller once that accepts interaction.
  static void presentComposerController(ZUMOpener& opener, const std::shared_ptr<platform::ViewController>& composer,
                                        const platform::URL& url, int retriesLeft = kComposerRetryLimit);
  // The controller's supported orientations, slot and custom close.
  static void configureOverlay(ZUMOpener& opener, ZUMAdAppViewController& controller, std::uint64_t orientationMask,
                               bool useCustomClose);
  static std::shared_ptr<ZUMSupplementalAdAppViewController> overlayWithOrientations(ZUMOpener& opener,
                                                                                     std::uint64_t orientationMask,
                                                                                     bool useCustomClose);

 private:
  static void loadStoreSheet(ZUMOpener& opener, const std::shared_ptr<platform::StoreProductViewController>& controller,
                             const std::string& productID, const std::optional<platform::URL>& fallbackURL,
                             ZUMStoreSheetPresentation presentation);
};
