// The content process: hosts one script heap (a page or a plain script context) for one
// host object, and answers the host's requests, one line of JSON each, on stdin/stdout.
// It has no time-out of its own: the host bounds every request and kills a process that
// overruns it. Memory is bounded here twice: an allocator refuses to grow the script heap
// past a limit, and the whole address space is limited (setrlimit) so nothing else in the
// process can take the machine either. A page that exhausts its heap, or a process that
// runs out of address space, ends the process at once with a fatal reply, the same way
// whatever the machine's speed; a plain script context gets an error and goes on.
//
// Arguments: --memory-limit=<bytes>  --address-space-limit=<bytes>  --user-agent=<text>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <duktape.h>
#include <new>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/web/content/Bootstrap.h"
#include "platform/web/content/RequestText.h"

namespace {

using nlohmann::json;
using platform::content::toUTF8;

constexpr std::size_t kDefaultMemoryLimit = 64u << 20;
constexpr int kMaxNesting = 16;

// --- Bounded allocator ------------------------------------------------------------

struct Arena {
  std::size_t used = 0;
  std::size_t limit = kDefaultMemoryLimit;
  bool endWhenExhausted = false;  // pages: the process ends rather than the script going on
};

// Ends the process with a fatal reply; allocates nothing, as memory is what ran out.
[[noreturn]] void endOutOfMemory() {
  static const char kReply[] =
      "{\"id\":0,\"error\":{\"name\":\"RangeError\",\"message\":\"out of memory\"},\"events\":[],\"fatal\":true}\n";
  const char* p = kReply;
  std::size_t left = sizeof kReply - 1;
  while (left > 0) {
    ssize_t n = ::write(1, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  _exit(71);
}

void* refuse(const Arena& arena) {
  if (arena.endWhenExhausted) endOutOfMemory();
  return nullptr;
}

// Every block carries its size in front, so frees and reallocations keep the count.
constexpr std::size_t kHeader = 16;

void* arenaAlloc(void* udata, duk_size_t size) {
  auto* arena = static_cast<Arena*>(udata);
  if (size > arena->limit - arena->used) return refuse(*arena);
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) return refuse(*arena);
  std::memcpy(block, &size, sizeof size);
  arena->used += size;
  return block + kHeader;
}

void arenaFree(void* udata, void* ptr) {
  if (!ptr) return;
  auto* arena = static_cast<Arena*>(udata);
  auto* block = static_cast<unsigned char*>(ptr) - kHeader;
  std::size_t size;
  std::memcpy(&size, block, sizeof size);
  arena->used -= size;
  std::free(block);
}

void* arenaRealloc(void* udata, void* ptr, duk_size_t size) {
  if (!ptr) return arenaAlloc(udata, size);
  if (size == 0) {
    arenaFree(udata, ptr);
    return nullptr;
  }
  auto* arena = static_cast<Arena*>(udata);
  auto* block = static_cast<unsigned char*>(ptr) - kHeader;
  std::size_t old;
  std::memcpy(&old, block, sizeof old);
  if (size > old && size - old > arena->limit - arena->used) return refuse(*arena);
  auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
  if (!grown) return refuse(*arena);
  std::memcpy(grown, &size, sizeof size);
  arena->used = arena->used - old + size;
  return grown + kHeader;
}

[[noreturn]] void fatal(void*, const char* message) {
  std::fprintf(stderr, "content process: fatal script engine error: %s\n", message ? message : "(none)");
  std::fflush(stderr);
  _exit(70);
}

// --- Lines on stdin/stdout ---------------------------------------------------------

class LineReader {
 public:
  // False at the end of input.
  bool read(std::string& line) {
    for (;;) {
      auto nl = buffer_.find('\n', scanned_);
      if (nl != std::string::npos) {
        line.assign(buffer_, 0, nl);
        buffer_.erase(0, nl + 1);
        scanned_ = 0;
        return true;
      }
      scanned_ = buffer_.size();
      char chunk[65536];
      ssize_t n = ::read(0, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  std::string buffer_;
  std::size_t scanned_ = 0;
};

void writeLine(std::string line) {
  line.push_back('\n');
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(1, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) _exit(0);  // the host is gone
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

std::string errorReply(const json& id, std::string_view name, std::string_view message, bool fatal = false) {
  json reply = {{"id", id}, {"error", {{"name", name}, {"message", message}}}, {"events", json::array()}};
  if (fatal) reply["fatal"] = true;
  return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

// --- The heap ------------------------------------------------------------------------

class Host;
Host* gHost = nullptr;

class Host {
 public:
  Host(std::size_t memoryLimit, std::string userAgent) : userAgent_(std::move(userAgent)) {
    arena_.limit = memoryLimit;
  }
  ~Host() { destroy(); }

  // Runs one request line and writes its reply.
  void handle(const std::string& line) {
    if (broken_) {
      writeLine(errorReply(nullptr, "Error", "the script heap is out of service", true));
      return;
    }
    auto request = platform::content::decodeRequest(line);
    if (!request) {
      writeLine(errorReply(nullptr, "SyntaxError", "malformed request"));
      return;
    }
    const json& id = request->id;
    const std::string& op = request->op;
    if (op == "load" || op == "context") {
      if (depth_ > 0) {
        writeLine(errorReply(id, "Error", "cannot replace the heap inside a native call"));
        return;
      }
      if (!create(op == "load" ? "page" : "context")) {
        writeLine(errorReply(id, "RangeError", "cannot create the script heap"));
        return;
      }
    } else if (!ctx_ && !create("page")) {
      writeLine(errorReply(id, "RangeError", "cannot create the script heap"));
      return;
    }
    if (depth_ >= kMaxNesting) {
      writeLine(errorReply(id, "RangeError", "native calls nested too deeply"));
      return;
    }
    ++depth_;
    std::string reply;
    if (!dispatch(line, reply)) {
      // The error escaped the dispatcher's own handling: the heap is full or broken and
      // cannot run even the code that would free it. Say so and end the process.
      reply = errorReply(id, "Error", reply, true);
      broken_ = true;
    }
    --depth_;
    writeLine(std::move(reply));
  }

  // Whether the process should end (after a fatal reply).
  bool isBroken() const { return broken_; }

  // Called from script: sends a native call to the host and waits for its answer,
  // serving nested requests meanwhile. Returns the answer line.
  std::string nativeCall(std::string name, std::string argsJSON) {
    const std::uint64_t callId = ++nextCall_;
    json args = json::parse(argsJSON, nullptr, false);
    if (args.is_discarded()) args = json::array();
    json call = {{"native", {{"callId", callId}, {"name", name}, {"args", std::move(args)}}}};
    writeLine(call.dump(-1, ' ', false, json::error_handler_t::replace));
    std::string line;
    while (reader_->read(line)) {
      json message = json::parse(line, nullptr, false);
      if (message.is_object() && message.value("op", std::string()) == "nativeReply") {
        if (message.value("callId", std::uint64_t{0}) == callId) return line;
        continue;  // an answer to an abandoned call
      }
      handle(line);
      if (broken_) break;
    }
    _exit(0);
  }

  void setReader(LineReader* reader) { reader_ = reader; }

 private:
  bool create(const char* mode) {
    destroy();
    arena_.used = 0;
    arena_.endWhenExhausted = std::string_view(mode) == "page";
    ctx_ = duk_create_heap(arenaAlloc, arenaRealloc, arenaFree, &arena_, fatal);
    if (!ctx_) return false;
    struct Setup {
      const char* mode;
      const std::string* userAgent;
    } setup{mode, &userAgent_};
    duk_int_t rc = duk_safe_call(
        ctx_,
        [](duk_context* ctx, void* udata) -> duk_ret_t {
          auto* s = static_cast<Setup*>(udata);
          duk_push_string(ctx, "bootstrap");
          duk_compile_string_filename(ctx, DUK_COMPILE_EVAL, platform::content::kBootstrapSource);
          duk_call(ctx, 0);      // the function expression
          duk_push_object(ctx);  // io
          duk_push_c_function(ctx, &Host::nativeCallEntry, 2);
          duk_put_prop_string(ctx, -2, "nativeCall");
          duk_push_string(ctx, s->userAgent->c_str());
          duk_put_prop_string(ctx, -2, "userAgent");
          duk_push_string(ctx, s->mode);
          duk_call(ctx, 2);  // -> dispatcher
          duk_push_global_stash(ctx);
          duk_dup(ctx, -2);
          duk_put_prop_string(ctx, -2, "dispatch");
          duk_pop_2(ctx);
          return 0;
        },
        &setup, 0, 1);
    duk_pop(ctx_);
    if (rc != DUK_EXEC_SUCCESS) {
      destroy();
      return false;
    }
    return true;
  }

  void destroy() {
    if (ctx_) duk_destroy_heap(ctx_);
    ctx_ = nullptr;
  }

  // Runs the dispatcher; on failure `out` holds the reason.
  bool dispatch(const std::string& line, std::string& out) {
    struct Call {
      const std::string* line;
      std::string* out;
    } call{&line, &out};
    duk_int_t rc = duk_safe_call(
        ctx_,
        [](duk_context* ctx, void* udata) -> duk_ret_t {
          auto* c = static_cast<Call*>(udata);
          duk_push_global_stash(ctx);
          duk_get_prop_string(ctx, -1, "dispatch");
          duk_push_lstring(ctx, c->line->data(), c->line->size());
          duk_call(ctx, 1);
          duk_size_t len = 0;
          const char* s = duk_get_lstring(ctx, -1, &len);
          if (!s) return DUK_RET_TYPE_ERROR;
          *c->out = toUTF8(std::string_view(s, len));
          return 0;
        },
        &call, 0, 1);
    if (rc != DUK_EXEC_SUCCESS) {
      const char* message = duk_safe_to_string(ctx_, -1);
      out = message ? message : "script engine error";
      duk_pop(ctx_);
      return false;
    }
    duk_pop(ctx_);
    return true;
  }

  // Script errors unwind this frame with longjmp, so it keeps no C++ objects of its own:
  // the strings live in the host.
  static duk_ret_t nativeCallEntry(duk_context* ctx) {
    gHost->callName_ = toUTF8(duk_safe_to_string(ctx, 0));
    gHost->callArgs_ = toUTF8(duk_safe_to_string(ctx, 1));
    gHost->answer_ = gHost->nativeCall(gHost->callName_, gHost->callArgs_);
    duk_push_lstring(ctx, gHost->answer_.data(), gHost->answer_.size());
    return 1;
  }

  Arena arena_;
  duk_context* ctx_ = nullptr;
  std::string userAgent_;
  LineReader* reader_ = nullptr;
  int depth_ = 0;
  bool broken_ = false;
  std::uint64_t nextCall_ = 0;
  std::string callName_, callArgs_, answer_;
};

}  // namespace

int main(int argc, char** argv) {
  // Whatever else the host left open (sockets, pipes) stays the host's: a page's process
  // holding them would keep them from ever closing for their peers.
  if (::close_range(3, ~0u, 0) != 0) {
    for (long fd = 3, last = std::min(::sysconf(_SC_OPEN_MAX), 65536L); fd < last; ++fd) ::close(static_cast<int>(fd));
  }
  std::size_t memoryLimit = kDefaultMemoryLimit;
  unsigned long long addressSpaceLimit = 0;
  std::string userAgent = "Mozilla/5.0 (Linux) Morvane";
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg.starts_with("--memory-limit=")) {
      unsigned long long value = std::strtoull(argv[i] + 15, nullptr, 10);
      if (value >= (1u << 20)) memoryLimit = static_cast<std::size_t>(value);
    } else if (arg.starts_with("--address-space-limit=")) {
      addressSpaceLimit = std::strtoull(argv[i] + 22, nullptr, 10);
    } else if (arg.starts_with("--user-agent=")) {
      userAgent = std::string(arg.substr(13));
    }
  }
  // Memory outside the script heap (requests, replies, the engine's own) is bounded too.
  std::set_new_handler([] { endOutOfMemory(); });
  if (addressSpaceLimit > 0) {
    rlimit limit{static_cast<rlim_t>(addressSpaceLimit), static_cast<rlim_t>(addressSpaceLimit)};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) {
      std::fprintf(stderr, "content process: cannot limit the address space\n");
      return 1;
    }
  }
  LineReader reader;
  Host host(memoryLimit, userAgent);
  host.setReader(&reader);
  gHost = &host;
  // The host times each request from here on, not the process's start.
  writeLine(R"({"ready":true})");
  std::string line;
  while (!host.isBroken() && reader.read(line)) host.handle(line);
  return 0;
}
