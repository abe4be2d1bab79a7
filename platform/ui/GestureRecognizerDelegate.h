// What a gesture recognizer asks its delegate. Every operation is optional: the
// defaults answer as the platform does when a delegate does not implement it.
//
// Main thread only.
#pragma once

#include <memory>

namespace platform {

class GestureRecognizer;
class Touch;

class GestureRecognizerDelegate {
 public:
  virtual ~GestureRecognizerDelegate() = default;

  // Whether the recognizer may leave the possible state (begin or recognize).
  virtual bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer);
  // Whether the recognizer is given a touch that begins on its view or below it.
  virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer& recognizer, const Touch& touch);
  // Whether the two may recognize on the same touches; either side's yes suffices.
  virtual bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(GestureRecognizer& recognizer,
                                                                                   GestureRecognizer& other);
};

}  // namespace platform
