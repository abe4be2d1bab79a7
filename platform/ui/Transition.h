// Transitions of a view's layer, after the platform's: the view's new content comes in
// by a kind of motion (a fade, a push, ...), from a side, over a duration with a timing
// curve. A view holds its running transitions by key (LayerTransitions::add): a new one
// under a key replaces the one there, and each leaves its view once its duration has
// passed on the main run loop, so virtual time drives it in tests.
//
// Views have no separate presentation state here, so nothing moves on screen: what the
// platform keeps of a transition is the record of it, which tests read.
//
// Transition is a plain value (any thread); LayerTransitions is main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Clock.h"

namespace platform {

class View;

enum class TransitionType { Fade, MoveIn, Push, Reveal };
enum class TransitionSubtype { None, FromRight, FromLeft, FromTop, FromBottom };
enum class TimingFunction { Default, Linear, EaseIn, EaseOut, EaseInEaseOut };

struct Transition {
  // The platform's duration for a transition given none.
  static constexpr TimeInterval kDefaultDuration = 0.25;
  // Longer durations are cut to this, so no run-loop date overflows.
  static constexpr TimeInterval kMaxDuration = 3600;

  TransitionType type = TransitionType::Fade;
  TransitionSubtype subtype = TransitionSubtype::None;
  // 0, negative or not a number: the default duration.
  TimeInterval duration = 0;
  TimingFunction timing = TimingFunction::Default;

  // The duration the transition runs for.
  TimeInterval effectiveDuration() const;

  bool operator==(const Transition&) const = default;
};

// The running transitions of views' layers. A view that goes takes its own with it.
class LayerTransitions {
 public:
  // Adds a transition to the view under `key`, replacing the one there.
  static void add(const View& view, const Transition& transition, const std::string& key);
  // The view's running transition under `key`, if any.
  static std::optional<Transition> forKey(const View& view, const std::string& key);
  // Keys of the view's running transitions, oldest first.
  static std::vector<std::string> keys(const View& view);
  static void remove(const View& view, const std::string& key);
  static void removeAll(const View& view);
  // Every transition ever added to the view, running or not.
  static std::uint64_t addedCount(const View& view);
};

}  // namespace platform
