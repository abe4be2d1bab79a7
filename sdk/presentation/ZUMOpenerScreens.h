// The screens a click leads to that the opener cannot show itself: the store product
// sheet (preloaded sheets come from the opener's cache, each shown once), the in-app
// browser and the platform's browser controller. Platform controllers are wrapped in an
// overlay proxy with the opener's slot, so they join the slot's full-screen session;
// the click is recorded through the opener once the screen is up. The opener has run
// its gates before every call.
//
// Landing pages show in the in-app browser (ZUMBrowserViewController), or, with nothing
// to present from, open outside the application. Composers are not offered yet.
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
}

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

 private:
  static void loadStoreSheet(ZUMOpener& opener, const std::shared_ptr<platform::StoreProductViewController>& controller,
                             const std::string& productID, const std::optional<platform::URL>& fallbackURL,
                             ZUMStoreSheetPresentation presentation);
};
