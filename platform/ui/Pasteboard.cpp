#include "platform/ui/Pasteboard.h"

#include "platform/base/TestingReset.h"

namespace platform {

Pasteboard& Pasteboard::general() {
  static Pasteboard* pasteboard = [] {
    auto* made = new Pasteboard();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~Pasteboard();
      new (made) Pasteboard();
    });
    return made;
  }();
  return *pasteboard;
}

std::optional<std::string> Pasteboard::string() const {
  std::lock_guard lock(mutex_);
  return text_;
}

void Pasteboard::setString(std::optional<std::string> text) {
  std::lock_guard lock(mutex_);
  text_ = std::move(text);
  ++changeCount_;
}

std::int64_t Pasteboard::changeCount() const {
  std::lock_guard lock(mutex_);
  return changeCount_;
}

}  // namespace platform
