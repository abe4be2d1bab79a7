#include "platform/ui/Window.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/Event.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/GestureRecognizerDelegate.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Touch.h"

namespace platform {

namespace {

struct Registry {
  std::vector<std::weak_ptr<Window>> windows;
  std::weak_ptr<Window> key;
  std::uint64_t nextOrder = 1;
};

Registry& registry() {
  static Registry* r = [] {
    auto* made = new Registry();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~Registry();
      new (made) Registry();
    });
    return made;
  }();
  return *r;
}

// Taps closer than this in time and space count as one multiple tap.
constexpr TimeInterval kMultipleTapInterval = 0.35;
constexpr double kMultipleTapDistance = 10.0;

bool isFinished(GestureRecognizer::State s) {
  return s == GestureRecognizer::State::Ended || s == GestureRecognizer::State::Cancelled ||
         s == GestureRecognizer::State::Failed;
}

template <class T>
bool contains(const std::vector<T>& list, const T& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

struct Window::Tracking {
  struct TouchState {
    std::shared_ptr<Touch> touch;
    std::shared_ptr<View> view;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers;
    bool viewBegan = false;
    bool cancelRequested = false;
    bool viewCancelled = false;
  };
  std::vector<TouchState> touches;
  std::vector<std::shared_ptr<GestureRecognizer>> participants;
  bool hasLastTap = false;
  Point lastTapLocation;
  TimeInterval lastTapTime = 0;
  int lastTapCount = 0;

  TouchState* find(const Touch* touch) {
    for (auto& t : touches) {
      if (t.touch.get() == touch) return &t;
    }
    return nullptr;
  }
};

std::shared_ptr<Window> Window::create() { return create(Screen::main().bounds()); }

std::shared_ptr<Window> Window::create(const Rect& frame) {
  std::shared_ptr<Window> window(new Window(frame));
  auto& r = registry();
  window->creationOrder_ = r.nextOrder++;
  r.windows.erase(
      std::remove_if(r.windows.begin(), r.windows.end(), [](const std::weak_ptr<Window>& w) { return w.expired(); }),
      r.windows.end());
  r.windows.push_back(window);
  return window;
}

Window::Window(const Rect& frame) : View(frame) { setHidden(true); }

Window::~Window() = default;

std::vector<std::shared_ptr<Window>> Window::windows() {
  std::vector<std::shared_ptr<Window>> result;
  for (const auto& weak : registry().windows) {
    if (auto w = weak.lock()) result.push_back(std::move(w));
  }
  std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
    if (a->windowLevel_ != b->windowLevel_) return a->windowLevel_ < b->windowLevel_;
    return a->creationOrder_ < b->creationOrder_;
  });
  return result;
}

std::shared_ptr<Window> Window::keyWindow() { return registry().key.lock(); }

Screen& Window::screen() const { return Screen::main(); }

void Window::setWindowLevel(double level) {
  if (std::isfinite(level)) windowLevel_ = level;
}

bool Window::isKeyWindow() const { return registry().key.lock().get() == this; }

void Window::makeKeyWindow() { registry().key = std::static_pointer_cast<Window>(shared_from_this()); }

void Window::makeKeyAndVisible() {
  setHidden(false);
  makeKeyWindow();
}

Point Window::convertPointToScreen(Point point) const { return toSuperviewTransform().apply(point); }

Point Window::convertPointFromScreen(Point point) const { return toSuperviewTransform().inverted().apply(point); }

void Window::scheduleLayout() {
  if (layoutScheduled_) return;
  layoutScheduled_ = true;
  std::weak_ptr<View> weak = weak_from_this();
  RunLoop::main().perform([weak] {
    if (auto view = weak.lock()) static_cast<Window*>(view.get())->layoutPendingViews();
  });
}

void Window::layoutPendingViews() {
  layoutScheduled_ = false;
  layoutIfNeeded();
}

std::string Window::description() const {
  std::string text = View::description();
  text.pop_back();
  return text + "; level = " + std::to_string(static_cast<long long>(windowLevel_)) + (isHidden() ? "; hidden" : "") +
         ">";
}

// --- Touch delivery ---------------------------------------------------------------------

void Window::sendEvent(const Event& event) {
  auto self = shared_from_this();
  if (!tracking_) tracking_ = std::make_unique<Tracking>();
  deliver(event);
}

void Window::deliver(const Event& event) {
  Tracking& tracking = *tracking_;
  const TouchList mine = event.touchesForWindow(this);

  // New touches find their view and their recognizers.
  for (const auto& touch : mine) {
    if (touch->phase() != Touch::Phase::Began || tracking.find(touch.get())) continue;
    Tracking::TouchState state;
    state.touch = touch;
    state.view = hitTest(touch->locationInWindow(), &event);
    touch->setView(state.view);
    const Point at = touch->locationInWindow();
    if (tracking.hasLastTap && touch->timestamp() - tracking.lastTapTime <= kMultipleTapInterval &&
        std::hypot(at.x - tracking.lastTapLocation.x, at.y - tracking.lastTapLocation.y) <= kMultipleTapDistance) {
      touch->setTapCount(tracking.lastTapCount + 1);
    } else {
      touch->setTapCount(1);
    }
    for (auto v = state.view; v; v = v->superview()) {
      for (const auto& r : v->gestureRecognizers()) {
        if (!r->isEnabled() || contains(state.recognizers, r)) continue;
        if (auto d = r->delegate(); d && !d->gestureRecognizerShouldReceiveTouch(*r, *touch)) continue;
        state.recognizers.push_back(r);
      }
    }
    touch->setGestureRecognizers(state.recognizers);
    for (const auto& r : state.recognizers) {
      if (!contains(tracking.participants, r)) tracking.participants.push_back(r);
    }
    tracking.touches.push_back(std::move(state));
  }

  const Touch::Phase phases[] = {Touch::Phase::Began, Touch::Phase::Moved, Touch::Phase::Ended,
                                 Touch::Phase::Cancelled};
  for (const Touch::Phase phase : phases) {
    TouchList touches;
    for (const auto& touch : mine) {
      if (touch->phase() == phase && tracking.find(touch.get())) touches.push_back(touch);
    }
    if (touches.empty()) continue;

    // Recognizers first, each with the touches it receives.
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers;
    for (const auto& touch : touches) {
      for (const auto& r : tracking.find(touch.get())->recognizers) {
        if (!contains(recognizers, r)) recognizers.push_back(r);
      }
    }
    for (const auto& r : recognizers) {
      if (!r->isEnabled() || isFinished(r->state_)) continue;
      TouchList theirs;
      for (const auto& touch : touches) {
        auto* state = tracking.find(touch.get());
        if (state && contains(state->recognizers, r)) theirs.push_back(touch);
      }
      if (phase == Touch::Phase::Began) {
        for (const auto& t : theirs) r->touches_.push_back(t);
      }
      const auto before = r->state_;
      r->delivering_ = true;
      switch (phase) {
        case Touch::Phase::Began:
          r->touchesBegan(theirs, event);
          break;
        case Touch::Phase::Moved:
          r->touchesMoved(theirs, event);
          break;
        case Touch::Phase::Ended:
          r->touchesEnded(theirs, event);
          break;
        default:
          r->touchesCancelled(theirs, event);
          break;
      }
      r->delivering_ = false;
      r->updateLastLocation();
      if (phase == Touch::Phase::Ended || phase == Touch::Phase::Cancelled) {
        auto& list = r->touches_;
        for (const auto& t : theirs) list.erase(std::remove(list.begin(), list.end(), t), list.end());
      }

      const auto after = r->state_;
      if (before == GestureRecognizer::State::Possible &&
          (after == GestureRecognizer::State::Began || after == GestureRecognizer::State::Ended)) {
        // A recognizer that already took these touches wins over a later one.
        bool blocked = false;
        for (const auto& other : tracking.participants) {
          if (other == r) continue;
          const auto s = other->state_;
          const bool recognized = s == GestureRecognizer::State::Began || s == GestureRecognizer::State::Changed ||
                                  s == GestureRecognizer::State::Ended;
          if (recognized && !r->canSimultaneouslyRecognizeWith(*other)) blocked = true;
        }
        if (blocked) {
          r->state_ = GestureRecognizer::State::Failed;
          r->actionPending_ = false;
        } else {
          for (const auto& other : tracking.participants) {
            if (other != r && other->state_ == GestureRecognizer::State::Possible &&
                !r->canSimultaneouslyRecognizeWith(*other)) {
              other->state_ = GestureRecognizer::State::Failed;
            }
          }
          if (r->cancelsTouchesInView()) {
            for (auto& state : tracking.touches) {
              if (contains(state.recognizers, r)) state.cancelRequested = true;
            }
          }
        }
      }
      r->sendActionsIfPending();
    }

    // Views whose touches a recognizer took get them cancelled, once.
    for (auto& state : tracking.touches) {
      if (!state.cancelRequested || state.viewCancelled) continue;
      state.viewCancelled = true;
      if (state.viewBegan && state.view) state.view->touchesCancelled({state.touch}, event);
    }

    // Then the views, each with its own touches.
    std::vector<std::shared_ptr<View>> views;
    for (const auto& touch : touches) {
      auto* state = tracking.find(touch.get());
      if (state && state->view && !state->viewCancelled && !contains(views, state->view)) {
        views.push_back(state->view);
      }
    }
    for (const auto& view : views) {
      TouchList theirs;
      for (const auto& touch : touches) {
        auto* state = tracking.find(touch.get());
        if (!state || state->view != view || state->viewCancelled) continue;
        if (phase == Touch::Phase::Began) state->viewBegan = true;
        theirs.push_back(touch);
      }
      if (theirs.empty()) continue;
      switch (phase) {
        case Touch::Phase::Began:
          view->touchesBegan(theirs, event);
          break;
        case Touch::Phase::Moved:
          view->touchesMoved(theirs, event);
          break;
        case Touch::Phase::Ended:
          view->touchesEnded(theirs, event);
          break;
        default:
          view->touchesCancelled(theirs, event);
          break;
      }
    }

    if (phase == Touch::Phase::Ended || phase == Touch::Phase::Cancelled) {
      for (const auto& touch : touches) {
        if (phase == Touch::Phase::Ended) {
          tracking.hasLastTap = true;
          tracking.lastTapLocation = touch->locationInWindow();
          tracking.lastTapTime = touch->timestamp();
          tracking.lastTapCount = touch->tapCount();
        }
        auto& list = tracking.touches;
        list.erase(
            std::remove_if(list.begin(), list.end(), [&](const Tracking::TouchState& s) { return s.touch == touch; }),
            list.end());
      }
    }
  }

  // The sequence is over when no touch is left down: every recognizer starts afresh.
  if (tracking.touches.empty() && !tracking.participants.empty()) {
    const auto participants = std::exchange(tracking.participants, {});
    for (const auto& r : participants) {
      if (r->state_ == GestureRecognizer::State::Began || r->state_ == GestureRecognizer::State::Changed) {
        r->state_ = GestureRecognizer::State::Cancelled;
        r->actionPending_ = true;
        r->sendActionsIfPending();
      }
      r->touches_.clear();
      r->resetToPossible();
    }
  }
}

}  // namespace platform
