// One content process seen from the host: a helper executable of ours that runs page
// scripts in a heap of its own (see content/ContentProcessMain.cpp), spoken to over a
// socket on its stdin/stdout with the messages of ContentProtocol.
//
// Every request is a round trip bounded by a real-time limit, and all of them together by
// a budget over a sliding window: a process that overruns either, dies, or sends something
// that is not a message is killed, and the request fails. A new process first says it is
// ready, within a limit of its own counted from when it is first asked for something: its
// start is not counted against its first request. Only send() waits for that line; a
// request of sendAsync() is written once it has come.
// A dead process stays dead; its owner starts a new one when it wants to go on. Native
// calls that arrive while a request runs are answered by the caller's handler (which
// may itself send requests), and the time spent in the handler does not count.
//
// Requests go two ways. send() waits for the reply (the older web view's synchronous
// evaluation, script contexts). sendAsync() does not: the process's socket is a source
// of the main run loop (see RunLoop::setReplySource()), read without blocking up to the
// reply cap, its deadline and budget checked on each dispatch, and the reply reaches
// `done` on a later turn. One request is in flight per process; later ones wait in
// order, and a send() first serves those asked before it.
//
// The executable is found through the environment variable MORVANE_CONTENT_PROCESS,
// else at the path the build compiled in: the build tree's, or the installed one for a
// build made to be installed (MORVANE_PACKAGE).
//
// Not thread-safe: one thread at a time (web views use theirs on the main thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>

#include "platform/base/Clock.h"
#include "platform/web/ContentProtocol.h"

namespace platform {

class ContentReplySource;

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
  using NativeHandler =
      std::function<nlohmann::ordered_json(const ContentProtocol::NativeCall& call, std::optional<std::string>& error)>;

  // Sends `request` (an object; "id" and "now" are added) and waits for its reply.
  // std::nullopt when the process is dead, overran its time, or broke the protocol; it
  // is dead afterwards.
  [[nodiscard]] std::optional<ContentProtocol::Reply> send(nlohmann::ordered_json request,
                                                           const NativeHandler& nativeHandler = {});

  // Sends `request` without waiting; `done` gets what send() would return, on a later
  // turn of the main loop (also when the process is dead already). Destroying the
  // process drops the callbacks not called yet. Main thread only.
  using Done = std::function<void(std::optional<ContentProtocol::Reply>)>;
  void sendAsync(nlohmann::ordered_json request, NativeHandler nativeHandler, Done done);
  // Whether a request given to sendAsync() has not reached its `done` yet.
  bool hasOutstandingRequests() const { return inFlight_.has_value() || !queued_.empty(); }

  bool isAlive() const { return pid_ > 0; }
  // Why the process ended: "timed out", "over its time budget", "out of memory",
  // "exited", "protocol error", ...
  const std::string& terminationReason() const { return terminationReason_; }
  pid_t pid() const { return pid_; }

  // Kills the process now (it is dead afterwards).
  void terminate(const std::string& reason);

 private:
  enum class Wait { No, ForMessage };
  ContentProcess(pid_t pid, int socket, Options options);
  [[nodiscard]] bool writeAll(const std::string& data, TimeInterval deadline);
  // Counts `seconds` of a request against the budget; false when it is used up.
  [[nodiscard]] bool chargeBudget(TimeInterval seconds);
  // Waits for one line until `deadline` (monotonic real seconds).
  [[nodiscard]] std::optional<std::string> readLine(TimeInterval deadline);
  // Takes the process's ready line, waiting for it with Wait::ForMessage; false while it
  // has not come without waiting (the process is ended once its start limit has passed)
  // or when the process is dead.
  [[nodiscard]] bool becomeReady(Wait wait);
  // The next line: waited for with Wait::ForMessage, else only one that is there now.
  [[nodiscard]] std::optional<std::string> nextLine(Wait wait, TimeInterval deadline);
  // When the process must have said it is ready (monotonic real seconds), from the first
  // time it is asked for.
  TimeInterval readyDeadline();
  // A line that is there now, without waiting; std::nullopt when none is whole yet, or
  // with the process ended when it passed the reply cap or `deadline`.
  [[nodiscard]] std::optional<std::string> readReadyLine(TimeInterval deadline);
  // The next line taken from the buffer, if it holds a whole one.
  [[nodiscard]] std::optional<std::string> takeLine();
  // Reads what the socket holds without waiting, up to the first line end or the reply
  // cap; false when the process ended.
  [[nodiscard]] bool readAvailable();
  // Stamps a request with its id and the page's clock; returns the id.
  std::int64_t stamp(nlohmann::ordered_json& request);
  // Answers a native call through `handler`; false when the process ended.
  [[nodiscard]] bool answerNativeCall(const ContentProtocol::NativeCall& call, const NativeHandler& handler,
                                      TimeInterval& deadline);
  // The reply to request `id` begun at `began` (real seconds), or std::nullopt with the
  // process ended: a stray or fatal reply, or a budget used up.
  [[nodiscard]] std::optional<ContentProtocol::Reply> acceptReply(ContentProtocol::Message& message, std::int64_t id,
                                                                  TimeInterval began, TimeInterval handlerSeconds);

  // The requests of sendAsync().
  friend class ContentReplySource;
  struct Request {
    nlohmann::ordered_json message;
    NativeHandler handler;
    Done done;
    std::uint64_t order = 0;  // in the order all processes' requests were asked for
  };
  struct InFlight {
    std::int64_t id = 0;
    TimeInterval began = 0;
    TimeInterval deadline = 0;
    TimeInterval handlerSeconds = 0;
    Request request;
  };
  // Writes the next queued request once the process is ready (waiting for that only
  // with Wait::ForMessage).
  void startNext(Wait wait);
  // What a wait for the process's next message watches: its socket, until the real time
  // (monotonic seconds) when it must be looked at anyway. std::nullopt when it must be
  // looked at now (a whole line is buffered, it is dead, or a request can be written).
  struct Awaited {
    int socket;
    TimeInterval deadline;
  };
  std::optional<Awaited> awaited();
  // Handles what the process sent for the request in flight (waiting for a message, or
  // not), until its reply is delivered or nothing more is there; fails every request
  // of a dead process. Whether a callback was called.
  bool serve(Wait wait);
  // Serves every request asked for so far, waiting (send() keeps the order).
  void finishOutstanding();
  void failOutstanding();
  // Whether a reply is owed that the run loop should serve (not while serving it).
  bool owesReply() const { return hasOutstandingRequests() && !serving_; }
  // The order of the request owed first.
  std::uint64_t owedOrder() const { return inFlight_ ? inFlight_->request.order : queued_.front().order; }

  pid_t pid_;
  int socket_;
  Options options_;
  std::string buffer_;
  std::int64_t nextId_ = 1;
  int depth_ = 0;
  bool ready_ = false;
  std::optional<TimeInterval> readyDeadline_;
  std::string terminationReason_;
  // Requests' real seconds by when they ended (platform clock), within the last window.
  std::deque<std::pair<TimeInterval, TimeInterval>> spent_;
  TimeInterval spentInWindow_ = 0;

  std::deque<Request> queued_;
  std::optional<InFlight> inFlight_;
  bool serving_ = false;
  bool registered_ = false;
  // Expires with the process, so a callback that destroyed it is noticed.
  std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

}  // namespace platform
