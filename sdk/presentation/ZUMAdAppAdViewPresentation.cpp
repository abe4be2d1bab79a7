#include "sdk/presentation/ZUMAdAppAdViewPresentation.h"

#include "platform/ui/ViewController.h"
#include "sdk/presentation/ZUMAdOrientationControlling.h"

platform::InterfaceOrientation ZUMAdAppAdViewPresentation::forcedAdOrientation(
    const platform::ViewController& controller) {
  const auto* adApp = dynamic_cast<const ZUMAdOrientationControlling*>(&controller);
  return adApp ? adApp->forcedAdOrientation() : platform::kInterfaceOrientationUnknown;
}
