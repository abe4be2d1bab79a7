#include "testing/TestEnvironment.h"

#include <stdlib.h>
#include <string>
#include <system_error>
#include <unistd.h>

#include "platform/base/FileManager.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/base/Random.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/base/Thread.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"

namespace testenv {

namespace {

constexpr const char* kRootPrefix = "morvane-test-";

// The folder of the roots of process `parent`'s death-test children. Such a child runs the
// test again from its start and dies before its teardown, so the parent removes the
// folder at its own; the folders of other processes carry their own ids.
std::filesystem::path deathTestChildrenFolder(pid_t parent) {
  return platform::FileManager::systemTemporaryDirectory() / (kRootPrefix + std::to_string(parent) + "-death-tests");
}

std::filesystem::path makeRoot() {
  // Set in the child that a death test starts, for the test and statement it runs.
  if (GTEST_FLAG_GET(internal_run_death_test).empty()) {
    return platform::FileManager::makeUniqueSystemTemporaryDirectory(kRootPrefix);
  }
  const auto folder = deathTestChildrenFolder(getppid());
  std::filesystem::create_directories(folder);
  return platform::FileManager::makeUniqueDirectory(folder, "");
}

}  // namespace

TestEnvironment::TestEnvironment(Options options) : options_(options), root_(makeRoot()) {
  // Whatever an earlier test (or one without an environment) left behind goes first.
  platform::runTestingResets();
  for (const auto& dir :
       {cachesDirectory(), temporaryDirectory(), documentsDirectory(), userDefaultsFile().parent_path()}) {
    std::filesystem::create_directories(dir);
  }
  platform::FileManager::setApplicationHome(root_);
  platform::UserDefaults::setStandardFile(userDefaultsFile());
  platform::Random::seed(0x5EED);
  // No test reaches any address but this machine's loopback.
  platform::URLLoading::setLoopbackOnlyForTesting(true);
  platform::URLLoading::removeHostMappingsForTesting();
  platform::URLLoading::setOffline(false);
  platform::bindMainThread();
  platform::setExecutorKind(options_.executor);
  platform::detail::resetExecutorForTesting();
  platform::RunLoop::main().resetForTesting();
  if (options_.virtualTime) {
    clock_ = std::make_shared<platform::VirtualClock>();
    platform::setClock(clock_);
  } else {
    platform::setClock(nullptr);
  }
}

TestEnvironment::~TestEnvironment() {
  // No thread of the test runs on into the resets, the next test or the process's exit.
  platform::Thread::stopAndJoinAll();
  // Singletons, flags and hooks go while the test's clock and folders still stand, so no
  // hook outlives the locals it captured.
  platform::runTestingResets();
  platform::RunLoop::main().resetForTesting();
  platform::detail::resetExecutorForTesting();
  platform::setClock(nullptr);
  platform::FileManager::setApplicationHome({});
  platform::UserDefaults::setStandardFile({});
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
  std::filesystem::remove_all(deathTestChildrenFolder(getpid()), ec);
}

void TestEnvironment::advance(platform::TimeInterval seconds) { platform::MainLoopDriver::advance(seconds); }

void TestEnvironment::runUntilIdle() { platform::MainLoopDriver::runUntilIdle(); }

bool TestEnvironment::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realLimit) {
  return platform::MainLoopDriver::runUntil(done, realLimit);
}

platform::VirtualClock& TestEnvironment::clock() {
  if (!clock_) throw std::logic_error("TestEnvironment runs on the system clock");
  return *clock_;
}

platform::TimeInterval TestEnvironment::now() const { return platform::clock().monotonicNow(); }

}  // namespace testenv
