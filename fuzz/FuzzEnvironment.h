// The environment of a fuzz target that drives SDK objects: the fuzzing thread is the
// main thread, every queue runs on it, time stands still (a virtual clock), and files go
// to a folder of the target's own. Header-only, so each target stays one source file.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

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

// Runs everything that is ready on the main loop and the queues.
inline void drainMainLoop() {
  while (platform::RunLoop::main().runPending(platform::kDefaultRunLoopMode)) {
  }
}

}  // namespace fuzzenv
