// Runs a program of the tests as a child process, for tests of how a process ends (an
// uncaught exception, an abort). Test threads only.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "testing/TestEnvironment.h"

namespace testenv {

// Runs `arguments` (the program's path first) to its end with its standard error written
// to `stderrFile`, and answers its wait status, or none when it could not be started. A
// child still running after `limit` (far beyond any run's length: it hangs) is killed, so
// the test fails by the status instead of hanging.
std::optional<int> runChildProcess(std::vector<std::string> arguments, const std::filesystem::path& stderrFile,
                                   std::chrono::milliseconds limit = kRealLimit);

}  // namespace testenv
