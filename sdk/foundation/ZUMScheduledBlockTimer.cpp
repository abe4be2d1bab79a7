#include "sdk/foundation/ZUMScheduledBlockTimer.h"

#include <cmath>
#include <utility>

#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"

std::shared_ptr<platform::Timer> ZUMScheduledBlockTimer(bool repeats, std::function<void()> block,
                                                        platform::TimeInterval interval,
                                                        platform::TimeInterval tolerance) {
  if (!block) return nullptr;
  auto timer = platform::Timer::create(interval, repeats, [block = std::move(block)](platform::Timer&) { block(); });
  if (tolerance > 0 && std::isfinite(tolerance)) timer->setTolerance(tolerance);
  platform::RunLoop::main().addTimer(timer, platform::kCommonRunLoopModes);
  return timer;
}
