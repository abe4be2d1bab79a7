#include "sdk/sdkcore/ZUMTCacheURLLoader.h"

#include <filesystem>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/network/ZUMTCacheURL.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"
#include "sdk/sdkcore/ZUMSDKCoreWebView.h"

namespace {

// The file the page names, when it lies inside the SDK's cache folder.
std::optional<platform::URL> fileInCacheFolder(const std::optional<nlohmann::ordered_json>& result) {
  if (!result) return std::nullopt;
  const auto text = ZUMStringForKey(*result, "fileurl");
  const auto url = text ? platform::URL::fromString(*text) : std::nullopt;
  if (!url || !ZUMPathInsideCacheDirectory(*url)) return std::nullopt;
  return url;
}

// The SDK-core message handler's download of `file`: the running one, or, when the page's
// answer came after its end, the ended one, which reports what it cached. nullptr when
// the handler knows of none: the file's bytes could then be anything.
std::shared_ptr<ZUMResourceCache> downloadOfFile(const std::shared_ptr<ZUMSDKCoreController>& controller,
                                                 const platform::URL& file) {
  auto webView = controller ? controller->activeSDKCoreWebView() : nullptr;
  auto handler = webView ? webView->SDKCoreTOLMHandler() : nullptr;
  if (!handler) return nullptr;
  if (auto running = handler->resourceCacheForFileURL(file)) return running;
  return handler->endedResourceCacheForFileURL(file);
}

}  // namespace

std::shared_ptr<ZUMTCacheURLLoader> ZUMTCacheURLLoader::create() {
  return std::shared_ptr<ZUMTCacheURLLoader>(new ZUMTCacheURLLoader());
}

void ZUMTCacheURLLoader::loadTCacheURL(const std::optional<platform::URL>& tcacheURL, Completion completion) {
  if (!completion) completion = [](const auto&, const auto&, const auto&) {};
  const auto inner = ZUMURLFromTCacheURL(tcacheURL);
  auto controller = ZUMSDKCoreController::sharedInstance();
  const std::string text = tcacheURL ? tcacheURL->absoluteString() : std::string("(null)");
  if (!inner || !controller) {
    auto error =
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Provided URL " + text + " isn't a valid tcache URL.");
    platform::DispatchQueue::main()->async([completion, tcacheURL, error] { completion(tcacheURL, nullptr, error); });
    return;
  }
  const nlohmann::ordered_json parameters{{"tcache_url", text}, {"environment", nlohmann::ordered_json::object()}};
  std::weak_ptr<ZUMSDKCoreController> weakController = controller;
  controller->executeExportedJavaScriptCommand(
      "QYRA_TCache", parameters,
      [completion, tcacheURL, text, weakController](const std::optional<nlohmann::ordered_json>& result,
                                                    const platform::ErrorPtr& error) {
        if (error) return completion(tcacheURL, nullptr, error);
        const auto file = fileInCacheFolder(result);
        const auto cache = file ? downloadOfFile(weakController.lock(), *file) : nullptr;
        if (!cache || !cache->isValid()) {
          return completion(tcacheURL, nullptr,
                            ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to load tcache URL " + text));
        }
        completion(tcacheURL, cache, nullptr);
      });
}
