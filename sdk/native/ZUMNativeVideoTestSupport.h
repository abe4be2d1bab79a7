// Test helpers of native video: the SDK loaded whole, the ad server's native-video page
// and a clip made at run time on a loopback server, and media contents loaded with their
// completions recorded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMVideoOptions.h"
#include "platform/base/RunLoop.h"
#include "platform/net/URLLoading.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/native/ZUMMediaContent.h"
#include "sdk/native/ZUMNativeVideoPage.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/LoopbackServer.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace nativevideotest {

using Json = nlohmann::ordered_json;

// What a load's completion heard.
struct Completion {
  int calls = 0;
  bool onMainThread = true;
  platform::ErrorPtr error;
};

class NativeVideoTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMRegisterBuiltIns();
    ZUMSDKCoreController::setSharedInstance(nullptr);  // the content loads its page directly
    platform::URLLoading::mapHostForTesting("ads.adnetwork.example", "127.0.0.1", server.port());
    servePage(std::string(ZUMNativeVideoPageHTML()));
    server.route("/clip.mp4",
                 {.body = testenv::MediaClips::make({.seconds = 2}), .contentType = "video/mp4", .ranges = true});
  }
  void TearDown() override { platform::URLLoading::removeHostMappingsForTesting(); }

  void servePage(std::string html, bool held = false) {
    server.route(ZUMMediaContent::kVideoSupportPath, {.body = std::move(html), .held = held});
  }
  // The page with `script` run before its own.
  static std::string pageWith(const std::string& script) {
    std::string page(ZUMNativeVideoPageHTML());
    page.insert(page.find("<script>"), "<script>" + script + "</script>\n");
    return page;
  }
  std::size_t pageLoads() const { return server.requests(ZUMMediaContent::kVideoSupportPath).size(); }
  Json videoDictionary() const { return Json{{"videoUrl", server.baseURL() + "/clip.mp4"}}; }

  std::shared_ptr<ZUMMediaContent> makeContent(const Json* dictionary,
                                               std::shared_ptr<ZUMVideoOptions> options = ZUMVideoOptions::create(),
                                               std::shared_ptr<ZUMNativeAdImage> placeholder = nullptr) {
    return ZUMMediaContent::create(dictionary, std::move(placeholder), options);
  }
  // Starts a load whose completion is recorded.
  static std::shared_ptr<Completion> startLoad(ZUMMediaContent& content) {
    auto completion = std::make_shared<Completion>();
    content.loadVideoWithCompletionHandler([completion](platform::ErrorPtr error) {
      ++completion->calls;
      completion->onMainThread = completion->onMainThread && platform::isMainThread();
      completion->error = std::move(error);
    });
    return completion;
  }
  // Loads and waits for the completion (real I/O; no virtual time passes).
  std::shared_ptr<Completion> load(ZUMMediaContent& content) {
    auto completion = startLoad(content);
    EXPECT_TRUE(env.runUntil([&] { return completion->calls > 0; }));
    env.runUntilIdle();
    return completion;
  }
  static std::shared_ptr<ZUMAdView> adViewOf(const ZUMMediaContent& content) {
    return std::dynamic_pointer_cast<ZUMAdView>(content.slot()->adView());
  }
  static const std::vector<std::string>& scriptsOf(const ZUMMediaContent& content) {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(adViewOf(content)->webView())->engine()->evaluatedScripts();
  }
  std::string evaluate(const ZUMMediaContent& content, const std::string& script) {
    auto result = std::dynamic_pointer_cast<ZUMUIKitWebView>(adViewOf(content)->webView())
                      ->engine()
                      ->stringByEvaluatingJavaScriptFromString(script);
    env.runUntilIdle();
    return result;
  }
  // The scripts the content's page was given that start with `prefix`.
  static std::vector<std::string> scriptsStartingWith(const ZUMMediaContent& content, const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& script : scriptsOf(content)) {
      if (script.starts_with(prefix)) found.push_back(script);
    }
    return found;
  }

  testenv::LoopbackServer server;
};

}  // namespace nativevideotest
