// One message of the SDK-core page through its message handler and the controller:
// the first byte picks the message, the rest is its query as the page wrote it, so the
// JSON parameters ("fetched_ad", "http_request", "headers", "appSettingsJson",
// "result") and every other value arrive hostile. Never crashes; the page's replies are
// well-formed calls and never pile up past the script queue's cap; the saved state
// stays within its bound. The network is off: nothing leaves the process.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/net/URLRequest.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"

namespace {

constexpr const char* kMessages[] = {"loadAdURL",        "loadAd",        "invalidRequest",     "loadSdkConstants",
                                     "fetchHttpRequest", "requestReload", "appSettingsFetched", "saveState",
                                     "result",           "cacheResource", "removeResource",     "resourceStatusCheck",
                                     "sdkCoreRefresh"};  // not "cleanupCacheDirectory": it only deletes

bool wellFormed(const std::string& command) {
  const bool known = command.starts_with("QYRA_ReceiveMessage('fetchHttpRequestCompleted', {") ||
                     command.starts_with("QYRA_resourceCache({");
  return known && (command.ends_with("});") || command.ends_with("})"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("sdk_core_messages_fuzzer");
  static auto* controller = [] {
    platform::URLLoading::setOffline(true);
    return new std::shared_ptr<ZUMSDKCorePageController>(ZUMSDKCorePageController::create());
  }();
  if (size == 0) return 0;
  auto webView = (*controller)->activeSDKCoreWebView();
  const std::string name = kMessages[data[0] % std::size(kMessages)];
  const std::string query(reinterpret_cast<const char*>(data + 1), size - 1);
  auto url = platform::URL::fromString("tolm://sdkcore/" + name + "?" + query);
  if (!url) return 0;
  webView->SDKCoreTOLMHandler()->handleRequest(platform::URLRequest(*url), webView->adView());
  fuzzenv::drainMainLoop();

  const auto commands = webView->pendingJavaScriptCommands();
  fuzzenv::check(commands.size() <= kZUMSDKCoreMaxPendingCommands);
  for (const auto& command : commands) fuzzenv::check(wellFormed(command));
  if (auto saved = platform::UserDefaults::standard().objectForKey(kZUMSDKCoreStateKey)) {
    fuzzenv::check(saved->dump().size() <= kZUMSDKCoreMaxSavedStateBytes);
  }
  return 0;
}
