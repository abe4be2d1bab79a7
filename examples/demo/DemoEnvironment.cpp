#include "DemoEnvironment.h"

#include <cerrno>
#include <stdexcept>
#include <stdlib.h>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/base/Clock.h"
#include "platform/base/Executor.h"
#include "platform/base/FileManager.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Application.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Bundle.h"

namespace {

std::filesystem::path makeRoot() { return platform::FileManager::makeUniqueSystemTemporaryDirectory("morvane-demo-"); }

}  // namespace

DemoEnvironment::DemoEnvironment() : root_(makeRoot()), clock_(std::make_shared<platform::VirtualClock>()) {
  platform::bindMainThread();
  // Chosen before any block is queued.
  platform::setExecutorKind(platform::ExecutorKind::Deterministic);
  platform::setClock(clock_);
  start_ = clock_->monotonicNow();

  const auto defaultsFile = root_ / "Library" / "Preferences" / "defaults.json";
  std::filesystem::create_directories(defaultsFile.parent_path());
  platform::FileManager::setApplicationHome(root_);
  platform::UserDefaults::setStandardFile(defaultsFile);
  if (!platform::Bundle::main().setInfoDictionary({{"CFBundleIdentifier", "com.example.morvane-demo"},
                                                   {"CFBundleShortVersionString", "1.0"},
                                                   {"CFBundleVersion", "1"}})) {
    throw std::runtime_error("the demo's bundle information was refused");
  }
  platform::URLLoading::setLoopbackOnlyForTesting(true);
}

DemoEnvironment::~DemoEnvironment() {
  platform::URLLoading::removeHostMappingsForTesting();
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

void DemoEnvironment::routeHosts(const std::vector<std::string>& hosts, int port) {
  for (const auto& host : hosts) platform::URLLoading::mapHostForTesting(host, "127.0.0.1", port);
}

void DemoEnvironment::launch() {
  platform::registerPlatformClasses();
  platform::Application::shared().finishLaunching(std::make_shared<platform::ApplicationDelegate>());
}

bool DemoEnvironment::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realLimit) {
  const auto end = std::chrono::steady_clock::now() + realLimit;
  auto& loop = platform::RunLoop::main();
  for (;;) {
    platform::MainLoopDriver::runUntilIdle();
    if (done() || std::chrono::steady_clock::now() >= end) return done();
    // A page still loading or answering (on WebKit) is work in flight too.
    if (loop.waitForWork(kQuietPeriod) || loop.eventSourceBusy()) continue;
    if (const auto next = loop.nextFireDate(platform::kDefaultRunLoopMode)) {
      platform::MainLoopDriver::advance(*next - clock_->monotonicNow());
    }
  }
}

double DemoEnvironment::elapsed() const { return clock_->monotonicNow() - start_; }
