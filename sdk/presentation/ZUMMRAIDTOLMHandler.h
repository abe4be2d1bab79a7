// Turns an MRAID ad's "mraid" messages into work for the opener it shares with its
// ad-view delegate: "resize" (parsed into ZUMMRAIDResizeProperties; a missing key
// reaches the opener as none, which tells the page), "storePicture" and
// "createCalendarEvent" (refused by the opener), and "setOrientationProperties",
// applied to the full-screen ad controller the opener shows from. "mraidLoaded" tells
// the slot that its own ad view's MRAID script has loaded. Unknown sub-actions ("a")
// are dropped. It never holds messages back.
//
// Holds its opener strongly. Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMOpener;

class ZUMMRAIDTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMMRAIDTOLMHandler> create(std::shared_ptr<ZUMOpener> opener);

  const std::shared_ptr<ZUMOpener>& opener() const { return opener_; }

  const ActionTable* actionBlockDictionary() const override;
  const ActionTable* subActionBlockDictionary() const override;

 private:
  explicit ZUMMRAIDTOLMHandler(std::shared_ptr<ZUMOpener> opener) : opener_(std::move(opener)) {}

  void MRAID(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void MRAIDLoaded(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void resize(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void storePicture(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void createCalendarEvent(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void setOrientationProperties(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  std::shared_ptr<ZUMOpener> opener_;
};
