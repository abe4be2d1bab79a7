// A timer that runs a block, scheduled on the main run loop in the common modes, so it
// also fires while the user scrolls. The caller keeps the timer, may fire() it early and
// invalidates it when done (invalidating drops the block and what it holds).
//
// May be called from any thread; the block runs on the main thread.
#pragma once

#include <functional>
#include <memory>

#include "platform/base/Clock.h"

namespace platform {
class Timer;
}

// A timer firing `block` after `interval` seconds, and every `interval` seconds after
// that when `repeats`. `tolerance` is set only when above 0 (and finite). The platform's
// timer refuses to spin: a repeating interval that is not positive becomes 0.1 ms, one
// that is not finite never fires. A missing block gives nullptr.
std::shared_ptr<platform::Timer> ZUMScheduledBlockTimer(bool repeats, std::function<void()> block,
                                                        platform::TimeInterval interval,
                                                        platform::TimeInterval tolerance);
