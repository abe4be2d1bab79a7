#include "testing/TestEnvironment.h"

#include <stdlib.h>
#include <system_error>

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

std::filesystem::path makeRoot() { return platform::FileManager::makeUniqueSystemTemporaryDirectory("morvane-test-"); }

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
