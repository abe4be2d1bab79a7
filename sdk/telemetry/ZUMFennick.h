// The Fennick channel's service: downloads the channel's script into the versioned
// cache "fennick_js" when the server's configuration names one, builds the executor that
// runs it (a script context when "use_js_core", else a hidden ad view, wrapped with the
// beacon timer), hands it every command list, and issues the ids that tell loggers apart.
//
// Once an executor is installed it stays for the life of the process (a new script
// version is taken at the next start). A download that fails with nothing cached, and a
// script that does not start, install nothing: the next constants update tries again.
// An older script still cached is used when the new version's download fails.
//
// Any thread; the download's completion and the executor's construction run on the
// main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sdk/telemetry/ZUMFennickCommandExecuting.h"

class ZUMVersionedCache;
struct ZUMFennickConfig;

inline constexpr const char* kZUMFennickScriptCacheID = "fennick_js";

class ZUMFennick : public std::enable_shared_from_this<ZUMFennick> {
 public:
  // Made on first use (which starts an update); dropped between tests.
  static std::shared_ptr<ZUMFennick> sharedInstance();
  // A service of its own that has not updated yet, as a new process would start with
  // (tests; the SDK uses sharedInstance()).
  static std::shared_ptr<ZUMFennick> create();

  // Starts the script's download unless an executor exists, an update runs, or the
  // stored configuration has no script URL.
  void updateIfNeeded();
  bool isLoaded() const;
  // Passes the list to the executor on the caller's thread; dropped without one.
  void asynchronouslyExecuteCommands(const nlohmann::ordered_json& commands);
  // "<application UUID>:<n>", n counting from 1 in this process.
  std::string nextUniqueID();

  // Builds the engine the configuration names; installs it wrapped with the beacon
  // timer, or (when it does not start) ends the update with nothing installed. Main
  // thread.
  void updateCommandExecutorWithConfig(const ZUMFennickConfig& config, const std::string& script);

  std::shared_ptr<ZUMFennickCommandExecuting> commandExecutor() const;
  bool isUpdating() const;

 private:
  ZUMFennick();
  void resetUpdateCheckingState();

  mutable std::mutex mutex_;
  std::shared_ptr<ZUMFennickCommandExecuting> commandExecutor_;
  std::shared_ptr<ZUMVersionedCache> versionedCache_;
  bool isUpdating_ = false;
  std::int64_t fennickID_ = 0;
  const std::string appUniqueID_;
};
