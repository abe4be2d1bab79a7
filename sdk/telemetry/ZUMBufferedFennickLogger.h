// Holds Fennick commands until a logger can send them: a logger keeps one until the
// Fennick script is ready, and an ad object keeps one until the logging hierarchy gives
// it a logger. Buffered commands carry the id "buffered" and the clock readings of their
// buffering; the logger that takes them gives them its own id.
//
// At most the configuration's "max_buffer_size" commands are kept: beyond that the
// oldest are dropped and counted (the first drop is logged), so a buffer whose script
// never loads stops growing.
//
// Any thread.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

class ZUMFennickLogger;

class ZUMBufferedFennickLogger {
 public:
  // nullptr unless the stored Fennick configuration says "enabled".
  static std::shared_ptr<ZUMBufferedFennickLogger> create();

  // Buffers the event's command; an event no command can be made of is ignored.
  void bufferEvent(const nlohmann::ordered_json& event);
  // Appends a list of commands, after those already buffered.
  void bufferParameters(const nlohmann::ordered_json& commands);
  // Empties the buffer into the logger (ZUMFennickLogger::reportBufferedParameters),
  // when it holds anything.
  void reportBufferedEventsToLogger(ZUMFennickLogger& logger);
  // Empties the buffer and returns its commands, oldest first (an array).
  nlohmann::ordered_json takeCommands();

  std::int64_t bufferedCommandSize() const { return bufferedCommandSize_; }
  std::size_t bufferedCommandCount() const;
  // Commands dropped because the buffer was full.
  std::int64_t droppedCommandCount() const;

 private:
  explicit ZUMBufferedFennickLogger(std::int64_t size) : bufferedCommandSize_(size) {}
  void dropOldestBeyondLimit();  // under mutex_

  const std::int64_t bufferedCommandSize_;
  mutable std::mutex mutex_;
  std::deque<nlohmann::ordered_json> bufferedCommands_;
  std::int64_t droppedCommandCount_ = 0;
};
