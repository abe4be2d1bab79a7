// Reports uncaught exceptions that the SDK caused. Installed once in front of the host's
// uncaught-exception handler; for each exception it decides from the reason and the call
// stack whether the SDK is involved and, when it is, stores a redacted one-line GET ping
// in the pinger's retry store (group "/vantor/ads/crash_reporting") and sends it. The
// stored entry carries the report to a later start when the process dies first. The
// previous handler always runs afterwards.
//
// The handler runs in a dying process, possibly on a thread that holds a queue or a lock:
// it waits on no queue, its work is bounded (texts are cut to kMaximumTextLength before
// anything scans them), the report is on disk before anything that can fail runs, and an
// exception inside the reporter ends its report, never the call of the previous handler.
//
// Any thread. The shared instance lives for the process (tests reset it).
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Symbols.h"
#include "platform/base/URL.h"
#include "platform/base/UncaughtExceptionHandler.h"

// The retry group that keeps crash reports.
inline constexpr const char* kZUMCrashReportingRetryGroupKey = "/vantor/ads/crash_reporting";
// The built-in exception-ping endpoint.
inline constexpr const char* kZUMCrashReportEndpoint = "https://pings.adnetwork.example/sdk/exception_204";

class ZUMCrashReporter {
 public:
  // What a report is built from, already read from the exception and the process.
  struct Report {
    std::string name;
    std::optional<std::string> reason;
    // One "image,symbol" line per frame, innermost first (stackLine()).
    std::vector<std::string> stackLines;
    // The symbols of the frames, in the same order (for the SDK test and "exclc").
    std::vector<std::string> symbols;
    // The provisioning profile's bytes; none when there is no such resource.
    std::optional<std::string> profile;
    // The device and app values of the table; none reads as "error".
    std::optional<std::string> os, appid, api, js, device;
    // The experiment string of the user defaults, when it holds one.
    std::optional<std::string> experimentIDs;
  };

  // Texts (name, reason, symbols, experiment ids) are cut to this many bytes before use.
  static constexpr std::size_t kMaximumTextLength = 4096;
  // The stack text stays below this many characters (UTF-16 units).
  static constexpr std::size_t kMaximumStackTextLength = 600;
  // At most this many bytes of the provisioning profile are read.
  static constexpr std::size_t kMaximumProfileLength = 1 << 20;

  // Made once; installs the handler in front of the one installed before.
  static std::shared_ptr<ZUMCrashReporter> sharedInstance();
  ~ZUMCrashReporter();
  ZUMCrashReporter(const ZUMCrashReporter&) = delete;
  ZUMCrashReporter& operator=(const ZUMCrashReporter&) = delete;

  platform::UncaughtExceptionHandler previousUncaughtExceptionHandler() const { return previous_; }
  bool reportingEnabled() const { return reportingEnabled_; }
  void setReportingEnabled(bool enabled) { reportingEnabled_ = enabled; }

  // Reports when enabled, then calls the previous handler, whatever the report did.
  void handleUncaughtException(const platform::Exception& exception);
  // Builds the report of an SDK exception, stores it and sends it; nothing otherwise.
  // True when a report was made (stored, or dropped because its group was full).
  bool reportUncaughtException(const platform::Exception& exception);

  // The pieces of report building, pure functions of their input.
  // Whether the text names the SDK ("ZUM" or "PXR").
  static bool involvesSDK(std::string_view text);
  // The reason with hexadecimal numbers replaced by "#" when it names the SDK, else
  // "redacted" (also for no reason).
  static std::string redactedReason(const std::optional<std::string>& reason);
  // The "image,symbol" line of a frame resolved as given.
  static std::string stackLine(const std::optional<platform::ResolvedAddress>& resolved, const std::string& ownImage);
  // The first lines whose running total of (length + 1) stays below the limit, joined
  // by "\n"; none when even the first does not fit.
  static std::optional<std::string> stackText(const std::vector<std::string>& lines);
  // Whether the profile says the app may be debugged ("get-task-allow" with a true value).
  static bool isDevelopmentBuild(const std::optional<std::string>& profile);
  // The report's URL; none when the SDK is not involved.
  static std::optional<platform::URL> reportURL(const Report& report);
  // `text` cut to at most `maximum` bytes on a character boundary, invalid UTF-8
  // replaced by U+FFFD.
  static std::string sanitizedText(std::string_view text, std::size_t maximum = kMaximumTextLength);

  // The report of an exception as this process reads it (symbols, profile, device).
  static Report reportForException(const platform::Exception& exception);

 private:
  ZUMCrashReporter();
  static void handler(const platform::Exception& exception);

  platform::UncaughtExceptionHandler previous_ = nullptr;
  std::atomic<bool> reportingEnabled_{true};
};

// Fills the hub's start-up hook that installs the reporter and the host's opt-out.
// Called once by the telemetry area's registration.
void ZUMRegisterCrashReporter();
