// The environment every test runs in: a virtual clock, the deterministic executor, the
// calling thread bound as the main thread, and its own folders (Caches, temporary,
// Documents) and user-defaults file under a fresh directory that is removed afterwards
// (in a death test's child, which dies before its teardown, by the parent's teardown).
// Its teardown first stops and joins the platform threads still running
// (platform/base/Thread.h).
//
//   testenv::TestEnvironment env;
//   timer->...;
//   env.advance(60s);         // fires everything due in the next 60 s, in order
//   env.runUntilIdle();       // runs what is ready now, without moving time
//
// Before and after each test it runs every reset registered with
// platform/base/TestingReset.h, so process-wide state never crosses from one test to the next.
//
// Tests that wait on real I/O (a loopback server, a content process) use runUntil(),
// whose real-time limit is kRealLimit; nothing in a test sleeps.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "platform/base/Clock.h"
#include "platform/base/Executor.h"
#include "platform/base/MainLoopDriver.h"

namespace testenv {

// The one bound of every wait of a test for real work (runUntil's, a thread's, a child
// process's): far above any load, so a slow machine never fails a test that passes.
// Waits end as soon as their condition holds; only a failing test waits this long.
inline constexpr std::chrono::milliseconds kRealLimit = platform::MainLoopDriver::kDefaultRealLimit;

struct Options {
  platform::ExecutorKind executor = platform::ExecutorKind::Deterministic;
  // A virtual clock; false keeps the system clock (threaded stress tests).
  bool virtualTime = true;
};

class TestEnvironment {
 public:
  explicit TestEnvironment(Options options = {});
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  // The main loop's driver (platform/base/MainLoopDriver.h), on the test's clock.
  // Runs the main loop in the default mode until `seconds` of virtual time have
  // passed, firing every timer and delayed block that falls due, in order.
  void advance(platform::TimeInterval seconds);
  // The same for a std::chrono duration, which new tests use: env.advance(60s),
  // env.advance(1500ms).
  template <class Rep, class Period>
  void advance(std::chrono::duration<Rep, Period> duration) {
    advance(std::chrono::duration<platform::TimeInterval>(duration).count());
  }
  // Runs everything that is ready now (main queue, other queues, due timers), repeatedly,
  // until nothing is left, without moving time.
  void runUntilIdle();
  // Runs ready work and waits for work from other threads until `done()` holds or the
  // real-time limit passes. Returns done().
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds realLimit = kRealLimit);

  platform::VirtualClock& clock();
  platform::TimeInterval now() const;  // monotonic

  // The per-test directory holding Library/Caches, tmp, Documents and the defaults file.
  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path cachesDirectory() const { return root_ / "Library" / "Caches"; }
  std::filesystem::path temporaryDirectory() const { return root_ / "tmp"; }
  std::filesystem::path documentsDirectory() const { return root_ / "Documents"; }
  std::filesystem::path userDefaultsFile() const { return root_ / "Library" / "Preferences" / "defaults.json"; }

 private:
  Options options_;
  std::shared_ptr<platform::VirtualClock> clock_;
  std::filesystem::path root_;
};

// A GoogleTest fixture that owns a TestEnvironment.
class PlatformTest : public ::testing::Test {
 protected:
  TestEnvironment env;
};

}  // namespace testenv
