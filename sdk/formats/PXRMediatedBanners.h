// The formats area's side of mediation's ZUMMediatedBannerFormats: the publisher banner
// an ad loader delivers for another network's banner view. ZUMRegisterFormats installs
// it.
//
// Main thread only.
#pragma once

#include "sdk/mediation/ZUMMediatedBannerFormats.h"

class PXRMediatedBanners final : public ZUMMediatedBannerFormats {
 public:
  Banner publisherBannerForAdLoader(ZUMAdLoader& loader, const ZUMAdSize& size,
                                    const std::vector<nlohmann::ordered_json>& appEvents) override;
};
