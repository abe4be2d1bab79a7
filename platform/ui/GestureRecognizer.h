// Recognizes a gesture from the touches that begin on its view or below it, after the
// platform's gesture recognizers: a state machine (possible -> began -> changed ->
// ended, or possible -> recognized, or -> failed / cancelled) with target actions,
// a delegate, and touch callbacks that custom recognizers override.
//
// A window delivers each phase of a touch to the recognizers first, then to the view
// (see Window::sendEvent). When a recognizer recognizes, the other recognizers of the
// same touches that are still possible fail unless one of the two delegates allows
// simultaneous recognition; with cancelsTouchesInView the view's touches are cancelled.
// After the last touch of a sequence ends, every recognizer that took part is reset to
// possible (reset() is called).
//
// The base class recognizes nothing by itself: a plain instance only watches touches.
// Subclasses override the touch callbacks and reset(), and call setState(). Actions run
// once the callback that changed the state has returned.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/View.h"

namespace platform {

class GestureRecognizerDelegate;

class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
 public:
  enum class State { Possible, Began, Changed, Ended, Cancelled, Failed };
  // A discrete gesture's success is the ended state.
  static constexpr State Recognized = State::Ended;

  using Action = std::function<void(GestureRecognizer&)>;

  static std::shared_ptr<GestureRecognizer> create();
  virtual ~GestureRecognizer();
  GestureRecognizer(const GestureRecognizer&) = delete;
  GestureRecognizer& operator=(const GestureRecognizer&) = delete;

  // The action runs, with the recognizer, on every change to began, changed, ended
  // (recognized) or cancelled, while `target` lives. Recognizers hold targets weakly.
  void addTarget(std::weak_ptr<void> target, Action action);
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*method)(GestureRecognizer&)) {
    std::weak_ptr<T> weak = target;
    addTarget(std::weak_ptr<void>(target), [weak, method](GestureRecognizer& recognizer) {
      if (auto strong = weak.lock()) ((*strong).*method)(recognizer);
    });
  }
  // Removes every action of `target`; nullptr removes all.
  void removeTarget(const void* target);

  State state() const { return state_; }
  // For subclasses and the event system. Leaving the possible state asks the
  // delegate's gestureRecognizerShouldBegin first (a no fails the recognizer).
  void setState(State state);

  bool isEnabled() const { return enabled_; }
  // Disabling cancels a gesture in progress.
  void setEnabled(bool enabled);
  std::shared_ptr<View> view() const { return view_.lock(); }
  std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<GestureRecognizerDelegate>& delegate) { delegate_ = delegate; }
  bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
  void setCancelsTouchesInView(bool value) { cancelsTouchesInView_ = value; }

  // The centroid of the recognizer's touches in `view` (nullptr: the window); after the
  // touches have ended, where they last were.
  Point locationInView(const View* view) const;
  std::size_t numberOfTouches() const { return touches_.size(); }
  // Index past the end: the centroid.
  Point locationOfTouch(std::size_t index, const View* view) const;

  // --- For subclasses (the base does nothing) ---------------------------------------
  virtual void touchesBegan(const TouchList& touches, const Event& event);
  virtual void touchesMoved(const TouchList& touches, const Event& event);
  virtual void touchesEnded(const TouchList& touches, const Event& event);
  virtual void touchesCancelled(const TouchList& touches, const Event& event);
  // Back to the start of a gesture; called after the state has returned to possible.
  virtual void reset();

 protected:
  GestureRecognizer();

 private:
  friend class View;
  friend class Window;

  struct Target {
    std::weak_ptr<void> target;
    bool hadTarget;
    Action action;
  };

  bool canSimultaneouslyRecognizeWith(GestureRecognizer& other);
  void sendActionsIfPending();
  void resetToPossible();
  void updateLastLocation();

  State state_ = State::Possible;
  bool enabled_ = true;
  bool cancelsTouchesInView_ = true;
  bool actionPending_ = false;
  bool delivering_ = false;
  std::weak_ptr<View> view_;
  std::weak_ptr<GestureRecognizerDelegate> delegate_;
  std::vector<Target> targets_;
  TouchList touches_;
  std::weak_ptr<Window> lastWindow_;
  Point lastLocationInWindow_;
};

}  // namespace platform
