// One ad tree's Fennick logger. It wraps each event in a command with its own id and two
// clock readings, and sends, in this order: the environment and the experiment ids (each
// at most once), its own creation, the commands buffered before the script was ready,
// then each event as it comes. Until the Fennick service's script is ready every event
// waits in the logger's buffer (bounded, see ZUMBufferedFennickLogger); the first event
// after that flushes it, and later events go straight to the service. Its end is marked
// by a finish command, sent when the logger goes, on whatever thread that is.
//
// The logger sends to the service that was current when it was made and does nothing
// once that service has gone.
//
// Any thread: reports from several threads are serialised, so the first commands keep
// their order and every event is sent once.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json_fwd.hpp>

class ZUMBufferedFennickLogger;
class ZUMFennick;

inline constexpr const char* kZUMExperimentIDStringKey = "/vantor/ads/experiment_id_string";

class ZUMFennickLogger {
 public:
  // nullptr unless the stored Fennick configuration says "enabled".
  static std::shared_ptr<ZUMFennickLogger> create();
  ~ZUMFennickLogger();
  ZUMFennickLogger(const ZUMFennickLogger&) = delete;
  ZUMFennickLogger& operator=(const ZUMFennickLogger&) = delete;

  // Sends the event (after the first commands) when the script is ready, else buffers
  // it. An event no command can be made of is dropped.
  void reportEvent(const nlohmann::ordered_json& event);
  // Commands buffered elsewhere ("buffered" ids): sent in one list with this logger's id
  // when the script is ready, else kept in this logger's buffer.
  void reportBufferedParameters(const nlohmann::ordered_json& commands);

  const std::string& fennickID() const { return fennickID_; }
  bool environmentReported() const;
  bool experimentIDsReported() const;
  // The buffer, until the first flush (nullptr afterwards).
  std::shared_ptr<ZUMBufferedFennickLogger> bufferedLogger() const;

 private:
  ZUMFennickLogger(std::shared_ptr<ZUMFennick> fennick, std::shared_ptr<ZUMBufferedFennickLogger> buffer);
  // Under mutex_: the first commands, then the buffer's, when not sent yet.
  void sendFirstCommands(ZUMFennick& fennick);
  void reportEnvironment(ZUMFennick& fennick);
  void reportExperimentIDs(ZUMFennick& fennick);
  void executeFennickCommand(ZUMFennick& fennick, nlohmann::ordered_json command);
  void sendBuffered(ZUMFennick& fennick, const nlohmann::ordered_json& commands);

  const std::weak_ptr<ZUMFennick> fennick_;
  const std::string fennickID_;
  // Serialises reports, so that the first commands go out once and in order.
  mutable std::mutex mutex_;
  std::shared_ptr<ZUMBufferedFennickLogger> bufferedLogger_;
  bool environmentReported_ = false;
  bool experimentIDsReported_ = false;
};
