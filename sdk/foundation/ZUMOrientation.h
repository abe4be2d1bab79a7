// Interface-orientation helpers, by the platform's numbers: 1 portrait, 2 upside down,
// 3 and 4 the landscapes; the mask bit of orientation o is 1 << o.
//
// Pure functions, usable on any thread (the user-defaults read included).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/InterfaceOrientation.h"

// "p" for portrait or upside down, "l" for either landscape, nullopt otherwise.
[[nodiscard]] std::optional<std::string> ZUMOrientationStringFromInterfaceOrientation(
    platform::InterfaceOrientation orientation);

// "any" 30, "portrait" 6, "landscape" 24; anything else (missing included) 0.
platform::InterfaceOrientationMask ZUMInterfaceOrientationMaskFromString(std::optional<std::string_view> text);

// 1 << orientation for every number from 0 to 63 (0 and 5 included); 0 for any other.
platform::InterfaceOrientationMask ZUMInterfaceOrientationMaskFromOrientation(
    platform::InterfaceOrientation orientation);

// Whether the mask holds a landscape bit (8 or 16) and a portrait bit (2 or 4).
bool ZUMInterfaceOrientationMaskHasPortraitAndLandscape(platform::InterfaceOrientationMask mask);

// The user default "/vantor/ads/view_controller_only_supports_application_orientation"
// read as a boolean; false when absent or not readable as one.
bool ZUMViewControllerOnlySupportsApplicationOrientation();
