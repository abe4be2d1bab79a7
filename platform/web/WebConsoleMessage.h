// One line a page wrote to its console (or an uncaught error, level "error"). A plain
// value; any thread.
#pragma once

#include <string>

namespace platform {

struct WebConsoleMessage {
  std::string level;  // "log", "info", "warn", "error", "debug"
  std::string message;
};

}  // namespace platform
