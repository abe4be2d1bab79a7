#include "sdk/presentation/ZUMSmallTOLMHandlers.h"

#include "sdk/presentation/ZUMAdAppAdViewDelegate.h"
#include "sdk/presentation/ZUMAdAppTOLMHandler.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/presentation/ZUMDefaultTOLMHandler.h"
#include "sdk/presentation/ZUMOrientationTOLMHandler.h"
#include "sdk/presentation/ZUMTransparentOverlayPresenter.h"
#include "sdk/rendering/ZUMActiveViewTOLMHandler.h"
#include "sdk/rendering/ZUMAdRefreshTOLMHandler.h"
#include "sdk/rendering/ZUMAnalyticsTOLMHandler.h"
#include "sdk/rendering/ZUMAppEventTOLMHandler.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMCSITOLMHandler.h"
#include "sdk/rendering/ZUMDelayPageCloseTOLMHandler.h"
#include "sdk/rendering/ZUMDelayPageLoadTOLMHandler.h"
#include "sdk/rendering/ZUMNativeAdVideoClickTOLMHandler.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandler.h"

namespace {

// Pages that ask for a transparent background are shown over the host's screen.
std::shared_ptr<ZUMAdAppTOLMHandler> makeAdAppHandler() {
  return ZUMAdAppTOLMHandler::create(
      []() -> std::shared_ptr<ZUMOverlayPresenting> { return ZUMTransparentOverlayPresenter::create(); });
}

template <class Handler>
ZUMTOLMHandlerMaker plain() {
  return [](ZUMAdViewDelegate&) -> std::shared_ptr<ZUMTOLMHandler> { return Handler::create(); };
}

void registerBaseHandlers() {
  using Place = ZUMTOLMHandlerPlace;
  ZUMRegisterTOLMHandlerMaker(Place::ActiveView, plain<ZUMActiveViewTOLMHandler>());
  ZUMRegisterTOLMHandlerMaker(Place::Default, plain<ZUMDefaultTOLMHandler>());
  ZUMRegisterTOLMHandlerMaker(Place::RewardBasedVideoAd, plain<ZUMRewardBasedVideoAdTOLMHandler>());
  ZUMRegisterTOLMHandlerMaker(Place::Orientation, plain<ZUMOrientationTOLMHandler>());
  ZUMRegisterTOLMHandlerMaker(
      Place::AdRefresh, [](ZUMAdViewDelegate& delegate) { return ZUMAdRefreshTOLMHandler::create(delegate.opener()); });
  ZUMRegisterTOLMHandlerMaker(Place::NativeAdVideoClick, plain<ZUMNativeAdVideoClickTOLMHandler>());
  ZUMRegisterTOLMHandlerMaker(Place::Analytics, plain<ZUMAnalyticsTOLMHandler>());
  ZUMRegisterTOLMHandlerMaker(Place::DelayPageClose, plain<ZUMDelayPageCloseTOLMHandler>());
  ZUMRegisterTOLMHandlerMaker(Place::CSI, [](ZUMAdViewDelegate& delegate) {
    auto handler = ZUMCSITOLMHandler::create();
    handler->setCSIDelegate(delegate.shared_from_this());
    return handler;
  });
}

}  // namespace

void ZUMRegisterSmallTOLMHandlers() {
  registerBaseHandlers();
  ZUMRegisterBannerTOLMHandlerMaker(ZUMBannerTOLMHandlerPlace::AppEvent, [](ZUMBannerAdViewDelegate& delegate) {
    return ZUMAppEventTOLMHandler::create(delegate.slot());
  });
  ZUMRegisterBannerTOLMHandlerMaker(ZUMBannerTOLMHandlerPlace::AdApp,
                                    [](ZUMBannerAdViewDelegate&) { return makeAdAppHandler(); });
  ZUMRegisterBannerTOLMHandlerMaker(ZUMBannerTOLMHandlerPlace::DelayPageLoad, [](ZUMBannerAdViewDelegate& delegate) {
    return ZUMDelayPageLoadTOLMHandler::create(
        std::static_pointer_cast<ZUMBannerAdViewDelegate>(delegate.shared_from_this()));
  });
  ZUMRegisterAdAppTOLMHandlerMaker(ZUMAdAppTOLMHandlerPlace::AdApp,
                                   [](ZUMAdAppAdViewDelegate&) { return makeAdAppHandler(); });
  ZUMRegisterAdAppTOLMHandlerMaker(ZUMAdAppTOLMHandlerPlace::AppEvent, [](ZUMAdAppAdViewDelegate& delegate) {
    auto controller = delegate.adAppViewController();
    return ZUMAppEventTOLMHandler::create(controller ? controller->slot() : nullptr);
  });
}
