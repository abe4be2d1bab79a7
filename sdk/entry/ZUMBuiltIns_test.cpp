#include "sdk/entry/ZUMBuiltIns.h"

#include <gtest/gtest.h>

#include "ZUMMobileAds.h"
#include "platform/base/ClassRegistry.h"
#include "platform/web/WKWebView.h"
#include "platform/ui/ApplicationDelegate.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
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
  EXPECT_TRUE(ZUMAdFetcher::create());
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMAdViewSlotRendering>(ZUMSlotRendering::shared()));
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMSDKCorePageController>(ZUMSDKCoreController::sharedInstance()));
  EXPECT_TRUE(hooks.executeSDKCoreScript);
  EXPECT_TRUE(platform::ClassRegistry::shared().isRegistered(platform::WKWebView::kClassName));
  testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
  env.runUntilIdle();
  EXPECT_TRUE(ZUMApplication::sharedInstance()->hasRunEarlyActivities());
}

}  // namespace
