// The names of the notifications that bracket a full-screen period: posted by a slot's
// full-screen session when it begins and ends (object: the session), and by mediation
// connectors of other networks for their own full-screen ads. The slot and the
// interstitial pool's refill policy observe them.
#pragma once

inline constexpr const char* kZUMAdModalViewControllerWillPresentFullScreenNotification =
    "kAdModalViewControllerWillPresentFullScreen";
inline constexpr const char* kZUMAdModalViewControllerDidDismissFullScreenNotification =
    "kAdModalViewControllerDidDismissFullScreen";
