#include "sdk/rendering/ZUMSDKCoreNavigationBlockedReporter.h"

#include <nlohmann/json.hpp>

#include "sdk/request/ZUMSDKCoreController.h"

void ZUMSDKCoreNavigationBlockedReporter::navigationBlocked(const nlohmann::ordered_json& info) {
  if (auto controller = ZUMSDKCoreController::sharedInstance())
    controller->postJavaScriptNotification("navigationBlocked", info);
}
