#include "sdk/entry/ZUMBuiltIns.h"

#include "ZUMMobileAds.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeContentAd.h"
#include "ZUMNativeCustomTemplateAd.h"
#include "platform/base/TestingReset.h"
#include "platform/web/JSContext.h"
#include "platform/web/JSVirtualMachine.h"
#include "platform/web/WKWebView.h"
#include "sdk/formats/ZUMFormats.h"
#include "sdk/formats/ZUMInterstitialCache.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/mediation/ZUMMediation.h"
#include "sdk/network/ZUMNetworkDelivery.h"
#include "sdk/presentation/ZUMAdAppAdViewPresentation.h"
#include "sdk/presentation/ZUMMRAIDTOLMHandler.h"
#include "sdk/presentation/ZUMOpenerScreens.h"
#include "sdk/presentation/ZUMSmallTOLMHandlers.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMAdViewSlotEvents.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMOpenerTOLMHandler.h"
#include "sdk/rendering/ZUMSDKCoreNavigationBlockedReporter.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/rendering/ZUMVideoMetadataTOLMHandler.h"
#include "sdk/rendering/ZUMVideoPlayerTOLMHandler.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
#include "sdk/sdkcore/ZUMTCacheTOLMHandler.h"
#include "sdk/telemetry/ZUMAnalyticsPresentation.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMTelemetry.h"
#include "sdk/video/ZUMVideo.h"

void ZUMRegisterBuiltIns() {
  // Tests drop what was registered; the next load registers it again.
  static auto* once = new platform::ResettableOnceFlag();
  once->call([] {
    // The newer web engine and the script-context classes are looked up by name; the
    // platform's own start-up sits below the web area and cannot offer them.
    platform::WKWebView::registerClass();
    platform::JSVirtualMachine::registerClass();
    platform::JSContext::registerClass();
    ZUMRegisterNetworkDelivery();
    ZUMNativeCustomTemplateAd::registerClass();
    ZUMNativeAppInstallAd::registerClass();
    ZUMNativeContentAd::registerClass();
    ZUMRegisterAdFetcher();
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMRegisterTelemetry();
    ZUMPresentationAnalytics::setShared(std::make_shared<ZUMAnalyticsPresentation>());
    // The controller owns a web view, which is made on the main thread.
    ZUMRunOnMainThread([] { ZUMSDKCoreController::setSharedInstance(ZUMSDKCorePageController::create()); });
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::Opener, [](ZUMAdViewDelegate& delegate) {
      return ZUMOpenerTOLMHandler::create(delegate.opener());
    });
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::MRAID, [](ZUMAdViewDelegate& delegate) {
      return ZUMMRAIDTOLMHandler::create(delegate.opener());
    });
    ZUMClickHandling::setShared(std::make_shared<ZUMOpenerScreens>());
    ZUMNavigationBlockedReporting::setShared(std::make_shared<ZUMSDKCoreNavigationBlockedReporter>());
    ZUMRegisterSmallTOLMHandlers();
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::VideoPlayer,
                                [](ZUMAdViewDelegate&) { return ZUMVideoPlayerTOLMHandler::create(); });
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::VideoMetadata,
                                [](ZUMAdViewDelegate&) { return ZUMVideoMetadataTOLMHandler::create(); });
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::TCache,
                                [](ZUMAdViewDelegate&) { return ZUMTCacheTOLMHandler::create(); });
    ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
      hooks.executeSDKCoreScript = [](std::function<std::string()> scriptBlock) {
        auto controller = ZUMSDKCoreController::sharedInstance();
        if (!controller || !scriptBlock) return;
        controller->executeJavaScriptFromBlockWhenReady(
            [scriptBlock = std::move(scriptBlock)](const std::string&) -> std::optional<std::string> {
              auto script = scriptBlock();
              if (script.empty()) return std::nullopt;
              return script;
            },
            {});
      };
    });
    ZUMSlotResponseProcessing::setShared(std::make_shared<ZUMSlotResponseProcessor>());
    // Each slot event goes to the slot's current event logger.
    ZUMSlotEvents::setShared(
        std::make_shared<ZUMAdViewSlotEvents>([](ZUMSlot& slot, const nlohmann::ordered_json& event) {
          if (auto logger = slot.logger()) logger->reportEvent(event);
        }));
    ZUMAdViewPresentation::setShared(std::make_shared<ZUMAdAppAdViewPresentation>());
    ZUMRegisterFormats();
    ZUMRegisterMediation();
    // Made when the pool is on, it preloads the requests saved by the last run.
    ZUMRegisterStartupHooks(
        [](ZUMStartupHooks& hooks) { hooks.warmInterstitialPool = [] { ZUMInterstitialCache::sharedInstance(); }; });
    ZUMRegisterVideo();
  });
}

void ZUMMobileAds::load() {
  ZUMRegisterBuiltIns();
  ZUMApplication::load();
}
