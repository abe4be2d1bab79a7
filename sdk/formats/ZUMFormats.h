// The formats' answers to what lower areas ask of them: which public class owns a slot
// (ZUMSlotFormats), whether a slot shows a rewarded ad (ZUMPresentationFormats), and the
// rewards of ads and page messages (ZUMAdFormats). Installed once by the SDK's load entry.
//
// Main thread, as the interfaces say; rewards on any thread.
#pragma once

#include "sdk/presentation/ZUMPresentationFormats.h"
#include "sdk/request/ZUMAdFormats.h"
#include "sdk/request/ZUMSlotFormats.h"

class ZUMFormats final : public ZUMSlotFormats, public ZUMPresentationFormats, public ZUMAdFormats {
 public:
  // 1 for a banner view, 2 for an interstitial or a pool entry, else 0.
  std::int64_t requestedAdTypeForOwner(const ZUMSlotDelegate& owner) override;
  // The slot's owner is an interstitial whose delegate takes rewards.
  bool slotShowsRewardedAd(const ZUMSlot& slot) override;
  // ZUMAdReward's makers.
  std::shared_ptr<ZUMAdReward> makeReward(const nlohmann::ordered_json& dictionary) override;
  std::shared_ptr<ZUMAdReward> makeReward(const std::optional<std::string>& type,
                                          const std::optional<platform::Decimal>& amount) override;
};

void ZUMRegisterFormats();
