#include "sdk/entry/ZUMBuiltIns.h"

#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "ZUMMobileAds.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/web/WKWebView.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLocationService.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/presentation/ZUMAdAppAdViewPresentation.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdTelemetry.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSlotTelemetry.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMBuiltInsTest = testenv::PlatformTest;

// Loading the SDK before launch wires every subsystem into the hub's start-up.
TEST_F(ZUMBuiltInsTest, LoadRegistersTheSubsystemsBeforeLaunchStartsThem) {
  ZUMMobileAds::load();
  const ZUMStartupHooks hooks = ZUMCurrentStartupHooks();
  EXPECT_TRUE(hooks.registerURLInterception);
  EXPECT_TRUE(hooks.startPingerRetrySchedule);
  EXPECT_TRUE(hooks.sendForegroundPing);
  EXPECT_TRUE(hooks.startContentHashing);
  EXPECT_TRUE(ZUMSlotTelemetry::shared() && ZUMAdTelemetry::shared());
  EXPECT_TRUE(ZUMSDKConstantsTargets::registered().updateCharacterSets);
  EXPECT_TRUE(ZUMSDKConstantsTargets::registered().updateFennick);
  EXPECT_TRUE(ZUMAdFetcher::create());
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMAdViewSlotRendering>(ZUMSlotRendering::shared()));
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMSDKCorePageController>(ZUMSDKCoreController::sharedInstance()));
  EXPECT_TRUE(hooks.executeSDKCoreScript);
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMSlotResponseProcessor>(ZUMSlotResponseProcessing::shared()));
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMAdAppAdViewPresentation>(ZUMAdViewPresentation::shared()));
  for (const auto* name : {platform::WKWebView::kClassName, "JSVirtualMachine", "JSContext"}) {
    EXPECT_TRUE(platform::ClassRegistry::shared().isRegistered(name)) << name;
  }
  testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
  env.runUntilIdle();
  EXPECT_TRUE(ZUMApplication::sharedInstance()->hasRunEarlyActivities());
}

// Between tests every singleton is made anew and what the load registered is gone, until
// the next load registers it again.
TEST_F(ZUMBuiltInsTest, ResetsBetweenTestsRemakeSingletonsAndDropRegistrations) {
  const std::vector<std::function<std::shared_ptr<const void>()>> singletons = {
      [] { return ZUMApplication::sharedInstance(); },
      [] { return ZUMDevice::sharedInstance(); },
      [] { return ZUMNetwork::sharedInstance(); },
      [] { return ZUMLogger::sharedInstance(); },
      [] { return ZUMLocationService::sharedInstance(); },
      [] { return ZUMPinger::sharedInstance(); },
      [] { return ZUMAdURLStash::sharedInstance(); },
      [] { return ZUMMRAIDInterceptor::sharedInstance(); },
      [] { return ZUMClickTrackerCollection::sharedInstance(); },
      [] { return ZUMMobileAds::sharedInstance(); },
      [] { return ZUMFennick::sharedInstance(); },
  };
  ZUMMobileAds::load();
  std::vector<std::shared_ptr<const void>> before;  // held, so no address is reused
  for (const auto& get : singletons) before.push_back(get());
  platform::runTestingResets();
  EXPECT_FALSE(ZUMCurrentStartupHooks().registerURLInterception);
  EXPECT_FALSE(ZUMAdFetcher::create());
  for (std::size_t i = 0; i < singletons.size(); ++i) EXPECT_NE(singletons[i](), before[i]) << "singleton " << i;
  ZUMMobileAds::load();
  EXPECT_TRUE(ZUMCurrentStartupHooks().registerURLInterception);
  EXPECT_TRUE(ZUMAdFetcher::create());
}

}  // namespace
