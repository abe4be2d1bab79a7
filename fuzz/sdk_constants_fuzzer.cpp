// SDK constants of any shape, as the SDK-core page's "loadSdkConstants" could deliver
// them. The input, read as JSON, is the constants dictionary; input that is not JSON
// becomes "key=value" lines. Nothing crashes, every delivery completes (the handled
// mark and the notification), and the completion time-out given to the controller is
// always a usable number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/request/ZUMSDKConstants.h"

using json = nlohmann::ordered_json;

namespace {

json constantsFromLines(std::string_view text) {
  json constants = json::object();
  for (auto& [name, value] : fuzzenv::pairsFromLines(text, '=', false)) constants[name] = std::move(value);
  return constants;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("sdk-constants-fuzzer");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  json input = json::parse(text, nullptr, false);
  if (input.is_discarded()) input = constantsFromLines(text);

  int handled = 0;
  int notified = 0;
  double timeout = -1;
  ZUMSDKConstantsTargets targets;
  targets.setJavaScriptCompletionTimeout = [&](double seconds) { timeout = seconds; };
  targets.setActiveViewSamplingInterval = [](double seconds) { fuzzenv::check(std::isfinite(seconds) && seconds > 0); };
  targets.setActiveViewUnloadCacheMaxSize = [](std::int64_t size) { fuzzenv::check(size >= 1); };
  targets.didHandleUpdate = [&] { ++handled; };
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMSDKCoreDidUpdateConstantsNotification, nullptr, nullptr, [&](const platform::Notification&) { ++notified; });
  ZUMApplySDKConstants(input, targets);
  fuzzenv::drainMainLoop();
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  fuzzenv::check(handled == 1 && notified == 1);
  fuzzenv::check(std::isfinite(timeout) && timeout > 0 && timeout <= kZUMMaxJavaScriptCompletionTimeout);
  return 0;
}
