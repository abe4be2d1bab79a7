#include "platform/web/ContentProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

class ContentProcessTest : public testenv::PlatformTest {
 protected:
  std::unique_ptr<ContentProcess> launch(TimeInterval timeLimit = 2.0, std::size_t memory = 64u << 20) {
    ContentProcess::Options options;
    options.timeLimit = timeLimit;
    options.memoryLimit = memory;
    auto process = ContentProcess::launch(options);
    EXPECT_TRUE(process);
    return process;
  }
  static Json evaluate(std::string script) { return {{"op", "evaluate"}, {"script", std::move(script)}}; }
};

TEST_F(ContentProcessTest, EvaluatesAndReportsEventsInOrder) {
  auto process = launch();
  auto reply = process->send(evaluate(
      "console.log('a', 1); location.href = 'tolm://x/y?z=1'; alert('hi'); ({n: 2, s: 'x', f: [1, true, null]})"));
  ASSERT_TRUE(reply);
  ASSERT_TRUE(reply->result);
  EXPECT_EQ(*reply->result, Json::parse(R"({"n":2,"s":"x","f":[1,true,null]})"));
  EXPECT_EQ(reply->text, "[object Object]");
  ASSERT_EQ(reply->events.size(), 3u);
  EXPECT_EQ(reply->events[0].type, ContentProtocol::Event::Type::Console);
  EXPECT_EQ(reply->events[0].message, "a 1");
  EXPECT_EQ(reply->events[1].type, ContentProtocol::Event::Type::Navigation);
  EXPECT_EQ(reply->events[1].url, "tolm://x/y?z=1");
  EXPECT_TRUE(reply->events[1].mainFrame);
  EXPECT_EQ(reply->events[2].type, ContentProtocol::Event::Type::Alert);
  EXPECT_EQ(reply->events[2].message, "hi");
}

TEST_F(ContentProcessTest, ScriptErrorsAndUnsupportedValuesAreReported) {
  auto process = launch();
  auto reply = process->send(evaluate("null.x"));
  ASSERT_TRUE(reply);
  ASSERT_TRUE(reply->error);
  EXPECT_EQ(reply->error->name, "TypeError");
  reply = process->send(evaluate("var o = {}; o.o = o; o"));
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->unsupported);
  reply = process->send(evaluate("undefined"));
  ASSERT_TRUE(reply);
  EXPECT_FALSE(reply->result);
  EXPECT_EQ(reply->text, "");
  EXPECT_TRUE(process->isAlive());
}

TEST_F(ContentProcessTest, EndlessLoopIsKilledAtTheTimeLimit) {
  auto process = launch(0.3);
  EXPECT_FALSE(process->send(evaluate("while (true) {}")));
  EXPECT_FALSE(process->isAlive());
  EXPECT_EQ(process->terminationReason(), "timed out");
  EXPECT_FALSE(process->send(evaluate("1")));
}

// Many short requests add up: past the budget within the window the process is ended;
// spread out beyond the window, they never are, however many.
TEST_F(ContentProcessTest, TimeBudgetOverASlidingWindowEndsABusyProcess) {
  ContentProcess::Options options;
  options.timeLimit = 30;
  options.timeBudget = 1;
  options.budgetWindow = 10;
  auto idle = ContentProcess::launch(options);
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(idle->send(evaluate("for (var i = 0; i < 100000; i++) {}"))) << i;
    env.advance(10);  // each request leaves the window before the next
  }

  auto busy = ContentProcess::launch(options);
  int served = 0;
  while (busy->send(evaluate("for (var i = 0; i < 2000000; i++) {}"))) {
    ++served;
    env.advance(0.1);
    ASSERT_LT(served, 100);
  }
  EXPECT_EQ(busy->terminationReason(), "over its time budget");
  EXPECT_FALSE(busy->send(evaluate("1")));
}

// A page that exhausts its heap ends its process at once, the same way every run, and no
// machine's speed decides it; a plain script context gets an error and goes on.
TEST_F(ContentProcessTest, EndlessAllocationEndsAPageButNotAContext) {
  for (const char* hog : {"var s = 'x'; while (true) { s = s + s; }",
                          "var a = []; for (var i = 0; ; i++) { try { a.push({i: i, s: 'v' + i}); } catch (e) {} }"}) {
    auto page = launch(30.0, 16u << 20);
    EXPECT_FALSE(page->send(evaluate(hog))) << hog;
    EXPECT_EQ(page->terminationReason(), "out of memory") << hog;
  }

  auto context = launch(30.0, 16u << 20);
  ASSERT_TRUE(context->send({{"op", "context"}}));
  auto reply = context->send(evaluate("var s = 'x'; while (true) { s = s + s; }"));
  ASSERT_TRUE(reply && reply->error);
  EXPECT_EQ(reply->error->message, "alloc failed");
  reply = context->send(evaluate("s = null; 6 * 7"));
  ASSERT_TRUE(reply && reply->result);
  EXPECT_EQ(*reply->result, 42);
}

// Memory outside the script heap is bounded by the process's address-space limit.
TEST_F(ContentProcessTest, AddressSpaceIsLimited) {
  auto process = launch(2.0, 16u << 20);
  ASSERT_TRUE(process->send(evaluate("1")));
  std::ifstream limits("/proc/" + std::to_string(process->pid()) + "/limits");
  std::string line, found;
  while (std::getline(limits, line)) {
    if (line.rfind("Max address space", 0) == 0) found = line;
  }
  const std::string expected = std::to_string(2 * (16u << 20) + ContentProcess::kAddressSpaceOverhead);
  EXPECT_NE(found.find(expected + " " + std::string(20 - expected.size(), ' ') + expected), std::string::npos) << found;
}

TEST_F(ContentProcessTest, PageLoadRunsScriptsInOrderWithLoadEvents) {
  auto process = launch();
  Json load = {{"op", "load"},
               {"documentURL", "https://ads.example.com/page.html"},
               {"bodyStyle", "background-color: #ff0000; height: 50px"},
               {"scripts", Json::array({
                               {{"phase", "end"}, {"text", "console.log('end', document.readyState)"}},
                               {{"phase", "page"},
                                {"text",
                                 "console.log('page', document.readyState, location.href);"
                                 "window.onload = function () { console.log('onload') };"
                                 "document.addEventListener('DOMContentLoaded', function () { console.log('dcl') });"}},
                               {{"phase", "page"}, {"text", "throw new Error('boom')"}},
                               {{"phase", "start"}, {"text", "console.log('start')"}},
                           })}};
  auto reply = process->send(load);
  ASSERT_TRUE(reply);
  std::vector<std::string> log;
  for (const auto& e : reply->events) {
    if (e.type == ContentProtocol::Event::Type::Console) log.push_back(e.message);
    if (e.type == ContentProtocol::Event::Type::ReadyState) log.push_back("state " + e.text);
    if (e.type == ContentProtocol::Event::Type::BackgroundColor) log.push_back("bg " + e.text);
    if (e.type == ContentProtocol::Event::Type::ContentSize)
      log.push_back("height " + std::to_string(e.height.value_or(-1)));
  }
  EXPECT_EQ(log, (std::vector<std::string>{"start", "page loading https://ads.example.com/page.html",
                                           "Uncaught Error: boom", "state interactive", "end interactive", "dcl",
                                           "state complete", "onload", "bg #ff0000", "height 50.000000"}));
}

TEST_F(ContentProcessTest, TimersAreReportedAndFiredByTheHost) {
  auto process = launch();
  auto reply =
      process->send(evaluate("var fired = []; var t = setTimeout(function (x) { fired.push(x); }, 250, 'a');"
                             "var u = setInterval(function () { fired.push('i'); }, 1e12); clearTimeout(u); t"));
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->events.size(), 3u);
  EXPECT_EQ(reply->events[0].type, ContentProtocol::Event::Type::SetTimer);
  EXPECT_DOUBLE_EQ(reply->events[0].delay, 0.25);
  EXPECT_EQ(reply->events[1].type, ContentProtocol::Event::Type::SetTimer);
  EXPECT_TRUE(reply->events[1].repeats);
  EXPECT_DOUBLE_EQ(reply->events[1].delay, 2147483.647);
  EXPECT_EQ(reply->events[2].type, ContentProtocol::Event::Type::ClearTimer);
  const auto timer = reply->events[0].timer;
  ASSERT_TRUE(process->send({{"op", "fireTimer"}, {"timer", timer}}));
  ASSERT_TRUE(process->send({{"op", "fireTimer"}, {"timer", timer}}));  // once only
  reply = process->send(evaluate("fired.join(',')"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply->result, "a");
}

TEST_F(ContentProcessTest, PageTimeFollowsTheHostClock) {
  auto process = launch();
  auto before = process->send(evaluate("Date.now()"));
  env.advance(90);
  auto after = process->send(evaluate("new Date().getTime()"));
  ASSERT_TRUE(before && after);
  EXPECT_DOUBLE_EQ(after->result->get<double>() - before->result->get<double>(), 90000.0);
}

TEST_F(ContentProcessTest, NativeCallsRoundTripAndMayCallBackIn) {
  auto process = launch();
  ASSERT_TRUE(process->send({{"op", "context"}}));
  ASSERT_TRUE(process->send({{"op", "installNative"}, {"name", "native"}}));
  auto reply = process->send(evaluate("function twice(x) { return 2 * x; } twice"));
  ASSERT_TRUE(reply && reply->result);
  const Json twice = *reply->result;
  ASSERT_TRUE(twice.contains(ContentProtocol::kHandleKey));
  std::vector<Json> seen;
  reply = process->send(evaluate("native({a: 1}, 'b') + 1"), [&](const ContentProtocol::NativeCall& call,
                                                                 std::optional<std::string>&) {
    seen.push_back(call.args);
    auto inner =
        process->send({{"op", "call"}, {"handle", twice[ContentProtocol::kHandleKey]}, {"args", Json::array({20})}});
    return inner && inner->result ? *inner->result : Json();
  });
  ASSERT_TRUE(reply && reply->result);
  EXPECT_EQ(*reply->result, 41);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], Json::parse(R"([{"a":1},"b"])"));
  reply = process->send(evaluate("try { native() } catch (e) { e.message }"),
                        [](const ContentProtocol::NativeCall&, std::optional<std::string>& error) {
                          error = "refused";
                          return Json();
                        });
  ASSERT_TRUE(reply && reply->result);
  EXPECT_EQ(*reply->result, "refused");
}

// Requests that do not wait are answered on later turns, one at a time, in the order
// asked; a waiting request first serves those asked before it.
TEST_F(ContentProcessTest, AsyncRequestsAreAnsweredInOrderAndBeforeALaterSyncOne) {
  auto process = launch();
  std::vector<std::string> log;
  auto record = [&](std::optional<ContentProtocol::Reply> reply) {
    log.push_back(reply && reply->result ? reply->result->get<std::string>() : "failed");
  };
  process->sendAsync(evaluate("var seen = ['a']; seen.join()"), {}, record);
  process->sendAsync(evaluate("seen.push('b'); seen.join()"), {}, record);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(process->hasOutstandingRequests());
  auto reply = process->send(evaluate("seen.push('sync'); seen.join()"));
  ASSERT_TRUE(reply && reply->result);
  EXPECT_EQ(*reply->result, "a,b,sync");
  EXPECT_EQ(log, (std::vector<std::string>{"a", "a,b"}));
  EXPECT_FALSE(process->hasOutstandingRequests());

  process->sendAsync(evaluate("seen.push('c'); seen.join()"), {}, record);
  env.runUntilIdle();
  EXPECT_EQ(log.back(), "a,b,sync,c");
}

// A request that overruns ends the process when the loop serves it; what waited behind
// it fails too, and so does a request to the dead process, on a later turn.
TEST_F(ContentProcessTest, AsyncRequestThatOverrunsFailsItAndThoseBehindIt) {
  auto process = launch(0.3);
  std::vector<std::string> log;
  auto record = [&](const std::string& name) {
    return [&log, name](std::optional<ContentProtocol::Reply> reply) {
      log.push_back(name + (reply ? " ok" : " failed"));
    };
  };
  process->sendAsync(evaluate("while (true) {}"), {}, record("loop"));
  process->sendAsync(evaluate("1"), {}, record("next"));
  env.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"loop failed", "next failed"}));
  EXPECT_EQ(process->terminationReason(), "timed out");
  process->sendAsync(evaluate("1"), {}, record("dead"));
  EXPECT_EQ(log.size(), 2u);
  env.runUntilIdle();
  EXPECT_EQ(log.back(), "dead failed");
  EXPECT_FALSE(process->hasOutstandingRequests());
}

// While a process works, the main loop runs what is ready; under virtual time the reply
// comes after it, whatever the machine's speed, and the clock waits for the reply.
TEST_F(ContentProcessTest, AsyncRequestHoldsNoMainQueueWorkAndHoldsTheClock) {
  auto process = launch();
  std::vector<std::string> log;
  process->sendAsync(evaluate("for (var i = 0; i < 300000; i++) {} Date.now()"), {},
                     [&](std::optional<ContentProtocol::Reply> reply) {
                       log.push_back(reply ? "reply at " + std::to_string(env.now()) : "failed");
                     });
  const auto start = env.now();
  DispatchQueue::main()->async([&] { log.push_back("main queue"); });
  DispatchQueue::main()->after(1.0, [&] { log.push_back("after at " + std::to_string(env.now())); });
  env.advance(2);
  EXPECT_EQ(log, (std::vector<std::string>{"main queue", "reply at " + std::to_string(start),
                                           "after at " + std::to_string(start + 1)}));
}

// A native call during a request that does not wait is answered through its handler,
// which may run the main loop meanwhile.
TEST_F(ContentProcessTest, AsyncRequestsAnswerNativeCalls) {
  auto process = launch();
  ASSERT_TRUE(process->send({{"op", "context"}}));
  ASSERT_TRUE(process->send({{"op", "installNative"}, {"name", "native"}}));
  Json result;
  process->sendAsync(
      evaluate("native(20) + 1"),
      [&](const ContentProtocol::NativeCall& call, std::optional<std::string>&) {
        env.runUntilIdle();
        return Json(call.args[0].get<int>() * 2);
      },
      [&](std::optional<ContentProtocol::Reply> reply) {
        if (reply && reply->result) result = *reply->result;
      });
  env.runUntilIdle();
  EXPECT_EQ(result, 41);
  EXPECT_TRUE(process->isAlive());
}

// On the real clock (a host application) the loop reads replies as they come and
// checks deadlines on each pass.
TEST(ContentProcessRealTimeTest, AsyncRepliesAndOverrunsReachTheirCallbacks) {
  testenv::TestEnvironment env({.virtualTime = false});
  ContentProcess::Options options;
  options.timeLimit = 0.3;
  auto process = ContentProcess::launch(options);
  ASSERT_TRUE(process);
  std::vector<std::string> log;
  auto record = [&](std::optional<ContentProtocol::Reply> reply) {
    log.push_back(reply && reply->result ? reply->result->dump() : "failed");
  };
  process->sendAsync({{"op", "evaluate"}, {"script", "for (var i = 0; i < 100000; i++) {} 6 * 7"}}, {}, record);
  process->sendAsync({{"op", "evaluate"}, {"script", "while (true) {}"}}, {}, record);
  ASSERT_TRUE(env.runUntil([&] { return log.size() == 2; }));
  EXPECT_EQ(log, (std::vector<std::string>{"42", "failed"}));
  EXPECT_EQ(process->terminationReason(), "timed out");

  // A reply past the cap ends the process as it is read, not once it is whole.
  options.timeLimit = 30;
  auto talker = ContentProcess::launch(options);
  ASSERT_TRUE(talker);
  talker->sendAsync({{"op", "evaluate"}, {"script", "var big = 'z'; while (big.length < (8 << 20)) big += big; big"}},
                    {}, record);
  ASSERT_TRUE(env.runUntil([&] { return log.size() == 3; }));
  EXPECT_EQ(log.back(), "failed");
  EXPECT_EQ(talker->terminationReason(), "reply too large");
}

// A run that returns after a handled source returns once a reply came, not at its
// deadline: a reply is a source of the main loop as a block or a timer is.
TEST(ContentProcessRealTimeTest, ARunReturningAfterAHandledSourceReturnsAfterAReply) {
  testenv::TestEnvironment env({.virtualTime = false});
  auto process = ContentProcess::launch();
  ASSERT_TRUE(process && process->send({{"op", "evaluate"}, {"script", "1"}}));
  auto& loop = RunLoop::main();
  loop.waitForWork(std::chrono::milliseconds(0));
  std::optional<std::string> answer;
  process->sendAsync({{"op", "evaluate"}, {"script", "6 * 7"}}, {}, [&](std::optional<ContentProtocol::Reply> reply) {
    answer = reply && reply->result ? reply->result->dump() : "failed";
  });
  const TimeInterval deadline = clock().monotonicNow() + 30;
  RunLoop::RunResult result = RunLoop::RunResult::HandledSource;
  // The reply may take more than one pass to read; each pass that handled it returns.
  while (!answer && result == RunLoop::RunResult::HandledSource) {
    result = loop.runMode(kDefaultRunLoopMode, deadline, true);
  }
  EXPECT_EQ(answer, "42");
  EXPECT_EQ(result, RunLoop::RunResult::HandledSource);
}

// A descriptor the host left inheritable (a curl socket, a pipe) must not live on in a
// page's process: a peer would never see it close.
TEST_F(ContentProcessTest, HostDescriptorsDoNotLeakIntoTheProcess) {
  int leaky[2];
  ASSERT_EQ(::pipe(leaky), 0);  // no close-on-exec
  auto process = launch();
  ASSERT_TRUE(process->send(evaluate("1")));  // the process is up and past its start
  std::vector<std::string> open;
  if (DIR* dir = ::opendir(("/proc/" + std::to_string(process->pid()) + "/fd").c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != ".." && name != "0" && name != "1" && name != "2") open.push_back(name);
    }
    ::closedir(dir);
  }
  ::close(leaky[0]);
  ::close(leaky[1]);
  EXPECT_TRUE(open.empty()) << open.size() << " inherited descriptors, e.g. " << open.front();
}

// The time limit bounds a page's work, not the process's start: one slow to start still
// answers its first request, one that never says it is ready or says something else is
// ended with the reason.
TEST_F(ContentProcessTest, AProcessIsTimedFromWhenItIsReady) {
  const std::string real = ContentProcess::executablePath();
  const struct {
    const char* body;
    TimeInterval startLimit;
    const char* ended;  // nullptr: it answers
  } rows[] = {
      {"sleep 1.5; exec \"$REAL\" \"$@\"", 30, nullptr},
      {"exec sleep 30", 0.2, "did not start in time"},
      {"echo hello; exec sleep 30", 30, "protocol error"},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.body);
    const auto script = env.temporaryDirectory() / ("start-" + std::to_string(n++) + ".sh");
    std::ofstream(script) << "#!/bin/sh\nREAL='" << real << "'\n" << row.body << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv("MORVANE_CONTENT_PROCESS", script.c_str(), 1);
    ContentProcess::Options options;
    options.timeLimit = 1.0;
    options.startLimit = row.startLimit;
    auto process = ContentProcess::launch(options);
    unsetenv("MORVANE_CONTENT_PROCESS");
    ASSERT_TRUE(process);
    auto reply = process->send(evaluate("6 * 7"));
    if (!row.ended) {
      ASSERT_TRUE(reply);
      EXPECT_EQ(reply->text, "42");
    } else {
      EXPECT_FALSE(reply);
      EXPECT_FALSE(process->isAlive());
      EXPECT_EQ(process->terminationReason(), row.ended);
    }
  }
}

// A content process that starts only once a byte is written to `gate` (a pipe held open
// both ways, so neither side's open of it waits for the other).
std::unique_ptr<ContentProcess> gatedProcess(testenv::TestEnvironment& env, const ContentProcess::Options& options,
                                             int& gate) {
  const auto fifo = env.temporaryDirectory() / "gate";
  if (::mkfifo(fifo.c_str(), 0600) != 0) return nullptr;
  gate = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  const auto script = env.temporaryDirectory() / "gated.sh";
  std::ofstream(script) << "#!/bin/sh\nread go < '" << fifo.string() << "'\nexec '" << ContentProcess::executablePath()
                        << "' \"$@\"\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  setenv("MORVANE_CONTENT_PROCESS", script.c_str(), 1);
  auto process = ContentProcess::launch(options);
  unsetenv("MORVANE_CONTENT_PROCESS");
  return process;
}

// A request that does not wait never waits for the process's start either: it is written
// once the ready line is found, on a later dispatch. (The process here starts only when
// the test opens its gate, after the request was made.)
TEST_F(ContentProcessTest, AnAsyncRequestDoesNotWaitForTheProcessToStart) {
  ContentProcess::Options options;
  options.startLimit = 30;
  int gate = -1;
  auto process = gatedProcess(env, options, gate);
  ASSERT_TRUE(process);
  std::vector<std::string> log;
  process->sendAsync(evaluate("6 * 7"), {}, [&](std::optional<ContentProtocol::Reply> reply) {
    log.push_back(reply ? reply->text : "failed");
  });
  EXPECT_TRUE(process->isAlive());
  EXPECT_TRUE(process->hasOutstandingRequests());
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(::write(gate, "go\n", 3), 3);
  EXPECT_TRUE(env.runUntil([&] { return !log.empty(); }));
  ::close(gate);
  EXPECT_EQ(log, (std::vector<std::string>{"42"}));
}

// Stands for GLib's context: records what each wait watches, and ends it at once.
class WatchingEventSource : public RunLoopEventSource {
 public:
  bool dispatchReady() override { return false; }
  bool waitAndDispatch(std::chrono::nanoseconds) override { return false; }
  bool waitAndDispatchWatching(std::chrono::nanoseconds limit, const std::vector<int>& descriptors) override {
    limits.push_back(limit);
    watched.push_back(descriptors.size());
    RunLoop::main().wakeUp();
    return false;
  }
  void wakeUp() override {}
  std::vector<std::chrono::nanoseconds> limits;
  std::vector<std::size_t> watched;
};

// On the real clock, with an event source as well, one wait watches the socket of each
// process that owes a reply, until the earliest time one must be looked at: a request's
// time limit, or the start limit of a process not ready yet.
TEST(ContentProcessRealTimeTest, OneWaitWatchesEachProcessOwingAReplyUntilItsDeadline) {
  testenv::TestEnvironment env({.virtualTime = false});
  ContentProcess::Options options;
  options.timeLimit = 30;
  options.startLimit = 50;
  int gate = -1;
  auto starting = gatedProcess(env, options, gate);
  ASSERT_TRUE(starting);
  auto busy = ContentProcess::launch(options);
  ASSERT_TRUE(busy && busy->send({{"op", "evaluate"}, {"script", "1"}}));
  auto source = std::make_shared<WatchingEventSource>();
  auto& loop = RunLoop::main();
  loop.setEventSource(source);
  loop.waitForWork(std::chrono::milliseconds(0));
  starting->sendAsync({{"op", "evaluate"}, {"script", "1"}}, {}, {});
  busy->sendAsync({{"op", "evaluate"}, {"script", "while (true) {}"}}, {}, {});
  loop.waitForWork(std::chrono::hours(1));
  ASSERT_EQ(source->watched.size(), 1u);
  EXPECT_EQ(source->watched.back(), 2u);
  EXPECT_GT(source->limits.back(), std::chrono::seconds(1));
  EXPECT_LE(source->limits.back(), std::chrono::seconds(30));
  // The process still starting is watched until its start limit.
  busy.reset();
  loop.waitForWork(std::chrono::hours(1));
  ASSERT_EQ(source->watched.size(), 2u);
  EXPECT_EQ(source->watched.back(), 1u);
  EXPECT_GT(source->limits.back(), std::chrono::seconds(35));
  loop.setEventSource(nullptr);
  starting.reset();
  ::close(gate);
}

TEST_F(ContentProcessTest, AProcessThatCannotStartIsReported) {
  setenv("MORVANE_CONTENT_PROCESS", "/nonexistent/content-process", 1);
  EXPECT_FALSE(ContentProcess::launch());
  unsetenv("MORVANE_CONTENT_PROCESS");
}

TEST(ContentProtocolTest, HostileMessagesAreRefusedOrCleaned) {
  EXPECT_FALSE(ContentProtocol::decodeMessage("not json"));
  EXPECT_FALSE(ContentProtocol::decodeMessage("[1]"));
  EXPECT_FALSE(ContentProtocol::decodeMessage(R"({"id":"1"})"));
  EXPECT_FALSE(ContentProtocol::decodeMessage(R"({"id":1,"events":{}})"));
  EXPECT_FALSE(ContentProtocol::decodeMessage(R"({"native":{"callId":-1,"name":"x","args":[]}})"));
  auto message = ContentProtocol::decodeMessage(
      R"({"id":3,"events":[{"type":"setTimer","timer":0.5},{"type":"setTimer","timer":2,"delay":-5},)"
      R"({"type":"navigation"},{"type":"bogus"},{"type":"contentSize","width":1e300,"height":20}]})");
  ASSERT_TRUE(message && message->reply);
  const auto& events = message->reply->events;
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].timer, 2);
  EXPECT_EQ(events[0].delay, 0);
  EXPECT_FALSE(events[1].width);
  EXPECT_EQ(events[1].height, 20);
}

}  // namespace
}  // namespace platform
