#include "platform/ui/Animation.h"

#include <cmath>
#include <memory>

#include "platform/base/DispatchQueue.h"

namespace platform {

namespace {
bool gAnimationsEnabled = true;
int gRunning = 0;

TimeInterval sanitized(TimeInterval t) { return std::isfinite(t) && t > 0 ? t : 0; }
}  // namespace

void Animation::animate(TimeInterval duration, const std::function<void()>& animations,
                        Completion completion) {
  animate(duration, 0, animations, std::move(completion));
}

void Animation::animate(TimeInterval duration, TimeInterval delay,
                        const std::function<void()>& animations, Completion completion) {
  if (animations) animations();
  TimeInterval total = sanitized(duration) + sanitized(delay);
  if (!gAnimationsEnabled) total = 0;
  ++gRunning;
  auto finish = [completion = std::move(completion)] {
    --gRunning;
    if (completion) completion(true);
  };
  if (total > 0) {
    DispatchQueue::main()->after(total, std::move(finish));
  } else {
    DispatchQueue::main()->async(std::move(finish));
  }
}

bool Animation::areAnimationsEnabled() { return gAnimationsEnabled; }
void Animation::setAnimationsEnabled(bool enabled) { gAnimationsEnabled = enabled; }

void Animation::performWithoutAnimation(const std::function<void()>& block) {
  const bool previous = gAnimationsEnabled;
  gAnimationsEnabled = false;
  if (block) block();
  gAnimationsEnabled = previous;
}

int Animation::runningCount() { return gRunning; }

}  // namespace platform
