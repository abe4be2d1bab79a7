#include "platform/web/ContentProcess.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"

extern char** environ;

#ifndef MORVANE_CONTENT_PROCESS_PATH
#define MORVANE_CONTENT_PROCESS_PATH "morvane_content_process"
#endif

namespace platform {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kMaxNesting = 16;

std::mutex gOptionsMutex;
ContentProcess::Options& storedOptions() {
  static ContentProcess::Options options;
  return options;
}

double realNow() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

int remainingMillis(double deadline) {
  double left = deadline - realNow();
  if (left <= 0) return 0;
  return static_cast<int>(std::ceil(std::min(left, 3600.0) * 1000));
}

}  // namespace

// --- Requests answered on later turns ------------------------------------------------

// The main run loop's source of content processes' replies: the processes with requests
// of sendAsync() not answered yet. Main thread only, except wakeUp().
class ContentReplySource final : public RunLoopEventSource {
 public:
  static ContentReplySource& shared() {
    // Lives for ever: the run loop may hold it while the process exits.
    static ContentReplySource* source = [] {
      auto made = std::make_shared<ContentReplySource>();
      RunLoop::main().setReplySource(made);
      return made.get();
    }();
    return *source;
  }

  ContentReplySource() {
    if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  }
  ~ContentReplySource() override {
    for (int fd : wake_) {
      if (fd >= 0) ::close(fd);
    }
  }

  void add(ContentProcess* process) {
    if (std::find(processes_.begin(), processes_.end(), process) == processes_.end()) processes_.push_back(process);
  }
  void remove(ContentProcess* process) { std::erase(processes_, process); }

  bool dispatchReady() override {
    const auto snapshot = processes_;
    bool delivered = false;
    for (ContentProcess* process : snapshot) {
      // An earlier process's callback may have destroyed this one.
      if (std::find(processes_.begin(), processes_.end(), process) == processes_.end()) continue;
      if (process->owesReply()) delivered |= process->serve(ContentProcess::Wait::No);
    }
    // What a reply made happen is the loop's work: a wait in progress ends.
    if (delivered) RunLoop::main().wakeUp();
    return delivered;
  }

  bool waitAndDispatch(std::chrono::nanoseconds limit) override {
    if (virtualClock()) {
      // The earliest request first, waiting for it: the same order on any machine.
      ContentProcess* earliest = nullptr;
      for (ContentProcess* process : processes_) {
        if (process->owesReply() && (!earliest || process->owedOrder() < earliest->owedOrder())) earliest = process;
      }
      return earliest && earliest->serve(ContentProcess::Wait::ForMessage);
    }
    std::vector<pollfd> fds;
    if (wake_[0] >= 0) fds.push_back({wake_[0], POLLIN, 0});
    double wait = std::chrono::duration<double>(limit).count();
    std::vector<int> sockets;
    awaited(sockets, wait);
    for (int socket : sockets) fds.push_back({socket, POLLIN, 0});
    const int ms = static_cast<int>(std::ceil(std::clamp(wait, 0.0, 60.0) * 1000));
    if (::poll(fds.data(), fds.size(), ms) > 0 && wake_[0] >= 0 && (fds[0].revents & POLLIN)) {
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
      // The run loop looks at its own flag before it waits again, so no wake is lost.
      wakePending_ = false;
    }
    return dispatchReady();
  }

  // One byte at most until a wait takes it: a perform costs no write while one is there.
  void wakeUp() override {
    if (wake_[1] >= 0 && !wakePending_.exchange(true)) (void)!::write(wake_[1], "w", 1);
  }

  bool isBusy() const override {
    return std::any_of(processes_.begin(), processes_.end(), [](const ContentProcess* p) { return p->owesReply(); });
  }

  // The sockets of the processes that owe a reply, watched by the event source's own
  // wait (GLib's, while web engine pages live) until the earliest deadline.
  std::optional<Readable> readable() const override {
    double wait = 60.0;
    Readable watch;
    awaited(watch.descriptors, wait);
    watch.within =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(std::max(0.0, wait)));
    return watch;
  }

 private:
  // The sockets to wait on for replies owed, and `wait` (real seconds) cut to the
  // earliest deadline among them (to zero when one must be looked at now).
  void awaited(std::vector<int>& sockets, double& wait) const {
    for (ContentProcess* process : processes_) {
      if (!process->owesReply()) continue;
      const auto next = process->awaited();
      if (!next) {
        wait = 0;
        continue;
      }
      wait = std::min(wait, next->deadline - realNow());
      sockets.push_back(next->socket);
    }
  }

  std::vector<ContentProcess*> processes_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> wakePending_{false};
};

ContentProcess::Options ContentProcess::defaultOptions() {
  std::lock_guard lock(gOptionsMutex);
  return storedOptions();
}

void ContentProcess::setDefaultOptions(const Options& options) {
  std::lock_guard lock(gOptionsMutex);
  storedOptions() = options;
}

std::string ContentProcess::executablePath() {
  if (const char* path = std::getenv("MORVANE_CONTENT_PROCESS"); path && *path) return path;
  return MORVANE_CONTENT_PROCESS_PATH;
}

std::size_t ContentProcess::addressSpaceLimit(const Options& options) {
  // The heap, a copy of it on its way out in a reply, and the code and stacks around them.
  return 2 * options.memoryLimit + kAddressSpaceOverhead;
}

std::unique_ptr<ContentProcess> ContentProcess::launch(const Options& options) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  const std::string path = executablePath();
  std::string memory = "--memory-limit=" + std::to_string(options.memoryLimit);
  std::string addressSpace = "--address-space-limit=" + std::to_string(addressSpaceLimit(options));
  std::string agent = "--user-agent=" + options.userAgent;
  std::vector<char*> argv{const_cast<char*>(path.c_str()), memory.data(), addressSpace.data(), agent.data(), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    SystemLog::write("web", "content process: cannot start " + path);
    return nullptr;
  }
  return std::unique_ptr<ContentProcess>(new ContentProcess(pid, fds[0], options));
}

ContentProcess::ContentProcess(pid_t pid, int socket, Options options)
    : pid_(pid), socket_(socket), options_(std::move(options)) {}

ContentProcess::~ContentProcess() {
  if (registered_) ContentReplySource::shared().remove(this);
  terminate("closed");
  if (socket_ >= 0) ::close(socket_);
}

void ContentProcess::terminate(const std::string& reason) {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  terminationReason_ = reason;
  buffer_.clear();
}

bool ContentProcess::writeAll(const std::string& data, double deadline) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(socket_, data.data() + done, data.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{socket_, POLLOUT, 0};
      int ms = remainingMillis(deadline);
      if (ms == 0) return false;
      if (::poll(&p, 1, ms) < 0 && errno != EINTR) return false;
      continue;
    }
    return false;
  }
  return true;
}

std::optional<std::string> ContentProcess::takeLine() {
  auto nl = buffer_.find('\n');
  if (nl == std::string::npos) return std::nullopt;
  std::string line = buffer_.substr(0, nl);
  buffer_.erase(0, nl + 1);
  return line;
}

bool ContentProcess::readAvailable() {
  while (buffer_.size() <= kMaxReplyBytes) {
    char chunk[65536];
    ssize_t n = ::recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) {
      terminate("exited");
      return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    // A line is taken before what follows it: a process that sends its last reply and
    // exits is heard out.
    if (std::memchr(chunk, '\n', static_cast<std::size_t>(n))) return true;
  }
  return true;
}

std::optional<std::string> ContentProcess::readLine(double deadline) {
  for (;;) {
    if (auto line = takeLine()) return line;
    if (buffer_.size() > kMaxReplyBytes) {
      terminate("reply too large");
      return std::nullopt;
    }
    pollfd p{socket_, POLLIN, 0};
    int ms = remainingMillis(deadline);
    if (ms == 0) {
      terminate("timed out");
      return std::nullopt;
    }
    int ready = ::poll(&p, 1, ms);
    if (ready <= 0) continue;  // the deadline check above ends the wait
    if (!readAvailable()) return std::nullopt;
  }
}

TimeInterval ContentProcess::readyDeadline() {
  if (!readyDeadline_) readyDeadline_ = realNow() + std::max(0.0, options_.startLimit);
  return *readyDeadline_;
}

namespace {
constexpr std::string_view kReadyLine = R"({"ready":true})";
}  // namespace

bool ContentProcess::becomeReady(Wait wait) {
  if (ready_) return true;
  if (!isAlive()) return false;
  auto line = nextLine(wait, readyDeadline());
  if (!line) {
    if (terminationReason_ == "timed out") terminationReason_ = "did not start in time";
    return false;
  }
  if (*line != kReadyLine) {
    terminate("protocol error");
    return false;
  }
  ready_ = true;
  return true;
}

std::optional<std::string> ContentProcess::nextLine(Wait wait, TimeInterval deadline) {
  return wait == Wait::ForMessage ? readLine(deadline) : readReadyLine(deadline);
}

std::optional<ContentProcess::Awaited> ContentProcess::awaited() {
  if (!isAlive() || buffer_.find('\n') != std::string::npos) return std::nullopt;
  if (inFlight_) return Awaited{socket_, inFlight_->deadline};
  if (!ready_ && !queued_.empty()) return Awaited{socket_, readyDeadline()};
  return std::nullopt;
}

std::optional<std::string> ContentProcess::readReadyLine(double deadline) {
  if (auto line = takeLine()) return line;
  if (!readAvailable()) return std::nullopt;
  if (auto line = takeLine()) return line;
  // Nothing whole yet: the cap and the deadline are checked on each dispatch.
  if (buffer_.size() > kMaxReplyBytes) {
    terminate("reply too large");
  } else if (realNow() >= deadline) {
    terminate("timed out");
  }
  return std::nullopt;
}

bool ContentProcess::chargeBudget(TimeInterval seconds) {
  const TimeInterval now = clock().monotonicNow();
  spent_.emplace_back(now, std::max(0.0, seconds));
  spentInWindow_ += spent_.back().second;
  while (!spent_.empty() && spent_.front().first <= now - options_.budgetWindow) {
    spentInWindow_ -= spent_.front().second;
    spent_.pop_front();
  }
  return spentInWindow_ <= options_.timeBudget;
}

std::int64_t ContentProcess::stamp(Json& request) {
  const std::int64_t id = nextId_++;
  request["id"] = id;
  request["now"] = std::floor(clock().wallNow() * 1000.0);
  return id;
}

bool ContentProcess::answerNativeCall(const ContentProtocol::NativeCall& call, const NativeHandler& handler,
                                      TimeInterval& deadline) {
  const double started = realNow();
  std::optional<std::string> error;
  Json result;
  std::weak_ptr<int> alive = token_;
  if (handler) {
    // A copy: the handler may end the request that holds it.
    NativeHandler keep = handler;
    result = keep(call, error);
  } else {
    error = "no native function";
  }
  // The handler may have destroyed the process, or ended it.
  if (alive.expired() || !isAlive()) return false;
  deadline += realNow() - started;
  Json answer = {{"op", "nativeReply"}, {"callId", call.callId}};
  if (error) {
    answer["error"] = *error;
  } else {
    answer["result"] = std::move(result);
  }
  if (!writeAll(answer.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n", deadline)) {
    terminate("write failed");
    return false;
  }
  return true;
}

std::optional<ContentProtocol::Reply> ContentProcess::acceptReply(ContentProtocol::Message& message, std::int64_t id,
                                                                  TimeInterval began, TimeInterval handlerSeconds) {
  if (message.reply->id != id && !message.reply->fatal) {
    terminate("protocol error");
    return std::nullopt;
  }
  if (message.reply->fatal) {
    terminate("out of memory");
    return std::nullopt;
  }
  // What the request took, less the handlers' time.
  if (!chargeBudget(realNow() - began - handlerSeconds)) {
    terminate("over its time budget");
    return std::nullopt;
  }
  return std::move(message.reply);
}

std::optional<ContentProtocol::Reply> ContentProcess::send(Json request, const NativeHandler& nativeHandler) {
  if (!isAlive() || !becomeReady(Wait::ForMessage)) return std::nullopt;
  if (depth_ >= kMaxNesting) return std::nullopt;
  if (!serving_) {
    std::weak_ptr<int> alive = token_;
    finishOutstanding();
    // A callback of an earlier request may have ended the process's owner.
    if (alive.expired() || !isAlive()) return std::nullopt;
  }
  const std::int64_t id = stamp(request);
  const double began = realNow();
  double deadline = began + std::max(0.0, options_.timeLimit);
  if (!writeAll(request.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n", deadline)) {
    terminate(isAlive() ? "write failed" : terminationReason_);
    return std::nullopt;
  }
  ++depth_;
  struct DepthGuard {
    int& depth;
    ~DepthGuard() { --depth; }
  } guard{depth_};
  for (;;) {
    auto line = readLine(deadline);
    if (!line) return std::nullopt;
    auto message = ContentProtocol::decodeMessage(*line);
    if (!message) {
      terminate("protocol error");
      return std::nullopt;
    }
    if (message->nativeCall) {
      if (!answerNativeCall(*message->nativeCall, nativeHandler, deadline)) return std::nullopt;
      continue;
    }
    // The deadline moved by the handlers' time.
    return acceptReply(*message, id, began, deadline - began - std::max(0.0, options_.timeLimit));
  }
}

void ContentProcess::sendAsync(Json request, NativeHandler nativeHandler, Done done) {
  assertMainThread();
  static std::uint64_t nextOrder = 0;
  queued_.push_back({std::move(request), std::move(nativeHandler), std::move(done), ++nextOrder});
  if (!registered_) {
    ContentReplySource::shared().add(this);
    registered_ = true;
  }
  if (!inFlight_ && isAlive()) startNext(Wait::No);
}

void ContentProcess::startNext(Wait wait) {
  if (inFlight_ || queued_.empty()) return;
  // A new process says it is ready first, within its start limit; without waiting, the
  // request is written on the dispatch that finds the line.
  if (!becomeReady(wait)) return;
  InFlight next;
  next.request = std::move(queued_.front());
  queued_.pop_front();
  next.id = stamp(next.request.message);
  next.began = realNow();
  next.deadline = next.began + std::max(0.0, options_.timeLimit);
  const std::string line = next.request.message.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  next.request.message = Json();
  inFlight_ = std::move(next);
  if (!writeAll(line, inFlight_->deadline)) terminate(isAlive() ? "write failed" : terminationReason_);
}

bool ContentProcess::serve(Wait wait) {
  if (serving_) return false;
  std::weak_ptr<int> alive = token_;
  for (;;) {
    if (!hasOutstandingRequests()) return false;
    if (!isAlive()) {
      failOutstanding();
      return true;
    }
    if (!inFlight_) {
      startNext(wait);
      // Not ready yet: its line is looked for on a later dispatch.
      if (!inFlight_ && isAlive()) return false;
      continue;
    }
    serving_ = true;
    auto line = nextLine(wait, inFlight_->deadline);
    if (!line) {
      serving_ = false;
      if (isAlive()) return false;
      continue;
    }
    auto message = ContentProtocol::decodeMessage(*line);
    if (!message) {
      terminate("protocol error");
      serving_ = false;
      continue;
    }
    if (message->nativeCall) {
      const double before = inFlight_->deadline;
      const bool answered = answerNativeCall(*message->nativeCall, inFlight_->request.handler, inFlight_->deadline);
      if (alive.expired()) return true;
      serving_ = false;
      if (answered && inFlight_) inFlight_->handlerSeconds += inFlight_->deadline - before;
      continue;
    }
    auto reply = acceptReply(*message, inFlight_->id, inFlight_->began, inFlight_->handlerSeconds);
    serving_ = false;
    if (!reply) continue;
    Done done = std::move(inFlight_->request.done);
    inFlight_.reset();
    startNext(Wait::No);
    if (done) done(std::move(reply));
    return true;
  }
}

void ContentProcess::finishOutstanding() {
  std::weak_ptr<int> alive = token_;
  while (!alive.expired() && hasOutstandingRequests() && !serving_) serve(Wait::ForMessage);
}

void ContentProcess::failOutstanding() {
  std::vector<Done> dones;
  if (inFlight_) dones.push_back(std::move(inFlight_->request.done));
  inFlight_.reset();
  for (auto& request : queued_) dones.push_back(std::move(request.done));
  queued_.clear();
  std::weak_ptr<int> alive = token_;
  for (auto& done : dones) {
    // An owner that destroyed the process knows it is gone.
    if (alive.expired()) return;
    if (done) done(std::nullopt);
  }
}

}  // namespace platform
