#include "sdk/sdkcore/ZUMTCacheTOLMHandler.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/base/URL.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/network/ZUMTCacheURL.h"
#include "sdk/sdkcore/ZUMTCacheURLLoader.h"

std::shared_ptr<ZUMTCacheTOLMHandler> ZUMTCacheTOLMHandler::create() {
  return std::shared_ptr<ZUMTCacheTOLMHandler>(new ZUMTCacheTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMTCacheTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"tcache", action(&ZUMTCacheTOLMHandler::tcache)}};
  return table;
}

const ZUMTOLMHandler::ActionTable* ZUMTCacheTOLMHandler::subActionBlockDictionary() const {
  static const auto* table = new ActionTable{{"start_cache", action(&ZUMTCacheTOLMHandler::startCache)}};
  return table;
}

void ZUMTCacheTOLMHandler::tcache(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  runSubAction("action", adView, parameters);
}

void ZUMTCacheTOLMHandler::startCache(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "url");
  if (!ZUMURLFromTCacheURL(url)) {
    ZUMLogger::sharedInstance()->logPublicMessage("tcache start_cache dropped: \"url\" is not a tcache URL.");
    return;
  }
  auto loader = ZUMTCacheURLLoader::create();
  loaders_.push_back(loader);
  std::weak_ptr<ZUMTCacheTOLMHandler> weak = weak_from_this();
  std::weak_ptr<ZUMTCacheURLLoader> weakLoader = loader;
  loader->loadTCacheURL(url, [weak, weakLoader](const auto&, const auto&, const auto&) {
    auto self = weak.lock();
    auto done = weakLoader.lock();
    if (self && done) std::erase(self->loaders_, done);
  });
}
