#include "sdk/telemetry/ZUMBufferedFennickLogger.h"

#include "sdk/foundation/ZUMLogger.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickConfig.h"
#include "sdk/telemetry/ZUMFennickLogger.h"

namespace {
using Json = nlohmann::ordered_json;
}

std::shared_ptr<ZUMBufferedFennickLogger> ZUMBufferedFennickLogger::create() {
  auto config = ZUMFennickConfig::fromUserDefaults();
  if (!config || !config->enabled) return nullptr;
  // The configuration keeps the size at 1 or more.
  return std::shared_ptr<ZUMBufferedFennickLogger>(new ZUMBufferedFennickLogger(config->maxBufferedCommandSize));
}

void ZUMBufferedFennickLogger::bufferEvent(const Json& event) {
  if (auto command = ZUMFennickCommand(kZUMFennickBufferedCommandID, event)) {
    bufferParameters(Json::array({std::move(*command)}));
  }
}

void ZUMBufferedFennickLogger::bufferParameters(const Json& commands) {
  if (!commands.is_array() || commands.empty()) return;
  std::lock_guard lock(mutex_);
  for (const auto& command : commands) bufferedCommands_.push_back(command);
  dropOldestBeyondLimit();
}

void ZUMBufferedFennickLogger::dropOldestBeyondLimit() {
  const auto limit = static_cast<std::size_t>(bufferedCommandSize_);
  if (bufferedCommands_.size() <= limit) return;
  const auto excess = bufferedCommands_.size() - limit;
  if (droppedCommandCount_ == 0) {
    ZUMLog(kZUMLogLevelDefault, "Fennick: the buffer is full; its oldest commands are dropped.");
  }
  bufferedCommands_.erase(bufferedCommands_.begin(), bufferedCommands_.begin() + static_cast<std::ptrdiff_t>(excess));
  droppedCommandCount_ += static_cast<std::int64_t>(excess);
}

Json ZUMBufferedFennickLogger::takeCommands() {
  std::deque<Json> taken;
  {
    std::lock_guard lock(mutex_);
    taken.swap(bufferedCommands_);
  }
  Json list = Json::array();
  for (auto& command : taken) list.push_back(std::move(command));
  return list;
}

void ZUMBufferedFennickLogger::reportBufferedEventsToLogger(ZUMFennickLogger& logger) {
  Json commands = takeCommands();
  if (!commands.empty()) logger.reportBufferedParameters(commands);
}

std::size_t ZUMBufferedFennickLogger::bufferedCommandCount() const {
  std::lock_guard lock(mutex_);
  return bufferedCommands_.size();
}

std::int64_t ZUMBufferedFennickLogger::droppedCommandCount() const {
  std::lock_guard lock(mutex_);
  return droppedCommandCount_;
}
