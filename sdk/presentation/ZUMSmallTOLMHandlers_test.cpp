// One table per message of the small handlers that act on full-screen controllers and
// the device: ad-app, orientation and the default handler.
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/SystemSound.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/presentation/ZUMAdAppTOLMHandler.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/presentation/ZUMDefaultTOLMHandler.h"
#include "sdk/presentation/ZUMModalOverlayPresenter.h"
#include "sdk/presentation/ZUMOrientationTOLMHandler.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "testing/LoopbackServer.h"

namespace {

using Json = nlohmann::ordered_json;

std::shared_ptr<const ZUMNotification> message(const std::string& text) {
  return ZUMNotification::createWithNotificationURL(*platform::URL::fromString("tolm://page/" + text));
}

class ZUMSmallPresentationTOLMHandlersTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    adView = ZUMAdView::create({0, 0, 320, 480});
    controller = ZUMAdAppViewController::create(adView);
    adView->setViewController(controller);
  }
  bool send(ZUMTOLMHandler& handler, const std::string& text) {
    const bool claimed = handler.handleNotification(message(text), adView);
    env.runUntilIdle();
    return claimed;
  }

  std::shared_ptr<ZUMAdView> adView;
  std::shared_ptr<ZUMAdAppViewController> controller;
};

TEST_F(ZUMSmallPresentationTOLMHandlersTest, CustomCloseMessages) {
  const struct {
    const char* message;
    bool customClose;
  } rows[] = {
      {"customClose?custom_close=1", true},
      {"customClose?custom_close=true", false},
      {"customClose", false},
  };
  auto handler = ZUMAdAppTOLMHandler::create();
  for (const auto& row : rows) {
    controller->setUseCustomClose(!row.customClose);
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(controller->useCustomClose(), row.customClose) << row.message;
  }
  // Without a controller the message waits; a controller of another class ignores it.
  adView->setViewController(nullptr);
  EXPECT_TRUE(send(*handler, "customClose?custom_close=1"));
  EXPECT_EQ(handler->bufferedNotificationCount(), 1u);
  adView->setViewController(host);
  handler->flushBuffer();
  EXPECT_EQ(handler->bufferedNotificationCount(), 0u);
}

TEST_F(ZUMSmallPresentationTOLMHandlersTest, InterstitialPropertiesMessages) {
  auto transparent = ZUMModalOverlayPresenter::create();
  auto modal = ZUMModalOverlayPresenter::create();
  const struct {
    const char* message;
    bool withMaker;
    bool onScreen;
    std::shared_ptr<ZUMOverlayPresenting> expected;
  } rows[] = {
      {"setInterstitialProperties?transparentBackground=1", true, false, transparent},
      {"setInterstitialProperties?transparentBackground=0", true, false, nullptr},
      {"setInterstitialProperties?transparentBackground=yes", true, false, nullptr},
      {"setInterstitialProperties", true, false, modal},
      {"setInterstitialProperties?transparentBackground=1", true, true, modal},
      {"setInterstitialProperties?transparentBackground=1", false, false, modal},  // logged
  };
  platform::SystemLog::Capture capture(true);
  for (const auto& row : rows) {
    auto handler = ZUMAdAppTOLMHandler::create(row.withMaker ? ZUMOverlayPresenterMaker([&] { return transparent; })
                                                             : ZUMOverlayPresenterMaker());
    controller->setPresenter(modal);
    if (row.onScreen) window->addSubview(controller->view());
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(controller->presenter(), row.expected) << row.message << row.onScreen << row.withMaker;
    controller->view()->removeFromSuperview();
  }
  EXPECT_TRUE(capture.contains("no transparent presenter"));
}

TEST_F(ZUMSmallPresentationTOLMHandlersTest, ForceOrientationMessages) {
  const struct {
    const char* message;
    platform::InterfaceOrientationMask before;
    platform::InterfaceOrientationMask after;
    double duration;
    bool overrides;
  } rows[] = {
      {"forceOrientation?orientation=portrait", 24, 24, 0, false},
      {"forceOrientation?orientation=portrait&override=1", 24, 6, 0, true},
      {"forceOrientation?orientation=portrait&override=true", 24, 24, 0, false},
      {"forceOrientation?orientation=landscape", 0, 24, 0, false},
      {"forceOrientation?orientation=landscape", 30, 24, 0, false},
      {"forceOrientation?orientation=any&animationDuration=0.25", 6, 6, 0, false},
      {"forceOrientation?orientation=any&animationDuration=0.25", 0, 30, 0.25, false},
      {"forceOrientation?orientation=any&animationDuration=nan", 0, 30, 0, false},
      {"forceOrientation?orientation=any&animationDuration=-2", 0, 30, 0, false},
      {"forceOrientation?orientation=any&animationDuration=1e30", 0, 30, kZUMMaxOrientationAnimationDuration, false},
      {"forceOrientation?orientation=sideways", 0, 0, 0, false},
      {"forceOrientation", 6, 6, 0, false},
  };
  auto handler = ZUMOrientationTOLMHandler::create();
  for (const auto& row : rows) {
    auto fresh = ZUMAdAppViewController::create(adView);
    adView->setViewController(fresh);
    fresh->setAdOrientations(row.before);
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(fresh->adOrientations(), row.after) << row.message << " " << row.before;
    EXPECT_DOUBLE_EQ(fresh->orientationUpdateAnimationDuration(), row.duration) << row.message;
    EXPECT_EQ(fresh->adOrientationsOverridesLockedOrientation(), row.overrides) << row.message;
  }
}

TEST_F(ZUMSmallPresentationTOLMHandlersTest, TouchValuesAreClampedOrDefaulted) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  const struct {
    Json parameters;
    std::int32_t value;
  } rows[] = {
      {Json::object(), -1},     {{{"tx", "12.7"}}, 12},    {{{"tx", "-4"}}, -4}, {{{"tx", "1e999"}}, -1},
      {{{"tx", "1e20"}}, kMax}, {{{"tx", "-1e20"}}, kMin}, {{{"tx", "abc"}}, 0}, {{{"tx", "-1e999"}}, -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMDefaultTOLMHandler::touchValue(row.parameters, "tx"), row.value) << row.parameters.dump();
  }
}

TEST_F(ZUMSmallPresentationTOLMHandlersTest, DefaultMessages) {
  auto handler = ZUMDefaultTOLMHandler::create();
  platform::SystemLog::Capture capture(true);
  EXPECT_TRUE(send(*handler, "log?string=page%20says%20hi"));
  EXPECT_TRUE(capture.contains("page says hi"));
  EXPECT_TRUE(send(*handler, "log"));

  const auto sounds = platform::SystemSound::playedSounds().size();
  EXPECT_TRUE(send(*handler, "vibrate"));
  ASSERT_EQ(platform::SystemSound::playedSounds().size(), sounds + 1);
  EXPECT_EQ(platform::SystemSound::playedSounds().back(), 4095u);

  EXPECT_TRUE(send(*handler, "touch?tx=1&ty=2&td=3"));
  EXPECT_TRUE(send(*handler, "touch?tx=1e99&ty=nan"));

  // "canOpenURLs" answers with exactly the strings asked about, on a later turn.
  auto engine = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine();
  const auto scripts = engine->evaluatedScripts().size();
  EXPECT_TRUE(handler->handleNotification(message("canOpenURLs?urls=https%3A%2F%2Fa.example,nope%3A%2F%2Fb"), adView));
  EXPECT_EQ(engine->evaluatedScripts().size(), scripts);
  env.runUntilIdle();
  ASSERT_EQ(engine->evaluatedScripts().size(), scripts + 1);
  const std::string script = engine->evaluatedScripts().back();
  const std::string prefix = "QYRA_ReceiveMessage('openableURLs', ";
  ASSERT_EQ(script.rfind(prefix, 0), 0u) << script;
  const Json answer = Json::parse(script.substr(prefix.size(), script.size() - prefix.size() - 2));
  EXPECT_EQ(answer.size(), 2u);
  EXPECT_TRUE(answer.contains("https://a.example"));
  EXPECT_TRUE(answer.contains("nope://b"));

  // "close" makes the full-screen controller give up the screen.
  auto screen = ZUMViewController::create();
  screen->setSlot(slot);
  adView->setViewController(screen);
  screen->presentFromViewController(host, nullptr);
  env.advance(1);
  ASSERT_EQ(host->presentedViewController(), screen);
  EXPECT_TRUE(send(*handler, "close"));
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
  adView->setViewController(host);
  EXPECT_TRUE(send(*handler, "close"));  // a plain controller: nothing happens
  EXPECT_FALSE(send(*handler, "closeAll"));
}

TEST_F(ZUMSmallPresentationTOLMHandlersTest, HttpTrackPingsTheURL) {
  testenv::LoopbackServer server;
  platform::URLLoading::mapHostForTesting("track.example.com", "127.0.0.1", server.port());
  server.route("/t", {.status = 204});
  auto trackers = ZUMClickTrackerCollection::sharedInstance();
  const auto before = trackers->activeTrackerCount();
  auto handler = ZUMDefaultTOLMHandler::create();
  EXPECT_TRUE(send(*handler, "httpTrack?u=https%3A%2F%2Ftrack.example.com%2Ft%3Fk%3D1"));
  EXPECT_TRUE(send(*handler, "httpTrack"));  // no URL: no request
  ASSERT_TRUE(
      env.runUntil([&] { return server.requests("/t").size() == 1 && trackers->activeTrackerCount() <= before; }));
  EXPECT_EQ(server.requests("/t")[0].query, "k=1");
}

}  // namespace
