#include "sdk/sdkcore/ZUMTCacheURLLoader.h"

#include <filesystem>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/network/ZUMTCacheURL.h"
#include "sdk/request/ZUMErrors.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"
#include "sdk/sdkcore/ZUMSDKCoreWebView.h"

namespace {

// The file the page names, when it lies inside the SDK's cache folder.
std::optional<platform::URL> fileInCacheFolder(const std::optional<nlohmann::ordered_json>& result) {
  if (!result) return std::nullopt;
  const auto text = ZUMStringForKey(*result, "fileurl");
  const auto url = text ? platform::URL::fromString(*text) : std::nullopt;
  const auto folder = ZUMCacheDirectoryURL(std::nullopt, nullptr);
  if (!url || !url->isFileURL() || !url->path() || !folder || !folder->path()) return std::nullopt;
  std::error_code ignored;
  const auto root = std::filesystem::weakly_canonical(*folder->path(), ignored);
  const auto relative = std::filesystem::weakly_canonical(*url->path(), ignored).lexically_relative(root);
  if (relative.empty() || *relative.begin() == ".." || relative == ".") return std::nullopt;
  return url;
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
    auto error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Provided URL " + text + " isn't a valid tcache URL.");
    platform::DispatchQueue::main()->async([completion, tcacheURL, error] { completion(tcacheURL, nullptr, error); });
    return;
  }
  const nlohmann::ordered_json parameters{{"tcache_url", text}, {"environment", nlohmann::ordered_json::object()}};
  std::weak_ptr<ZUMSDKCoreController> weakController = controller;
  controller->executeExportedJavaScriptCommand(
      "QYRA_TCache", parameters,
      [completion, tcacheURL, inner, text, weakController](const std::optional<nlohmann::ordered_json>& result,
                                                         const platform::ErrorPtr& error) {
        if (error) return completion(tcacheURL, nullptr, error);
        const auto file = fileInCacheFolder(result);
        if (!file) {
          return completion(tcacheURL, nullptr,
                            ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to load tcache URL " + text));
        }
        std::shared_ptr<ZUMResourceCache> cache;
        if (auto controller = weakController.lock()) {
          auto webView = controller->activeSDKCoreWebView();
          if (webView && webView->SDKCoreTOLMHandler()) cache = webView->SDKCoreTOLMHandler()->resourceCacheForFileURL(*file);
        }
        if (!cache) cache = ZUMResourceCache::create(platform::URLRequest(*inner), *file, false);
        completion(tcacheURL, cache, nullptr);
      });
}
