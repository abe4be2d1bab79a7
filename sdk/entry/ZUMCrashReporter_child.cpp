// Run by ZUMCrashReporter_crash_test.cpp: a small host that loads the SDK over the defaults
// file and the ping server the parent gives, launches, and dies of an uncaught exception.
//
//   sdk_crash_reporter_child <mode> <defaults file> <ping port> <resource folder> <output file>
// Modes: sdk (an unrelated reason, raised inside an SDK function), host (host code only),
// opted-out (as sdk, after the host's opt-out), pinger-queue (an SDK reason raised on the
// pinger's own queue while it runs). The host's own handler writes to the output file.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Executor.h"
#include "platform/base/UncaughtExceptionHandler.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Application.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Bundle.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/network/ZUMPinger.h"

namespace {

std::string gMode;
std::string gOutput;

void hostHandler(const platform::Exception& exception) {
  if (FILE* file = std::fopen(gOutput.c_str(), "a")) {
    std::fprintf(file, "host handler: %s\n", exception.name().c_str());
    std::fclose(file);
  }
}

void crash() {
  if (gMode == "host") platform::Exception::raise("HostException", "index 3 beyond bounds");
  if (gMode == "pinger-queue") {
    ZUMPinger::sharedInstance()->queue()->async(
        [] { platform::Exception::raise("PingerException", "ZUMPinger broke at 0x7ffe4c0"); });
    return;
  }
  ZUMRunOnMainThread([] { platform::Exception::raise("HostException", "index 3 beyond bounds"); });
}

// Crashes once the SDK's early start has run.
void crashWhenStarted() {
  if (!ZUMApplication::sharedInstance()->hasRunEarlyActivities()) {
    platform::DispatchQueue::main()->after(0.01, &crashWhenStarted);
    return;
  }
  crash();
}

class Delegate final : public platform::ApplicationDelegate {
 public:
  bool applicationDidFinishLaunching(platform::Application&) override {
    platform::DispatchQueue::main()->async(&crashWhenStarted);
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) return 2;
  gMode = argv[1];
  gOutput = argv[5];
  platform::setExecutorKind(platform::ExecutorKind::Threaded);
  platform::UserDefaults::setStandardFile(argv[2]);
  platform::URLLoading::mapHostForTesting("pings.adnetwork.example", "127.0.0.1", std::atoi(argv[3]));
  platform::Bundle::main().setResourcePath(argv[4]);
  platform::Bundle::main().setObjectForInfoDictionaryKey("CFBundleIdentifier", "com.example.crashhost");
  platform::setUncaughtExceptionHandler(&hostHandler);
  ZUMMobileAds::load();
  if (gMode == "opted-out") ZUMMobileAds::sharedInstance()->disableAutomatedCrashReporting();
  return platform::applicationMain(std::make_shared<Delegate>());
}
