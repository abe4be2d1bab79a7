#include "sdk/foundation/ZUMOrientation.h"

#include "platform/base/UserDefaults.h"

std::optional<std::string> ZUMOrientationStringFromInterfaceOrientation(platform::InterfaceOrientation orientation) {
  if (platform::isInterfaceOrientationPortrait(orientation)) return "p";
  if (platform::isInterfaceOrientationLandscape(orientation)) return "l";
  return std::nullopt;
}

platform::InterfaceOrientationMask ZUMInterfaceOrientationMaskFromString(std::optional<std::string_view> text) {
  if (!text) return 0;
  if (*text == "any") return platform::kInterfaceOrientationMaskAll;
  if (*text == "portrait") {
    return platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown;
  }
  if (*text == "landscape") return platform::kInterfaceOrientationMaskLandscape;
  return 0;
}

platform::InterfaceOrientationMask ZUMInterfaceOrientationMaskFromOrientation(platform::InterfaceOrientation orientation) {
  return platform::interfaceOrientationMask(orientation);
}

bool ZUMInterfaceOrientationMaskHasPortraitAndLandscape(platform::InterfaceOrientationMask mask) {
  const bool portrait =
      (mask & (platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown)) != 0;
  const bool landscape = (mask & platform::kInterfaceOrientationMaskLandscape) != 0;
  return portrait && landscape;
}

bool ZUMViewControllerOnlySupportsApplicationOrientation() {
  return platform::UserDefaults::standard().boolForKey(
      "/vantor/ads/view_controller_only_supports_application_orientation");
}
