#include "sdk/presentation/ZUMOpenerScreens.h"

#include <cctype>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/ui/SafariViewController.h"
#include "platform/ui/StoreProductViewController.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/presentation/ZUMBrowserViewController.h"
#include "sdk/presentation/ZUMOverlayProxy.h"
#include "sdk/presentation/ZUMSKStoreProductViewControllerDelegate.h"
#include "sdk/rendering/ZUMOpener.h"

namespace {

using platform::URL;

std::optional<URL> storeClickURL(const std::optional<std::string>& productID) {
  return URL::fromString("iTunesApp:" + productID.value_or(""));
}

// Presents the sheet's proxy from the opener's top controller; the click is recorded
// once it is up.
void presentStoreSheet(ZUMOpener& opener, const std::shared_ptr<ZUMOverlayProxy>& proxy,
                       const std::optional<URL>& clickURL) {
  proxy->presentFromViewController(opener.topViewController(), [weak = opener.weak_from_this(), clickURL] {
    if (auto strong = weak.lock()) strong->didClickURL(clickURL);
  });
}

std::shared_ptr<ZUMOverlayProxy> proxyFor(const std::shared_ptr<platform::ViewController>& controller,
                                          ZUMOpener& opener) {
  auto proxy = ZUMOverlayProxy::overlayProxyForViewController(controller);
  if (!proxy) proxy = ZUMOverlayProxy::create(controller);
  if (proxy) proxy->setSlot(opener.slot());
  return proxy;
}

bool isOnScreen(const platform::ViewController& controller) {
  auto presenting = controller.presentingViewController();
  return presenting && presenting->presentedViewController().get() == &controller;
}

}  // namespace

bool ZUMOpenerScreens::safariViewControllerClassExists() {
  return platform::ClassRegistry::shared().isRegistered<platform::SafariViewController::Factory>(
      platform::SafariViewController::kClassName);
}

nlohmann::ordered_json ZUMOpenerScreens::storeProductParameters(const std::string& productID) {
  // As the platform reads a string's integer: leading spaces, a sign, then digits.
  std::size_t at = 0;
  while (at < productID.size() && std::isspace(static_cast<unsigned char>(productID[at]))) ++at;
  const bool negative = at < productID.size() && productID[at] == '-';
  if (at < productID.size() && (productID[at] == '-' || productID[at] == '+')) ++at;
  std::int64_t value = 0;
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  for (; at < productID.size() && std::isdigit(static_cast<unsigned char>(productID[at])); ++at) {
    const int digit = productID[at] - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return {{platform::kStoreProductParameterITunesItemIdentifier, negative ? -value : value}};
}

void ZUMOpenerScreens::openInAppStoreWithProductID(ZUMOpener& opener, const std::optional<std::string>& productID,
                                                   const std::optional<URL>& fallbackURL,
                                                   ZUMStoreSheetPresentation presentation) {
  auto& cache = opener.cachedStoreProductViewController();
  if (auto cached = productID ? cache.find(*productID) : cache.end(); cached != cache.end()) {
    auto controller = cached->second;
    cache.erase(cached);
    controller->setDelegate(ZUMSKStoreProductViewControllerDelegate::sharedInstance());
    if (auto proxy = proxyFor(controller, opener)) presentStoreSheet(opener, proxy, storeClickURL(productID));
    return;
  }
  auto controller = platform::StoreProductViewController::create();
  controller->setDelegate(ZUMSKStoreProductViewControllerDelegate::sharedInstance());
  loadStoreSheet(opener, controller, productID.value_or(""), fallbackURL, presentation);
  if (presentation == ZUMStoreSheetPresentation::AtOnce) {
    if (auto proxy = proxyFor(controller, opener)) presentStoreSheet(opener, proxy, storeClickURL(productID));
  }
}

void ZUMOpenerScreens::loadStoreSheet(ZUMOpener& opener,
                                      const std::shared_ptr<platform::StoreProductViewController>& controller,
                                      const std::string& productID, const std::optional<URL>& fallbackURL,
                                      ZUMStoreSheetPresentation presentation) {
  auto proxy = proxyFor(controller, opener);
  controller->loadProductWithParameters(
      storeProductParameters(productID), [weak = opener.weak_from_this(), proxy, controller, productID, fallbackURL,
                                          presentation](bool loaded, platform::ErrorPtr) {
        auto strong = weak.lock();
        if (loaded) {
          if (strong && proxy && presentation == ZUMStoreSheetPresentation::AfterFetch) {
            presentStoreSheet(*strong, proxy, storeClickURL(productID));
          }
          return;
        }
        if (!isOnScreen(*controller)) return;  // a sheet that waited was never shown
        if (auto delegate = controller->delegate()) delegate->productViewControllerDidFinish(*controller);
        // The click was recorded when the sheet came up.
        if (strong) strong->openAppForRecordedClick(fallbackURL);
      });
}

void ZUMOpenerScreens::fetchInAppStoreForProductID(ZUMOpener& opener, const std::string& productID) {
  auto controller = platform::StoreProductViewController::create();
  controller->loadProductWithParameters(
      storeProductParameters(productID),
      [weak = opener.weak_from_this(), controller, productID](bool loaded, platform::ErrorPtr) {
        auto strong = weak.lock();
        if (strong && loaded) strong->cachedStoreProductViewController()[productID] = controller;
      });
}

void ZUMOpenerScreens::openWebViewBrowserToURL(ZUMOpener& opener, const URL& url, std::uint64_t orientationMask) {
  auto host = opener.topViewController();
  if (!host) {
    opener.openApp(url);
    return;
  }
  auto browser = ZUMBrowserViewController::create();
  browser->setSupportedInterfaceOrientations(orientationMask);
  browser->setSlot(opener.slot());
  browser->load(url, opener.referringURL());
  browser->presentFromViewController(host, nullptr);
  opener.didClickURL(url);
}

void ZUMOpenerScreens::openSafariViewControllerToURL(ZUMOpener& opener, const URL& url) {
  const auto factory = platform::ClassRegistry::shared().create<platform::SafariViewController::Factory>(
      platform::SafariViewController::kClassName);
  auto controller = factory ? factory->create(url) : nullptr;
  auto proxy = controller ? ZUMOverlayProxy::create(controller) : nullptr;
  if (!proxy) {
    opener.openApp(url);
    return;
  }
  proxy->setSlot(opener.slot());
  proxy->setOpener(opener.shared_from_this());
  proxy->presentFromViewController(opener.topViewController(), nullptr);
  opener.didClickURL(url);
}
