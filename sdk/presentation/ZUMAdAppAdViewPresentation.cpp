#include "sdk/presentation/ZUMAdAppAdViewPresentation.h"

#include "platform/ui/ViewController.h"
#include "sdk/presentation/ZUMAdOrientationControlling.h"
#include "sdk/presentation/ZUMDebugOptionsViewController.h"
#include "sdk/presentation/ZUMOverlayProxy.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/request/ZUMSlot.h"

platform::InterfaceOrientation ZUMAdAppAdViewPresentation::forcedAdOrientation(
    const platform::ViewController& controller) {
  const auto* adApp = dynamic_cast<const ZUMAdOrientationControlling*>(&controller);
  return adApp ? adApp->forcedAdOrientation() : platform::kInterfaceOrientationUnknown;
}

void ZUMAdAppAdViewPresentation::presentDebugOptionsForAdView(ZUMAdView& adView) {
  const auto opener = adView.opener();
  const auto slot = opener ? opener->slot() : nullptr;
  auto dialog =
      ZUMDebugOptionsViewController::debugOptionsViewControllerWithAdUnitID(slot ? slot->adUnitID() : std::nullopt);
  dialog->setAdDebugDialogString(adView.adDebugDialogString());
  auto proxy = ZUMOverlayProxy::create(dialog);
  if (!proxy) return;
  proxy->setSlot(slot);
  proxy->presentFromViewController(adView.viewController(), nullptr);
}
