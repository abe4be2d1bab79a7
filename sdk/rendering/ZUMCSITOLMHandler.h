// The page's timing message "instrument", whose "action" picks the step: "tick" stores
// the page's timestamp under a label and, when its start label has an earlier one, adds
// the timing between them to the "make_wv" recorder; "experiment" adds an experiment id
// and "extra" a custom parameter to that recorder. Any other action does nothing.
//
// Timestamps are milliseconds since 1970 from the page: one that is not a positive whole
// number is refused (logged), so no timing starts before 1970 or runs backwards.
//
// The CSI delegate is held weakly and asked for the registry at each use. Main thread
// only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMCSITOLMHandlerDelegate.h"
#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMCSI;
class ZUMCSITimeRecorder;

class ZUMCSITOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMCSITOLMHandler> create();

  std::shared_ptr<ZUMCSITOLMHandlerDelegate> CSIDelegate() const { return CSIDelegate_.lock(); }
  void setCSIDelegate(const std::shared_ptr<ZUMCSITOLMHandlerDelegate>& delegate) { CSIDelegate_ = delegate; }

  const ActionTable* actionBlockDictionary() const override;
  const ActionTable* subActionBlockDictionary() const override;

 private:
  ZUMCSITOLMHandler() = default;
  std::shared_ptr<ZUMCSI> CSI();
  std::shared_ptr<ZUMCSITimeRecorder> webViewRecorder();
  void instrument(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void tick(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void experiment(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void extra(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  std::weak_ptr<ZUMCSITOLMHandlerDelegate> CSIDelegate_;
};
