// The user scripts of the web views that share it (through their configuration), in the
// order they were added; each new document gets the scripts present when it loads.
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/web/WKUserScript.h"

namespace platform {

class WKUserContentController {
 public:
  static std::shared_ptr<WKUserContentController> create() { return std::make_shared<WKUserContentController>(); }

  void addUserScript(std::shared_ptr<WKUserScript> script) {
    if (script) scripts_.push_back(std::move(script));
  }
  void removeAllUserScripts() { scripts_.clear(); }
  const std::vector<std::shared_ptr<WKUserScript>>& userScripts() const { return scripts_; }

 private:
  std::vector<std::shared_ptr<WKUserScript>> scripts_;
};

}  // namespace platform
