// The handler of an ad page's "tcache" message: with "action" "start_cache" it starts
// caching the resource of the tcache URL in "url" through the SDK-core page, so that a
// later load of that URL finds it cached. It keeps each loader until it completes.
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMTCacheURLLoader;

class ZUMTCacheTOLMHandler final : public ZUMTOLMHandler, public std::enable_shared_from_this<ZUMTCacheTOLMHandler> {
 public:
  static std::shared_ptr<ZUMTCacheTOLMHandler> create();

  const ActionTable* actionBlockDictionary() const override;
  const ActionTable* subActionBlockDictionary() const override;
  std::size_t runningLoaderCount() const { return loaders_.size(); }

 private:
  ZUMTCacheTOLMHandler() = default;
  void tcache(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void startCache(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  std::vector<std::shared_ptr<ZUMTCacheURLLoader>> loaders_;
};
