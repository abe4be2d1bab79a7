// What the opener needs from the area that shows full-screen controllers: the store
// product sheet (and its preloading), the in-app browser, the platform's browser
// controller, the composers, and the overlays that put the ad itself or a page it names
// over the host's screen (web app, MRAID expand and resize). The opener has run its gates before each call; the
// implementation presents inside the slot's full-screen session and records the click
// through the opener (didClickURL) once the screen is up. The presentation area
// implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr), the opener logs "No click handling: ..." and
// shows nothing.
//
// Called on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/URL.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

namespace platform {
class ViewController;
}

class ZUMMRAIDResizeProperties;
class ZUMOpener;
enum class ZUMStoreSheetPresentation;

class ZUMClickHandling : public ZUMSharedInterface<ZUMClickHandling> {
 public:
  virtual ~ZUMClickHandling() = default;

  virtual void openInAppStoreWithProductID(ZUMOpener& opener, const std::optional<std::string>& productID,
                                           const std::optional<platform::URL>& fallbackURL,
                                           ZUMStoreSheetPresentation presentation) = 0;
  virtual void fetchInAppStoreForProductID(ZUMOpener& opener, const std::string& productID) = 0;
  virtual void openWebViewBrowserToURL(ZUMOpener& opener, const platform::URL& url, std::uint64_t orientationMask) = 0;
  virtual void openSafariViewControllerToURL(ZUMOpener& opener, const platform::URL& url) = 0;
  // Whether the platform has a browser controller of its own.
  virtual bool hasSafariViewController() const = 0;
  virtual void openEmailComposer(ZUMOpener& opener, const platform::URL& url) = 0;
  virtual void openSmsComposer(ZUMOpener& opener, const platform::URL& url) = 0;
  // A composer the opener was the delegate of has finished: take it off the screen.
  virtual void composerDidFinish(ZUMOpener& /*opener*/, const std::shared_ptr<platform::ViewController>& /*composer*/) {
  }

  // --- Overlays -------------------------------------------------------------------------
  // The opener has checked the orientations, the content and the ad view. Handlings
  // that show no overlays (test doubles) keep the empty bodies.
  virtual void openWebApp(ZUMOpener& /*opener*/, const platform::URL& /*url*/, std::uint64_t /*orientationMask*/,
                          bool /*useCustomClose*/) {}
  // `baseURL` is http(s) or absent.
  virtual void openWebAppWithHTML(ZUMOpener& /*opener*/, const std::string& /*html*/,
                                  const std::optional<platform::URL>& /*baseURL*/, std::uint64_t /*orientationMask*/,
                                  bool /*useCustomClose*/) {}
  virtual void expandToWebApp(ZUMOpener& /*opener*/, std::uint64_t /*orientationMask*/, bool /*useCustomClose*/) {}
  virtual void openWebAppWithResizeProperties(ZUMOpener& /*opener*/, const ZUMMRAIDResizeProperties& /*properties*/) {}
};
