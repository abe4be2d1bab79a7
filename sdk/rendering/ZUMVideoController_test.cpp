#include "ZUMVideoController.h"

#include <cmath>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMVideoOptions.h"
#include "platform/base/RunLoop.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;

// The host's video delegate; "!" marks a call off the main thread.
struct HostVideoDelegate : ZUMVideoControllerDelegate {
  ZUMImplemented videoControllerDidPlayVideo(ZUMVideoController&) override { return note("play"); }
  ZUMImplemented videoControllerDidPauseVideo(ZUMVideoController&) override { return note("pause"); }
  ZUMImplemented videoControllerDidEndVideoPlayback(ZUMVideoController&) override { return note("end"); }
  ZUMImplemented videoControllerDidMuteVideo(ZUMVideoController&) override { return note("mute"); }
  ZUMImplemented videoControllerDidUnmuteVideo(ZUMVideoController&) override { return note("unmute"); }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? std::move(what) : what + "!");
    return kZUMImplemented;
  }
  Log take() { return std::exchange(log, {}); }
  Log log;
};

class ZUMVideoControllerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    controller->setDelegate(host);
    controller->setInternalVideoController(adView->videoController());
  }
  // The commands the page received, in order.
  std::vector<Json> commands() const {
    std::vector<Json> seen;
    const std::string prefix = "QYRA_ReceiveMessage('pubVideoCmd', ";
    for (const auto& script :
         std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine()->evaluatedScripts()) {
      if (script.rfind(prefix, 0) == 0)
        seen.push_back(Json::parse(script.substr(prefix.size(), script.size() - prefix.size() - 2)));
    }
    return seen;
  }

  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 50});
  std::shared_ptr<ZUMVideoController> controller = ZUMVideoController::create();
  std::shared_ptr<HostVideoDelegate> host = std::make_shared<HostVideoDelegate>();
};

TEST_F(ZUMVideoControllerTest, CommandsReachThePageInOrderOnTheMainQueue) {
  controller->setInitialStateWithVideoOptions(nullptr);
  auto options = ZUMVideoOptions::create();
  options->setStartMuted(false);
  options->setCustomControlsRequested(true);
  controller->setInitialStateWithVideoOptions(options);
  controller->play();
  controller->pause();
  controller->setMute(true);
  controller->setMute(false);
  EXPECT_TRUE(commands().empty()) << "on a later turn";
  env.runUntilIdle();
  const std::vector<Json> expected = {
      Json::parse(R"({"action": "initialState", "muteStart": "1", "customControlsRequested": 0})"),
      Json::parse(R"({"action": "initialState", "muteStart": "0", "customControlsRequested": 1})"),
      Json{{"action", "play"}},
      Json{{"action", "pause"}},
      Json{{"action", "mute"}},
      Json{{"action", "unmute"}},
  };
  EXPECT_EQ(commands(), expected);
  EXPECT_EQ(options->requestParameters(), (Json{{"video", {{"startMuted", "0"}}}}));
  EXPECT_EQ(ZUMVideoOptions::create()->requestParameters(), (Json{{"video", {{"startMuted", "1"}}}}));
}

TEST_F(ZUMVideoControllerTest, ThePagesReportsReachTheHostOncePerChange) {
  auto& page = *adView->videoController();
  const struct {
    std::function<void()> report;
    Log heard;
  } rows[] = {
      {[&] { page.setVideoMuted(false); }, {}},  // the stored default
      {[&] { page.setVideoPlaybackState(1); }, {"play"}}, {[&] { page.setVideoPlaybackState(1); }, {}},
      {[&] { page.setVideoPlaybackState(2); }, {"play"}}, {[&] { page.setVideoPlaybackState(3); }, {"pause"}},
      {[&] { page.setVideoPlaybackState(0); }, {}},       {[&] { page.setVideoPlaybackState(5); }, {}},
      {[&] { page.setVideoPlaybackState(4); }, {"end"}},  {[&] { page.setVideoMuted(true); }, {"mute"}},
      {[&] { page.setVideoMuted(false); }, {"unmute"}},
  };
  int index = 0;
  for (const auto& row : rows) {
    row.report();
    env.runUntilIdle();
    EXPECT_EQ(host->take(), row.heard) << "row " << index++;
  }
  page.setHasVideoContent(true);
  page.setAspectRatio(1.5);
  page.setCustomControlsEnabled(true);
  EXPECT_TRUE(controller->hasVideoContent());
  EXPECT_EQ(controller->aspectRatio(), 1.5);
  EXPECT_EQ(controller->videoPlaybackState(), 4);
  EXPECT_FALSE(controller->customControlsEnabled()) << "the options did not ask for them";

  // Numbers that are not finite reach no host: 0 instead.
  for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    page.setVideoDuration(12);
    page.setCurrentPlaybackTime(3);
    page.setAspectRatio(2);
    page.setVideoDuration(static_cast<float>(bad));
    page.setCurrentPlaybackTime(static_cast<float>(bad));
    page.setAspectRatio(bad);
    EXPECT_EQ(page.videoDuration(), 0) << bad;
    EXPECT_EQ(page.currentPlaybackTime(), 0) << bad;
    EXPECT_EQ(controller->aspectRatio(), 0) << bad;
  }
}

TEST_F(ZUMVideoControllerTest, AReplacedOrNestedInnerControllerRelaysOnlyWhileItIsTheOne) {
  auto other = ZUMAdView::create();
  auto outer = ZUMVideoController::create();
  auto outerHost = std::make_shared<HostVideoDelegate>();
  outer->setDelegate(outerHost);
  // A banner shown inside a banner: the outer controller takes the inner one's news.
  outer->setInternalVideoController(controller);
  EXPECT_EQ(controller->delegate(), outer);
  for (int state : {1, 3, 4}) adView->videoController()->setVideoPlaybackState(state);
  adView->videoController()->setVideoMuted(true);
  adView->videoController()->setVideoMuted(false);
  env.runUntilIdle();
  EXPECT_EQ(outerHost->take(), (Log{"play", "pause", "end", "mute", "unmute"}));
  outer->setInternalVideoController(nullptr);
  EXPECT_EQ(controller->delegate(), nullptr) << "let go when replaced";
  controller->setDelegate(host);

  controller->setInternalVideoController(other->videoController());
  adView->videoController()->setVideoPlaybackState(3);  // the old one is no longer heard
  other->videoController()->setVideoMuted(true);
  env.runUntilIdle();
  EXPECT_EQ(host->take(), Log{"mute"});
  EXPECT_EQ(adView->videoController()->delegate(), nullptr);

  controller->setInternalVideoController(nullptr);
  controller->play();  // nothing to forward to: nothing happens
  env.runUntilIdle();
  EXPECT_FALSE(controller->hasVideoContent());
  EXPECT_EQ(controller->videoPlaybackState(), 0);
  EXPECT_TRUE(commands().empty());
}

}  // namespace
