// The general pasteboard: the text the user copied, with a change count that goes up
// on every write. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace platform {

class Pasteboard {
 public:
  static Pasteboard& general();

  // The text on the pasteboard, nullopt when it holds none.
  std::optional<std::string> string() const;
  // nullopt empties the pasteboard.
  void setString(std::optional<std::string> text);
  std::int64_t changeCount() const;

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> text_;
  std::int64_t changeCount_ = 0;
};

}  // namespace platform
