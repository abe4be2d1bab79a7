// Test helpers of the video area: a player around the platform's player, a recorder of
// what a video loader tells its delegate, and the SDK-core page that resolves tcache URLs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/FileManager.h"
#include "platform/base/URL.h"
#include "platform/media/Player.h"
#include "platform/ui/ApplicationDelegate.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "sdk/video/ZUMVideoLoader.h"
#include "sdk/video/ZUMVideoLoaderDelegate.h"
#include "sdk/video/ZUMVideoLoadingPlayer.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace videotest {

// `bytes` as a file of the test's temporary folder.
inline platform::URL writeFile(testenv::TestEnvironment& env, const std::string& bytes,
                               const std::string& name = "clip.mp4") {
  const auto path = env.temporaryDirectory() / name;
  EXPECT_TRUE(platform::FileManager::writeAtomically(path, bytes));
  return platform::URL::fileURL(path);
}

class TestPlayer final : public ZUMVideoLoadingPlayer {
 public:
  bool hasPostedCanPlayThrough() const override { return canPlayThrough; }
  void addPeriodicTimeObserver(platform::MediaTime interval, std::shared_ptr<platform::DispatchQueue> queue,
                               std::function<void(platform::MediaTime)> block,
                               std::function<void(Token)> completion) override {
    // On the main thread, as the player's own observers are added.
    ZUMRunOnMainThread([this, interval, queue = std::move(queue), block = std::move(block),
                        completion = std::move(completion)]() mutable {
      auto token = player->addPeriodicTimeObserver(interval, std::move(queue), std::move(block));
      ++observers;
      if (completion) completion(token);
    });
  }
  void removeTimeObserver(const Token& token) override {
    player->removeTimeObserver(token);
    --observers;
  }

  std::shared_ptr<platform::Player> player = platform::Player::create();
  bool canPlayThrough = false;
  int observers = 0;
};

class Recorder final : public ZUMVideoLoaderDelegate {
 public:
  void videoLoaderDidStartedLoadingURL(ZUMVideoLoader&, const std::optional<platform::URL>& url) override {
    events.push_back("start " + (url ? url->absoluteString() : "(none)"));
  }
  void videoLoaderDidFailToLoadURL(ZUMVideoLoader&, const std::optional<platform::URL>& url,
                                   const platform::ErrorPtr& error) override {
    events.push_back("fail " + (url ? url->absoluteString() : "(none)") + " " +
                     (error ? error->localizedDescription() : "(no error)"));
  }
  std::vector<std::string> events;
};

// The SDK-core page on the loopback server, for tcache URLs of the ad network's host.
class SDKCorePage {
 public:
  SDKCorePage() {
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    ZUMSDKCoreController::setSharedInstance(controller);
  }
  ~SDKCorePage() { ZUMSDKCoreController::setSharedInstance(nullptr); }
  static platform::URL tcache(const std::string& path) {
    return *platform::URL::fromString("tcache://cache?url=" + ZUMPercentEncodedString(resource(path)));
  }
  static std::string resource(const std::string& path) { return "https://ads.adnetwork.example" + path; }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<ZUMSDKCorePageController> controller = ZUMSDKCorePageController::create();
};

}  // namespace videotest
