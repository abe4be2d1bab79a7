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

platform::InterfaceOrientationMask ZUMInterfaceOrientationMaskFromOrientation(
    platform::InterfaceOrientation orientation) {
  // Every number gets its bit, 0 and numbers past the four orientations included; a
  // number no 64-bit mask can hold gets none.
  if (orientation < 0 || orientation >= 64) return 0;
  return platform::InterfaceOrientationMask{1} << orientation;
}

bool ZUMInterfaceOrientationMaskHasPortraitAndLandscape(platform::InterfaceOrientationMask mask) {
  const bool portrait =
      (mask & (platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown)) !=
      0;
  const bool landscape = (mask & platform::kInterfaceOrientationMaskLandscape) != 0;
  return portrait && landscape;
}

bool ZUMViewControllerOnlySupportsApplicationOrientation() {
  return platform::UserDefaults::standard().boolForKey(
      "/vantor/ads/view_controller_only_supports_application_orientation");
}
