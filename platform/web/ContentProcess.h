// One content process seen from the host: a helper executable of ours that runs page
// scripts in a heap of its own (see content/ContentProcessMain.cpp), spoken to over a
// socket on its stdin/stdout with the messages of ContentProtocol.
//
// Every request is a round trip bounded by a real-time limit, and all of them together by
// a budget over a sliding window: a process that overruns either, dies, or sends something
// that is not a message is killed, and the request fails. A new process first says it is
// ready, within a limit of its own: its start is not counted against its first request.
// A dead process stays dead; its owner starts a new one when it wants to go on. Native
// calls that arrive while a request runs are answered by the caller's handler (which
// may itself send requests), and the time spent in the handler does not count.
//
// The executable is found through the environment variable MORVANE_CONTENT_PROCESS,
// else at the path the build compiled in: the build tree's, or the installed one for a
// build made to be installed (MORVANE_PACKAGE).
//
// Not thread-safe: one thread at a time (web views use theirs on the main thread).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/base/Clock.h"
#include "platform/web/ContentProtocol.h"

namespace platform {

class ContentProcess {
 public:
  struct Options {
    // Real seconds a request may take.
    TimeInterval timeLimit = 2.0;
    // Real seconds a new process may take to be ready for its first request.
    TimeInterval startLimit = 30.0;
    // Real seconds the process may spend on requests within any `budgetWindow` seconds of
    // the platform clock (virtual time in tests): a page that keeps the host waiting a
    // little at a time is ended too.
    TimeInterval timeBudget = 5.0;
    TimeInterval budgetWindow = 30.0;
    // Bytes the script heap may hold. The process's whole address space is limited to
    // addressSpaceLimit(); a page that exhausts either is ended.
    std::size_t memoryLimit = 64u << 20;
    std::string userAgent = "Mozilla/5.0 (Linux; Morvane) AppleWebKit/605.1.15 (KHTML, like Gecko) Mobile";
  };

  // The options new processes get; tests shorten the time limit.
  static Options defaultOptions();
  static void setDefaultOptions(const Options& options);

  static constexpr std::size_t kAddressSpaceOverhead = 256u << 20;
  // The longest reply line taken from a process; a longer one ends it ("reply too large").
  // The process caps one round trip's events well below this (see content/Bootstrap).
  static constexpr std::size_t kMaxReplyBytes = 8u << 20;
  static std::size_t addressSpaceLimit(const Options& options);

  // Where the executable is: $MORVANE_CONTENT_PROCESS, else the path compiled in.
  static std::string executablePath();

  // Starts a process; nullptr when it cannot be started.
  static std::unique_ptr<ContentProcess> launch(const Options& options = defaultOptions());

  ~ContentProcess();
  ContentProcess(const ContentProcess&) = delete;
  ContentProcess& operator=(const ContentProcess&) = delete;

  // Answers a native call: returns the result, or sets `error` to fail the call in script.
  using NativeHandler = std::function<nlohmann::ordered_json(const ContentProtocol::NativeCall& call,
                                                             std::optional<std::string>& error)>;

  // Sends `request` (an object; "id" and "now" are added) and waits for its reply.
  // std::nullopt when the process is dead, overran its time, or broke the protocol; it
  // is dead afterwards.
  [[nodiscard]] std::optional<ContentProtocol::Reply> send(nlohmann::ordered_json request,
                                                           const NativeHandler& nativeHandler = {});

  bool isAlive() const { return pid_ > 0; }
  // Why the process ended: "timed out", "over its time budget", "out of memory",
  // "exited", "protocol error", ...
  const std::string& terminationReason() const { return terminationReason_; }
  pid_t pid() const { return pid_; }

  // Kills the process now (it is dead afterwards).
  void terminate(const std::string& reason);

 private:
  ContentProcess(pid_t pid, int socket, Options options);
  [[nodiscard]] bool writeAll(const std::string& data, TimeInterval deadline);
  // Counts `seconds` of a request against the budget; false when it is used up.
  [[nodiscard]] bool chargeBudget(TimeInterval seconds);
  // Waits for one line until `deadline` (monotonic real seconds).
  [[nodiscard]] std::optional<std::string> readLine(TimeInterval deadline);
  // Waits, once, for the process to say it is ready; false when it is dead afterwards.
  [[nodiscard]] bool waitUntilReady();

  pid_t pid_;
  int socket_;
  Options options_;
  std::string buffer_;
  std::int64_t nextId_ = 1;
  int depth_ = 0;
  bool ready_ = false;
  std::string terminationReason_;
  // Requests' real seconds by when they ended (platform clock), within the last window.
  std::deque<std::pair<TimeInterval, TimeInterval>> spent_;
  TimeInterval spentInWindow_ = 0;
};

}  // namespace platform
