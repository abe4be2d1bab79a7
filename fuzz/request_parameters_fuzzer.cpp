// Ad requests rebuilt from parameter dictionaries of any shape: the input, read as JSON
// (or, when it is not, a dictionary made from its text), becomes the parameters a
// request is rebuilt from. Nothing crashes, and a request rebuilt from the parameters of
// a rebuilt request gives the same parameters again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "PXRRequest.h"
#include "ZUMRequest.h"
#include "platform/base/Clock.h"
#include "platform/base/Executor.h"
#include "platform/base/FileManager.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"

using json = nlohmann::ordered_json;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// This thread is the main thread, every queue runs on it, time stands still, and files
// go to a folder of this run.
void setUpOnce() {
  static const bool done = [] {
    const auto home = std::filesystem::temp_directory_path() / "morvane-request-fuzzer";
    std::filesystem::create_directories(home / "Library" / "Preferences");
    platform::FileManager::setApplicationHome(home);
    platform::UserDefaults::setStandardFile(home / "Library" / "Preferences" / "defaults.json");
    platform::bindMainThread();
    platform::setExecutorKind(platform::ExecutorKind::Deterministic);
    platform::setClock(std::make_shared<platform::VirtualClock>());
    return true;
  }();
  (void)done;
}

void drainMainLoop() {
  while (platform::RunLoop::main().runPending(platform::kDefaultRunLoopMode)) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  setUpOnce();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  json input = json::parse(text, nullptr, false);
  if (input.is_discarded()) input = json{{"cust_age", std::string(text)}, {"ppid", std::string(text)}};

  // Through both entry points, so the class named in the input and the receiver differ.
  for (int entry = 0; entry < 2; ++entry) {
    auto request = entry == 0 ? ZUMRequest::createWithParameters(input) : PXRRequest::createWithParameters(input);
    check(request != nullptr);
    const json first = request->threadSafeParameters();
    auto rebuilt = ZUMRequest::createWithParameters(first);
    check(rebuilt->className() == request->className());
    const json second = rebuilt->threadSafeParameters();
    check(second == ZUMRequest::createWithParameters(second)->threadSafeParameters());
    check(first == second);
    // Copies give the same parameters, and every other entry point takes any input.
    check(request->copy()->threadSafeParameters() == first);
    (void)request->description();
    (void)request->cacheable();
    (void)request->networkExtrasAdditionalParameters();
  }
  drainMainLoop();
  return 0;
}
