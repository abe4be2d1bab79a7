// Interface orientations and orientation masks, numbered as the platform numbers them:
// 1 portrait, 2 portrait upside down, 3 landscape right, 4 landscape left (0 unknown);
// the mask bit of orientation o is 1 << o, so "portrait" is 6, "landscape" 24, all 30.
#pragma once

#include <cstdint>

namespace platform {

using InterfaceOrientation = std::int64_t;
using InterfaceOrientationMask = std::uint64_t;

inline constexpr InterfaceOrientation kInterfaceOrientationUnknown = 0;
inline constexpr InterfaceOrientation kInterfaceOrientationPortrait = 1;
inline constexpr InterfaceOrientation kInterfaceOrientationPortraitUpsideDown = 2;
inline constexpr InterfaceOrientation kInterfaceOrientationLandscapeRight = 3;
inline constexpr InterfaceOrientation kInterfaceOrientationLandscapeLeft = 4;

inline constexpr InterfaceOrientationMask kInterfaceOrientationMaskPortrait = 1u << 1;
inline constexpr InterfaceOrientationMask kInterfaceOrientationMaskPortraitUpsideDown = 1u << 2;
inline constexpr InterfaceOrientationMask kInterfaceOrientationMaskLandscapeRight = 1u << 3;
inline constexpr InterfaceOrientationMask kInterfaceOrientationMaskLandscapeLeft = 1u << 4;
inline constexpr InterfaceOrientationMask kInterfaceOrientationMaskLandscape = 24;
inline constexpr InterfaceOrientationMask kInterfaceOrientationMaskAllButUpsideDown = 26;
inline constexpr InterfaceOrientationMask kInterfaceOrientationMaskAll = 30;

inline constexpr bool isValidInterfaceOrientation(InterfaceOrientation o) { return o >= 1 && o <= 4; }
inline constexpr bool isInterfaceOrientationPortrait(InterfaceOrientation o) { return o == 1 || o == 2; }
inline constexpr bool isInterfaceOrientationLandscape(InterfaceOrientation o) { return o == 3 || o == 4; }
// The mask bit of an orientation; 0 for anything but 1...4.
inline constexpr InterfaceOrientationMask interfaceOrientationMask(InterfaceOrientation o) {
  return isValidInterfaceOrientation(o) ? InterfaceOrientationMask{1} << o : 0;
}

}  // namespace platform
