// The settings a newer-engine web view is made with: its process pool, its user content
// controller (user scripts) and media and rendering preferences, which are kept for the
// page (the engine shows no media). A web view takes a copy at creation; the user
// content controller stays shared. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/web/WKProcessPool.h"
#include "platform/web/WKUserContentController.h"

namespace platform {

class WKWebViewConfiguration {
 public:
  static std::shared_ptr<WKWebViewConfiguration> create() { return std::make_shared<WKWebViewConfiguration>(); }

  const std::shared_ptr<WKProcessPool>& processPool() const { return processPool_; }
  void setProcessPool(std::shared_ptr<WKProcessPool> pool) { processPool_ = std::move(pool); }
  const std::shared_ptr<WKUserContentController>& userContentController() const { return userContentController_; }
  void setUserContentController(std::shared_ptr<WKUserContentController> controller) {
    userContentController_ = std::move(controller);
  }

  bool suppressesIncrementalRendering() const { return suppressesIncrementalRendering_; }
  void setSuppressesIncrementalRendering(bool value) { suppressesIncrementalRendering_ = value; }
  bool allowsInlineMediaPlayback() const { return allowsInlineMediaPlayback_; }
  void setAllowsInlineMediaPlayback(bool value) { allowsInlineMediaPlayback_ = value; }
  bool allowsAirPlayForMediaPlayback() const { return allowsAirPlayForMediaPlayback_; }
  void setAllowsAirPlayForMediaPlayback(bool value) { allowsAirPlayForMediaPlayback_ = value; }
  bool requiresUserActionForMediaPlayback() const { return requiresUserActionForMediaPlayback_; }
  void setRequiresUserActionForMediaPlayback(bool value) { requiresUserActionForMediaPlayback_ = value; }
  // Flags of the media types that need a user action to play.
  std::uint64_t mediaTypesRequiringUserActionForPlayback() const { return mediaTypesRequiringUserAction_; }
  void setMediaTypesRequiringUserActionForPlayback(std::uint64_t types) { mediaTypesRequiringUserAction_ = types; }
  std::uint64_t dataDetectorTypes() const { return dataDetectorTypes_; }
  void setDataDetectorTypes(std::uint64_t types) { dataDetectorTypes_ = types; }

 private:
  std::shared_ptr<WKProcessPool> processPool_ = WKProcessPool::create();
  std::shared_ptr<WKUserContentController> userContentController_ = WKUserContentController::create();
  bool suppressesIncrementalRendering_ = false;
  bool allowsInlineMediaPlayback_ = false;
  bool allowsAirPlayForMediaPlayback_ = true;
  bool requiresUserActionForMediaPlayback_ = true;
  std::uint64_t mediaTypesRequiringUserAction_ = ~std::uint64_t{0};
  std::uint64_t dataDetectorTypes_ = 0;
};

}  // namespace platform
