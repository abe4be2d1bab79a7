// The page's "appEvent" message: with a "name", the slot's owner hears the app event with
// its "info" (none when missing). Messages wait while the slot has no placement (a
// released slot counts as none) and are replayed when the ad view moves to one.
//
// Holds its slot weakly. Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMSlot;

class ZUMAppEventTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMAppEventTOLMHandler> create(const std::shared_ptr<ZUMSlot>& slot = nullptr);
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }
  const ActionTable* actionBlockDictionary() const override;
  bool shouldBufferNotification(const ZUMNotification& notification, const ZUMAdView& adView) override;

 private:
  explicit ZUMAppEventTOLMHandler(const std::shared_ptr<ZUMSlot>& slot) : slot_(slot) {}
  void appEvent(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  const std::weak_ptr<ZUMSlot> slot_;
};
