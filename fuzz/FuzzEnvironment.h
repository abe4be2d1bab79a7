// The environment of a fuzz target that drives SDK objects: the fuzzing thread is the
// main thread, every queue runs on it, time stands still (a virtual clock), and files go
// to a folder of the target's own. Header-only, so each target stays one source file.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/base/Executor.h"
#include "platform/base/FileManager.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"

namespace fuzzenv {

// Aborts, so the fuzzer records the input, when a property that must hold does not.
inline void check(bool condition) {
  if (!condition) std::abort();
}

// Sets the environment up on the first call; later calls do nothing.
inline void setUpOnce(const std::string& name) {
  static const bool done = [&name] {
    const auto home = std::filesystem::temp_directory_path() / ("morvane-" + name);
    std::filesystem::create_directories(home / "Library" / "Preferences");
    platform::FileManager::setApplicationHome(home);
    platform::UserDefaults::setStandardFile(home / "Library" / "Preferences" / "defaults.json");
    platform::bindMainThread();
    platform::setExecutorKind(platform::ExecutorKind::Deterministic);
    platform::setClock(std::make_shared<platform::VirtualClock>());
    return true;
  }();
  (void)done;
}

// The "name<separator>value" pairs of the input's lines (lines without the separator are
// skipped), so a target's corpus can be written by hand as well as found by the fuzzer.
inline std::vector<std::pair<std::string, std::string>> pairsFromLines(std::string_view text, char separator,
                                                                       bool trimLeadingSpaces) {
  std::vector<std::pair<std::string, std::string>> pairs;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t at = line.find(separator);
    if (at == std::string_view::npos) continue;
    std::string_view value = line.substr(at + 1);
    while (trimLeadingSpaces && !value.empty() && value.front() == ' ') value.remove_prefix(1);
    pairs.emplace_back(line.substr(0, at), value);
  }
  return pairs;
}

// Runs everything that is ready on the main loop and the queues.
inline void drainMainLoop() {
  while (platform::RunLoop::main().runPending(platform::kDefaultRunLoopMode)) {
  }
}

}  // namespace fuzzenv
