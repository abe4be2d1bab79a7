#include "sdk/telemetry/ZUMFennickLogger.h"

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "sdk/telemetry/ZUMBufferedFennickLogger.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickConfig.h"

namespace {

using Json = nlohmann::ordered_json;

Json objectOrEmpty(Json value) { return value.is_object() ? std::move(value) : Json::object(); }

}  // namespace

std::shared_ptr<ZUMFennickLogger> ZUMFennickLogger::create() {
  auto config = ZUMFennickConfig::fromUserDefaults();
  if (!config || !config->enabled) return nullptr;
  auto buffer = ZUMBufferedFennickLogger::create();
  if (!buffer) return nullptr;
  buffer->bufferEvent(Json{{"fennick", {{"created", {{"js_config", config->JSConfig}}}}}});
  return std::shared_ptr<ZUMFennickLogger>(new ZUMFennickLogger(ZUMFennick::sharedInstance(), std::move(buffer)));
}

ZUMFennickLogger::ZUMFennickLogger(std::shared_ptr<ZUMFennick> fennick,
                                   std::shared_ptr<ZUMBufferedFennickLogger> buffer)
    : fennick_(fennick), fennickID_(fennick->nextUniqueID()), bufferedLogger_(std::move(buffer)) {}

ZUMFennickLogger::~ZUMFennickLogger() {
  // Sent whether or not the script is ready: the service drops it without an executor.
  auto fennick = fennick_.lock();
  if (!fennick) return;
  if (auto finish = ZUMFennickCommand(fennickID_, Json{{"fennick", {{"finish", 1}}}})) {
    fennick->asynchronouslyExecuteCommands(Json::array({std::move(*finish)}));
  }
}

void ZUMFennickLogger::reportEvent(const Json& event) {
  auto fennick = fennick_.lock();
  if (!fennick) return;
  std::lock_guard lock(mutex_);
  if (fennick->isLoaded()) {
    sendFirstCommands(*fennick);
  } else if (bufferedLogger_) {
    bufferedLogger_->bufferEvent(event);
    return;
  }
  // After the flush events go straight to the service, which holds or drops them.
  if (auto command = ZUMFennickCommand(fennickID_, event)) executeFennickCommand(*fennick, std::move(*command));
}

void ZUMFennickLogger::reportBufferedParameters(const Json& commands) {
  auto fennick = fennick_.lock();
  if (!fennick || !commands.is_array() || commands.empty()) return;
  std::lock_guard lock(mutex_);
  if (fennick->isLoaded()) {
    sendFirstCommands(*fennick);
  } else if (bufferedLogger_) {
    bufferedLogger_->bufferParameters(commands);
    return;
  }
  sendBuffered(*fennick, commands);
}

void ZUMFennickLogger::sendFirstCommands(ZUMFennick& fennick) {
  if (!environmentReported_) reportEnvironment(fennick);
  if (!experimentIDsReported_) reportExperimentIDs(fennick);
  if (!bufferedLogger_) return;
  // Dropped for good: later events are sent as they come.
  const Json buffered = std::exchange(bufferedLogger_, nullptr)->takeCommands();
  if (!buffered.empty()) sendBuffered(fennick, buffered);
}

void ZUMFennickLogger::reportEnvironment(ZUMFennick& fennick) {
  Json environment = Json::object();
  environment["device"] = objectOrEmpty(ZUMDevice::sharedInstance()->parameters());
  environment["network"] = objectOrEmpty(ZUMNetwork::sharedInstance()->requestDictionary());
  environment["sdk_version"] = ZUMRequest::sdkVersion();
  auto command = ZUMFennickCommand(fennickID_, Json{{"env", std::move(environment)}});
  if (!command) return;
  executeFennickCommand(fennick, std::move(*command));
  environmentReported_ = true;
}

void ZUMFennickLogger::reportExperimentIDs(ZUMFennick& fennick) {
  // Absent now: tried again with the next event.
  auto experiments = platform::UserDefaults::standard().objectForKey(kZUMExperimentIDStringKey);
  if (!experiments) return;
  auto command = ZUMFennickCommand(fennickID_, Json{{"experiments", std::move(*experiments)}});
  if (!command) return;
  executeFennickCommand(fennick, std::move(*command));
  experimentIDsReported_ = true;
}

void ZUMFennickLogger::executeFennickCommand(ZUMFennick& fennick, Json command) {
  Json list = Json::array();
  list.push_back(std::move(command));
  fennick.asynchronouslyExecuteCommands(list);
}

void ZUMFennickLogger::sendBuffered(ZUMFennick& fennick, const Json& commands) {
  Json list = commands;
  for (auto& command : list) {
    if (command.is_object()) command["id"] = fennickID_;
  }
  fennick.asynchronouslyExecuteCommands(list);
}

bool ZUMFennickLogger::environmentReported() const {
  std::lock_guard lock(mutex_);
  return environmentReported_;
}

bool ZUMFennickLogger::experimentIDsReported() const {
  std::lock_guard lock(mutex_);
  return experimentIDsReported_;
}

std::shared_ptr<ZUMBufferedFennickLogger> ZUMFennickLogger::bufferedLogger() const {
  std::lock_guard lock(mutex_);
  return bufferedLogger_;
}
