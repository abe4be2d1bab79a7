// The SDK's log. One process-wide level threshold (starts at 1); a message prints when
// its level is at or below the threshold. Printing goes through the platform's system
// log, asynchronously and in order, on the serial queue "com.vantor.morvane.logging".
// Messages are plain strings: callers format them before logging.
//
// Every function here may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The level every SDK message uses.
inline constexpr int64_t kZUMLogLevelDefault = 1;
// Lines for the SDK's own debugging: printed only once the threshold is raised.
inline constexpr int64_t kZUMLogLevelDebug = 2;

// Prints `message` through the system log when the threshold is at least `level`.
void ZUMLog(int64_t level, std::string message);

// The process-wide threshold.
int64_t ZUMLogLevelThreshold();
void ZUMSetLogLevelThreshold(int64_t threshold);

// The system-log subsystem the SDK's lines are written under.
inline constexpr const char* kZUMLogSubsystem = "com.vantor.morvane";

class ZUMLogger {
 public:
  static std::shared_ptr<ZUMLogger> sharedInstance();

  // Logs a message for the application's developer at level 1, prefixed "<Vantor> ".
  // Asynchronous; never fails.
  void logPublicMessage(const std::string& message);

 private:
  ZUMLogger() = default;
};
