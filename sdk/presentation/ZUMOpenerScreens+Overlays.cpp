// The overlays of ZUMOpenerScreens: web apps, MRAID expand and MRAID resize.
#include "sdk/presentation/ZUMOpenerScreens.h"

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/presentation/ZUMExpandedAdAppViewController.h"
#include "sdk/presentation/ZUMMRAIDResizeOverlayPresenter.h"
#include "sdk/presentation/ZUMSupplementalAdAppViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;
using platform::URL;

// The resize presenter of the full-screen ad controller on top, when a resized ad is up.
std::shared_ptr<ZUMMRAIDResizeOverlayPresenter> resizePresenterOf(
    const std::shared_ptr<platform::ViewController>& top) {
  auto controller = std::dynamic_pointer_cast<ZUMViewController>(top);
  return controller ? std::dynamic_pointer_cast<ZUMMRAIDResizeOverlayPresenter>(controller->presenter()) : nullptr;
}

// An expand or a web app over a resized ad: the resize overlay no longer reports the
// default state when it goes.
void disableAutoCollapseForResize(ZUMOpener& opener) {
  if (auto presenter = resizePresenterOf(opener.topViewController())) presenter->setDismissToDefaultState(false);
}

void announceResize(ZUMAdView& adView, const ZUMMRAIDResizeProperties& properties) {
  adView.dispatchSDKEvent("onStateChanged", Json{{"state", "resized"}});
  adView.dispatchSDKEvent("onSizeChanged",
                          Json{{"width", properties.size().width}, {"height", properties.size().height}});
}

// The page's MRAID events sink: the slot's current ad's, else the slot's own.
std::shared_ptr<ZUMMRAIDEventHandling> MRAIDEventsOf(const std::shared_ptr<ZUMSlot>& slot) {
  if (!slot) return nullptr;
  auto ad = slot->ad();
  if (auto handler = ad ? ad->MRAIDEventHandler() : nullptr) return handler;
  return ZUMSlotEventHandler::forSlot(*slot);
}

}  // namespace

void ZUMOpenerScreens::configureOverlay(ZUMOpener& opener, ZUMAdAppViewController& controller,
                                        std::uint64_t orientationMask, bool useCustomClose) {
  controller.setSupportedInterfaceOrientations(orientationMask);
  controller.setSlot(opener.slot());
  controller.setUseCustomClose(useCustomClose);
}

std::shared_ptr<ZUMSupplementalAdAppViewController> ZUMOpenerScreens::overlayWithOrientations(
    ZUMOpener& opener, std::uint64_t orientationMask, bool useCustomClose) {
  auto overlay = ZUMSupplementalAdAppViewController::create();
  configureOverlay(opener, *overlay, orientationMask, useCustomClose);
  return overlay;
}

void ZUMOpenerScreens::openWebApp(ZUMOpener& opener, const URL& url, std::uint64_t orientationMask,
                                  bool useCustomClose) {
  disableAutoCollapseForResize(opener);
  auto overlay = overlayWithOrientations(opener, orientationMask, useCustomClose);
  overlay->load(url);
  overlay->presentFromViewController(opener.topViewController(), nullptr);
  opener.didClickURL(url);
}

void ZUMOpenerScreens::openWebAppWithHTML(ZUMOpener& opener, const std::string& html, const std::optional<URL>& baseURL,
                                          std::uint64_t orientationMask, bool useCustomClose) {
  disableAutoCollapseForResize(opener);
  auto overlay = overlayWithOrientations(opener, orientationMask, useCustomClose);
  overlay->loadHTML(html, baseURL);
  overlay->presentFromViewController(opener.topViewController(), nullptr);
  // HTML that is no URL's text records the click without a URL.
  opener.didClickURL(URL::fromString("data:text/html," + html));
}

void ZUMOpenerScreens::expandToWebApp(ZUMOpener& opener, std::uint64_t orientationMask, bool useCustomClose) {
  platform::assertMainThread();
  auto adView = opener.adView();
  if (!adView) return;
  auto top = opener.topViewController();
  if (std::dynamic_pointer_cast<ZUMViewController>(top)) {
    auto resize = resizePresenterOf(top);
    if (!resize) return;  // another full-screen ad is up: nothing, and the page hears nothing
    resize->setDismissToDefaultState(false);
  }
  auto controller = ZUMExpandedAdAppViewController::create(adView);
  configureOverlay(opener, *controller, orientationMask, useCustomClose);
  std::weak_ptr<ZUMAdView> weakAdView = adView;
  controller->setDismissalCompletion([weakAdView] {
    if (auto page = weakAdView.lock()) {
      page->dispatchSDKEvent("collapsed", std::nullopt);
      page->dispatchSDKEvent("onStateChanged", Json{{"state", "default"}});
    }
  });
  controller->presentFromViewController(opener.topViewController(), [weakAdView] {
    if (auto page = weakAdView.lock()) page->dispatchSDKEvent("onStateChanged", Json{{"state", "expanded"}});
  });
  adView->dispatchSDKEvent("expanding", std::nullopt);
  opener.didClickURL(std::nullopt);
}

void ZUMOpenerScreens::openWebAppWithResizeProperties(ZUMOpener& opener, const ZUMMRAIDResizeProperties& properties) {
  platform::assertMainThread();
  auto adView = opener.adView();
  if (!adView) return;
  auto top = opener.topViewController();
  if (auto controller = std::dynamic_pointer_cast<ZUMViewController>(top)) {
    auto presenter = resizePresenterOf(top);
    // Another full-screen ad is up, or the page's new properties do not fit: nothing
    // changes (the presenter has told the page of the latter).
    if (!presenter || !presenter->setResizeProperties(properties)) return;
    presenter->repositionContentIfNeeded();
    if (auto adApp = std::dynamic_pointer_cast<ZUMAdAppViewController>(controller)) {
      adApp->setCustomClosePosition(properties.customClosePosition());
    }
    announceResize(*adView, properties);
    return;
  }
  auto presenter = ZUMMRAIDResizeOverlayPresenter::create(adView->superview());
  if (!presenter) {
    ZUMLog(kZUMLogLevelDefault, "An ad view outside any view cannot be resized.");
    return;
  }
  presenter->setMRAIDEventHandler(MRAIDEventsOf(opener.slot()));
  if (!presenter->setResizeProperties(properties)) return;
  auto controller = ZUMExpandedAdAppViewController::create(adView);
  configureOverlay(opener, *controller, platform::kInterfaceOrientationMaskAll, true);
  controller->setPresenter(presenter);
  controller->setCustomClosePosition(properties.customClosePosition());
  std::weak_ptr<ZUMAdView> weakAdView = adView;
  std::weak_ptr<ZUMMRAIDResizeOverlayPresenter> weakPresenter = presenter;
  controller->setDismissalCompletion([weakAdView, weakPresenter] {
    auto page = weakAdView.lock();
    auto resize = weakPresenter.lock();
    if (page && resize && resize->dismissToDefaultState()) {
      page->dispatchSDKEvent("onStateChanged", Json{{"state", "default"}});
    }
  });
  controller->presentFromViewController(top, [weakAdView, properties] {
    if (auto page = weakAdView.lock()) announceResize(*page, properties);
  });
  opener.didClickURL(std::nullopt);
}
