// The process-wide owner of the hidden SDK-core page, as its requesters see it: turn a
// requester's parameters into an ad URL or an ad, answered through the requester's
// ZUMSDKCoreControllerDelegate operations.
//
// The controller itself registers its shared instance at start-up; until then
// sharedInstance() is nullptr and requesters fail their load. Any thread.
#pragma once

#include <memory>

class ZUMSDKCoreControllerDelegate;

class ZUMSDKCoreController {
 public:
  virtual ~ZUMSDKCoreController() = default;

  // The registered shared controller, or nullptr.
  static std::shared_ptr<ZUMSDKCoreController> sharedInstance();
  // Installs (or, with nullptr, removes) the shared controller.
  static void setSharedInstance(std::shared_ptr<ZUMSDKCoreController> controller);

  // Asks the SDK-core page for an ad URL for `requester` (held weakly until it answers).
  virtual void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>& requester) = 0;
};
