// What the Fennick service hands command lists to: an engine running the channel's
// script. Each executor says which threads it may be called on.
#pragma once

#include <nlohmann/json_fwd.hpp>

class ZUMFennickCommandExecuting {
 public:
  virtual ~ZUMFennickCommandExecuting() = default;
  // Whether the script can take commands now.
  virtual bool isLoaded() const = 0;
  // Passes a list of command maps to the script's "QYRA_Fennick".
  virtual void asynchronouslyExecuteCommands(const nlohmann::ordered_json& commands) = 0;
};
