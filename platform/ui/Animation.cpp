#include "platform/ui/Animation.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/base/Timer.h"
#include "platform/ui/View.h"

namespace platform {

namespace {
bool gAnimationsEnabled = true;
int gRunning = 0;

// Frames move in steps of a display refresh.
constexpr TimeInterval kFrameStep = 1.0 / 60;

TimeInterval sanitized(TimeInterval t) { return std::isfinite(t) && t > 0 ? t : 0; }

struct Move {
  std::weak_ptr<View> view;
  const View* key = nullptr;
  Rect from;
  Rect to;
};

// The frame moves of one animations block.
struct Group {
  TimeInterval start = 0;
  TimeInterval delay = 0;
  TimeInterval duration = 0;
  std::vector<Move> moves;
  std::shared_ptr<Timer> ticker;
};

struct Moves {
  std::vector<std::shared_ptr<Group>> running;
  // The group of the animations block being run, if it moves frames.
  Group* open = nullptr;
};

// Lives for the process; tests drop the moves between them.
Moves& moves() {
  static auto* state = [] {
    auto* made = new Moves();
    registerTestingReset(made, [made] {
      for (const auto& group : made->running) {
        if (group->ticker) group->ticker->invalidate();
      }
      made->running.clear();
      made->open = nullptr;
      gRunning = 0;  // completions still queued are dropped with the queues
    });
    return made;
  }();
  return *state;
}

double eased(double p) { return p * p * (3 - 2 * p); }

Rect interpolate(const Rect& a, const Rect& b, double t) {
  auto mix = [t](double x, double y) { return x + (y - x) * t; };
  return Rect(mix(a.origin.x, b.origin.x), mix(a.origin.y, b.origin.y), mix(a.size.width, b.size.width),
              mix(a.size.height, b.size.height));
}

void step(Group& group) {
  const TimeInterval elapsed = clock().monotonicNow() - group.start - group.delay;
  const double p = std::clamp(elapsed / group.duration, 0.0, 1.0);
  const auto list = group.moves;  // setFrame may lay out, and lay out again
  for (const auto& move : list) {
    if (auto view = move.view.lock()) view->setFrame(p >= 1 ? move.to : interpolate(move.from, move.to, eased(p)));
  }
}

void finish(const std::shared_ptr<Group>& group) {
  auto& state = moves();
  state.running.erase(std::remove(state.running.begin(), state.running.end(), group), state.running.end());
  if (group->ticker) group->ticker->invalidate();
  const auto list = std::move(group->moves);
  for (const auto& move : list) {
    if (auto view = move.view.lock()) view->setFrame(move.to);
  }
}

void start(const std::shared_ptr<Group>& group) {
  group->start = clock().monotonicNow();
  moves().running.push_back(group);
  std::weak_ptr<Group> weak = group;
  group->ticker = Timer::createRepeating(kFrameStep, [weak](Timer&) {
    if (auto g = weak.lock()) step(*g);
  });
  RunLoop::main().addTimer(group->ticker, kCommonRunLoopModes);
}

// Takes the view's move out of every group; returns where it was going.
std::optional<Rect> takeMove(const View& view) {
  std::optional<Rect> target;
  auto& state = moves();
  auto drop = [&](Group& group) {
    auto it = std::find_if(group.moves.begin(), group.moves.end(), [&](const Move& m) { return m.key == &view; });
    if (it == group.moves.end()) return;
    target = it->to;
    group.moves.erase(it);
  };
  for (const auto& group : state.running) drop(*group);
  if (state.open) drop(*state.open);
  return target;
}

}  // namespace

void Animation::animate(TimeInterval duration, const std::function<void()>& animations, Completion completion) {
  animate(duration, 0, animations, std::move(completion));
}

void Animation::animate(TimeInterval duration, TimeInterval delay, const std::function<void()>& animations,
                        Completion completion) {
  std::shared_ptr<Group> group;
  if (gAnimationsEnabled && sanitized(duration) > 0) {
    group = std::make_shared<Group>();
    group->duration = sanitized(duration);
    group->delay = sanitized(delay);
  }
  auto& state = moves();
  Group* const outer = state.open;
  state.open = group.get();
  if (animations) animations();
  state.open = outer;
  if (group && group->moves.empty()) group.reset();
  if (group) start(group);

  TimeInterval total = sanitized(duration) + sanitized(delay);
  if (!gAnimationsEnabled) total = 0;
  ++gRunning;
  auto done = [group, completion = std::move(completion)] {
    if (group) finish(group);
    --gRunning;
    if (completion) completion(true);
  };
  if (total > 0) {
    DispatchQueue::main()->after(total, std::move(done));
  } else {
    DispatchQueue::main()->async(std::move(done));
  }
}

bool Animation::areAnimationsEnabled() { return gAnimationsEnabled; }
void Animation::setAnimationsEnabled(bool enabled) { gAnimationsEnabled = enabled; }

void Animation::performWithoutAnimation(const std::function<void()>& block) {
  const bool previous = gAnimationsEnabled;
  gAnimationsEnabled = false;
  auto& state = moves();
  Group* const outer = std::exchange(state.open, nullptr);
  if (block) block();
  state.open = outer;
  gAnimationsEnabled = previous;
}

int Animation::runningCount() { return gRunning; }

void Animation::setLayoutFrame(View& view, const Rect& frame) {
  auto& state = moves();
  if (!state.open && layoutTargetFrame(view) == frame) return;
  takeMove(view);
  if (!state.open) {
    view.setFrame(frame);
    return;
  }
  if (view.frame() == frame) return;
  state.open->moves.push_back(Move{view.weak_from_this(), &view, view.frame(), frame});
}

std::optional<Rect> Animation::layoutTargetFrame(const View& view) {
  auto& state = moves();
  if (state.running.empty() && !state.open) return std::nullopt;
  for (const auto& group : state.running) {
    for (const auto& move : group->moves) {
      if (move.key == &view) return move.to;
    }
  }
  if (state.open) {
    for (const auto& move : state.open->moves) {
      if (move.key == &view) return move.to;
    }
  }
  return std::nullopt;
}

}  // namespace platform
