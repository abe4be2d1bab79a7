#include "sdk/telemetry/ZUMFennick.h"

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/network/ZUMVersionedCache.h"
#include "sdk/telemetry/ZUMFennickCommandExecutors.h"
#include "sdk/telemetry/ZUMFennickConfig.h"

std::shared_ptr<ZUMFennick> ZUMFennick::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMFennick>([] {
    auto fennick = create();
    fennick->updateIfNeeded();
    return fennick;
  });
  return shared->get();
}

std::shared_ptr<ZUMFennick> ZUMFennick::create() { return std::shared_ptr<ZUMFennick>(new ZUMFennick()); }

ZUMFennick::ZUMFennick() : appUniqueID_(ZUMApplication::sharedInstance()->UUIDString()) {}

void ZUMFennick::updateIfNeeded() {
  std::shared_ptr<ZUMVersionedCache> cache;
  std::optional<ZUMFennickConfig> config;
  {
    std::lock_guard lock(mutex_);
    if (commandExecutor_ || isUpdating_) return;
    config = ZUMFennickConfig::fromUserDefaults();
    if (!config || !config->scriptURL) return;
    if (!versionedCache_) versionedCache_ = ZUMVersionedCache::create(kZUMFennickScriptCacheID);
    cache = versionedCache_;
    isUpdating_ = true;
  }
  std::weak_ptr<ZUMVersionedCache> weakCache = cache;
  cache->updateWithURL(*config->scriptURL, config->version.value_or(""),
                       [weakSelf = weak_from_this(), weakCache, config = *config](platform::ErrorPtr error) {
                         auto self = weakSelf.lock();
                         if (!self) return;
                         if (error && error->localizedDescription() != "Cache version hasn't changed.") {
                           ZUMLog(kZUMLogLevelDefault,
                                  "Fennick: the script's download failed: " + error->localizedDescription());
                         }
                         auto cached = weakCache.lock();
                         auto script = cached ? cached->cacheData() : std::nullopt;
                         if (script && !script->empty() && platform::PercentEncoding::isValidUTF8(*script)) {
                           self->updateCommandExecutorWithConfig(config, *script);
                         } else {
                           if (script) ZUMLog(kZUMLogLevelDefault, "Fennick: the cached script is not text.");
                           self->resetUpdateCheckingState();
                         }
                       });
}

void ZUMFennick::updateCommandExecutorWithConfig(const ZUMFennickConfig& config, const std::string& script) {
  platform::assertMainThread();
  std::shared_ptr<ZUMFennickCommandExecuting> engine;
  if (config.useJSCore) {
    engine = ZUMFennickJSCoreCommandExecutor::create(script);
  } else {
    engine = ZUMFennickAdViewCommandExecutor::create(script, config.baseURL);
  }
  if (!engine) {
    resetUpdateCheckingState();
    return;
  }
  auto executor = ZUMFennickTimerCommandExecutor::create(std::move(engine), config.beaconInterval);
  std::lock_guard lock(mutex_);
  commandExecutor_ = std::move(executor);
  isUpdating_ = false;
}

void ZUMFennick::resetUpdateCheckingState() {
  std::lock_guard lock(mutex_);
  isUpdating_ = false;
}

bool ZUMFennick::isLoaded() const {
  auto executor = commandExecutor();
  return executor && executor->isLoaded();
}

void ZUMFennick::asynchronouslyExecuteCommands(const nlohmann::ordered_json& commands) {
  if (auto executor = commandExecutor()) executor->asynchronouslyExecuteCommands(commands);
}

std::string ZUMFennick::nextUniqueID() {
  std::lock_guard lock(mutex_);
  return appUniqueID_ + ":" + std::to_string(++fennickID_);
}

std::shared_ptr<ZUMFennickCommandExecuting> ZUMFennick::commandExecutor() const {
  std::lock_guard lock(mutex_);
  return commandExecutor_;
}

bool ZUMFennick::isUpdating() const {
  std::lock_guard lock(mutex_);
  return isUpdating_;
}
