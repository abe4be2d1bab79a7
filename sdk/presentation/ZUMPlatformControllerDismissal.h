// Takes a platform controller the SDK showed off the screen: through its overlay proxy
// when it has one, so the slot's full-screen session ends its part, else by its
// presenting controller, animated. The completion runs once it is gone (at once when
// nothing presents it). Main thread only.
#pragma once

#include <functional>
#include <memory>

namespace platform {
class ViewController;
}

void ZUMDismissPlatformController(const std::shared_ptr<platform::ViewController>& controller,
                                  std::function<void()> completion);
