#include "sdk/rendering/ZUMAdViewDelegateProtocol.h"

std::optional<bool> ZUMAdViewDelegateProtocol::adViewShouldStartLoadWithRequest(ZUMAdView&, const platform::URLRequest&,
                                                                                platform::WebViewNavigationType) {
  return std::nullopt;
}
void ZUMAdViewDelegateProtocol::adViewDidStartLoad(ZUMAdView&) {}
void ZUMAdViewDelegateProtocol::adViewDidFinishLoad(ZUMAdView&) {}
void ZUMAdViewDelegateProtocol::adViewDidFailLoadWithError(ZUMAdView&, const platform::ErrorPtr&) {}
void ZUMAdViewDelegateProtocol::adViewDidMoveToPlacement(ZUMAdView&, const std::shared_ptr<ZUMSlotPlacement>&) {}
void ZUMAdViewDelegateProtocol::adViewContentSizeDidChange(ZUMAdView&, platform::Size) {}
void ZUMAdViewDelegateProtocol::adViewDidLoadVideoWithSize(ZUMAdView&, platform::Size) {}
void ZUMAdViewDelegateProtocol::adViewDidRecordImpression(ZUMAdView&) {}
void ZUMAdViewDelegateProtocol::adViewDidRecordClick(ZUMAdView&) {}
