#include "platform/ui/GestureRecognizerDelegate.h"

namespace platform {

bool GestureRecognizerDelegate::gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }

bool GestureRecognizerDelegate::gestureRecognizerShouldReceiveTouch(GestureRecognizer&, const Touch&) { return true; }

bool GestureRecognizerDelegate::gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
    GestureRecognizer&, GestureRecognizer&) {
  return false;
}

}  // namespace platform
