// A participant of a slot's full-screen session: something that takes the screen away
// from the host for an ad (an SDK full-screen controller, or the overlay proxy of a
// platform controller the SDK shows). Main thread only.
#pragma once

#include <functional>
#include <memory>

namespace platform {
class ViewController;
}

class ZUMIntermission;

class ZUMIntermitting {
 public:
  virtual ~ZUMIntermitting() = default;

  // Takes the screen, presenting from `host`, inside the slot's session; the completion
  // runs once shown (never when nothing was shown).
  virtual void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                         std::function<void()> completion) = 0;
  // Whether the session dismisses this participant when the application returns to the
  // foreground.
  virtual bool shouldDismissOnApplicationEnteringForeground() = 0;
  // Gives the screen back; the completion (may be empty) runs when done.
  virtual void relinquishScreenWithCompletion(std::function<void()> completion) = 0;
  // The session the participant belongs to; nullptr when none.
  virtual std::shared_ptr<ZUMIntermission> intermission() const = 0;
};
