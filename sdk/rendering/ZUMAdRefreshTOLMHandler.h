// The page's "refresh" message: "action" "pause" stops the slot's auto-refresh (not
// reloadable, timer off), "resume" starts it again (reloadable, timer scheduled). The
// slot is the opener's. With the user default "/vantor/ads/enable_refresh_tolm_protection"
// true, pages may not touch the refresh and the message is dropped.
//
// Holds its opener strongly. Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMOpener;

class ZUMAdRefreshTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMAdRefreshTOLMHandler> create(std::shared_ptr<ZUMOpener> opener);
  const std::shared_ptr<ZUMOpener>& opener() const { return opener_; }
  const ActionTable* actionBlockDictionary() const override;

 private:
  explicit ZUMAdRefreshTOLMHandler(std::shared_ptr<ZUMOpener> opener) : opener_(std::move(opener)) {}
  void refresh(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  const std::shared_ptr<ZUMOpener> opener_;
};
