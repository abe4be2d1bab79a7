// A script the newer engine injects into every document it loads, at the start of the
// document (before the page's own scripts) or at its end (after them, before the load
// event), into the main frame only or into every frame. Frames show no documents here,
// so both kinds run in the main frame. Immutable; any thread.
#pragma once

#include <memory>
#include <string>

namespace platform {

enum class WKUserScriptInjectionTime : int { AtDocumentStart = 0, AtDocumentEnd = 1 };

class WKUserScript {
 public:
  static std::shared_ptr<WKUserScript> create(std::string source, WKUserScriptInjectionTime injectionTime,
                                              bool forMainFrameOnly) {
    return std::shared_ptr<WKUserScript>(new WKUserScript(std::move(source), injectionTime, forMainFrameOnly));
  }

  const std::string& source() const { return source_; }
  WKUserScriptInjectionTime injectionTime() const { return injectionTime_; }
  bool isForMainFrameOnly() const { return forMainFrameOnly_; }

 private:
  WKUserScript(std::string source, WKUserScriptInjectionTime injectionTime, bool forMainFrameOnly)
      : source_(std::move(source)), injectionTime_(injectionTime), forMainFrameOnly_(forMainFrameOnly) {}

  const std::string source_;
  const WKUserScriptInjectionTime injectionTime_;
  const bool forMainFrameOnly_;
};

}  // namespace platform
