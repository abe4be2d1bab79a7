#include "platform/ui/GestureRecognizer.h"

#include <algorithm>

#include "platform/ui/GestureRecognizerDelegate.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace platform {

std::shared_ptr<GestureRecognizer> GestureRecognizer::create() {
  return std::shared_ptr<GestureRecognizer>(new GestureRecognizer());
}

GestureRecognizer::GestureRecognizer() = default;
GestureRecognizer::~GestureRecognizer() = default;

void GestureRecognizer::addTarget(std::weak_ptr<void> target, Action action) {
  if (!action) return;
  const bool hadTarget = !target.expired();
  targets_.push_back({std::move(target), hadTarget, std::move(action)});
}

void GestureRecognizer::removeTarget(const void* target) {
  if (!target) {
    targets_.clear();
    return;
  }
  targets_.erase(std::remove_if(targets_.begin(), targets_.end(),
                                [target](const Target& t) {
                                  auto strong = t.target.lock();
                                  return !t.hadTarget ? false : (!strong || strong.get() == target);
                                }),
                 targets_.end());
}

void GestureRecognizer::setState(State state) {
  if (state_ == State::Possible && (state == State::Began || state == State::Ended)) {
    if (auto d = delegate(); d && !d->gestureRecognizerShouldBegin(*this)) {
      state_ = State::Failed;
      return;
    }
  }
  state_ = state;
  if (state == State::Began || state == State::Changed || state == State::Ended || state == State::Cancelled) {
    actionPending_ = true;
    if (!delivering_) sendActionsIfPending();
  }
}

void GestureRecognizer::setEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (enabled) return;
  if (state_ == State::Began || state_ == State::Changed) setState(State::Cancelled);
  if (touches_.empty()) resetToPossible();
}

void GestureRecognizer::sendActionsIfPending() {
  if (!actionPending_) return;
  actionPending_ = false;
  auto keep = weak_from_this().lock();
  const auto targets = targets_;
  for (const auto& t : targets) {
    if (t.hadTarget && t.target.expired()) continue;
    t.action(*this);
  }
}

void GestureRecognizer::resetToPossible() {
  state_ = State::Possible;
  actionPending_ = false;
  reset();
}

bool GestureRecognizer::canSimultaneouslyRecognizeWith(GestureRecognizer& other) {
  if (auto d = delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(*this, other)) {
    return true;
  }
  if (auto d = other.delegate();
      d && d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(other, *this)) {
    return true;
  }
  return false;
}

void GestureRecognizer::updateLastLocation() {
  if (touches_.empty()) return;
  Point sum;
  for (const auto& t : touches_) {
    sum.x += t->locationInWindow().x;
    sum.y += t->locationInWindow().y;
  }
  const double n = static_cast<double>(touches_.size());
  lastLocationInWindow_ = {sum.x / n, sum.y / n};
  lastWindow_ = touches_.front()->window();
}

Point GestureRecognizer::locationInView(const View* view) const {
  if (!touches_.empty()) {
    Point sum;
    for (const auto& t : touches_) {
      const Point p = t->locationInView(view);
      sum.x += p.x;
      sum.y += p.y;
    }
    const double n = static_cast<double>(touches_.size());
    return {sum.x / n, sum.y / n};
  }
  if (!view) return lastLocationInWindow_;
  auto window = lastWindow_.lock();
  return view->convertPointFromView(lastLocationInWindow_, window.get());
}

Point GestureRecognizer::locationOfTouch(std::size_t index, const View* view) const {
  if (index >= touches_.size()) return locationInView(view);
  return touches_[index]->locationInView(view);
}

void GestureRecognizer::touchesBegan(const TouchList&, const Event&) {}
void GestureRecognizer::touchesMoved(const TouchList&, const Event&) {}
void GestureRecognizer::touchesEnded(const TouchList&, const Event&) {}
void GestureRecognizer::touchesCancelled(const TouchList&, const Event&) {}
void GestureRecognizer::reset() {}

}  // namespace platform
