#include "platform/web/ContentProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

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

double realNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int remainingMillis(double deadline) {
  double left = deadline - realNow();
  if (left <= 0) return 0;
  return static_cast<int>(std::ceil(std::min(left, 3600.0) * 1000));
}

}  // namespace

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
  std::vector<char*> argv{const_cast<char*>(path.c_str()), memory.data(), addressSpace.data(), agent.data(),
                          nullptr};
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

std::optional<std::string> ContentProcess::readLine(double deadline) {
  std::size_t scanned = 0;
  for (;;) {
    auto nl = buffer_.find('\n', scanned);
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    scanned = buffer_.size();
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
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;  // the deadline check above ends the wait
    char chunk[65536];
    ssize_t n = ::recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) {
      terminate("exited");
      return std::nullopt;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool ContentProcess::waitUntilReady() {
  if (ready_) return true;
  auto line = readLine(realNow() + std::max(0.0, options_.startLimit));
  if (!line) {
    if (terminationReason_ == "timed out") terminationReason_ = "did not start in time";
    return false;
  }
  if (*line != R"({"ready":true})") {
    terminate("protocol error");
    return false;
  }
  ready_ = true;
  return true;
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

std::optional<ContentProtocol::Reply> ContentProcess::send(Json request,
                                                          const NativeHandler& nativeHandler) {
  if (!isAlive() || !waitUntilReady()) return std::nullopt;
  if (depth_ >= kMaxNesting) return std::nullopt;
  const std::int64_t id = nextId_++;
  request["id"] = id;
  request["now"] = std::floor(clock().wallNow() * 1000.0);
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
      const double started = realNow();

      std::optional<std::string> error;
      Json result;
      if (nativeHandler) {
        result = nativeHandler(*message->nativeCall, error);
      } else {
        error = "no native function";
      }
      if (!isAlive()) return std::nullopt;
      deadline += realNow() - started;
      Json answer = {{"op", "nativeReply"}, {"callId", message->nativeCall->callId}};
      if (error) {
        answer["error"] = *error;
      } else {
        answer["result"] = std::move(result);
      }
      if (!writeAll(answer.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n", deadline)) {
        terminate("write failed");
        return std::nullopt;
      }
      continue;
    }
    if (message->reply->id != id && !message->reply->fatal) {
      terminate("protocol error");
      return std::nullopt;
    }
    if (message->reply->fatal) {
      terminate("out of memory");
      return std::nullopt;
    }
    // What the request took, less the handlers' time (the deadline moved by that much).
    const double handlers = deadline - began - std::max(0.0, options_.timeLimit);
    if (!chargeBudget(realNow() - began - handlers)) {
      terminate("over its time budget");
      return std::nullopt;
    }
    return std::move(message->reply);
  }
}

}  // namespace platform
