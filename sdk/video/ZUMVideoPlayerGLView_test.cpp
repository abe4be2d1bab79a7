// The 360-degree player view: its render thread and display link on virtual time, the
// video outputs it builds, what reaches its delegate, and the frames it draws, full-range
// streams included.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/Thread.h"
#include "platform/base/UserDefaults.h"
#include "platform/gl/DisplayLink.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLView.h"
#include "platform/media/Asset.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/ui/Application.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "platform/ui/MotionManager.h"
#include "platform/ui/Window.h"
#include "sdk/video/ZUMGLSphericalShader.h"
#include "sdk/video/ZUMVideoPlayerGLViewDelegate.h"
#include "sdk/video/ZUMVideoPlayerGLViewImpl.h"
#include "sdk/video/ZUMVideoTestSupport.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using testenv::MediaClips;

constexpr auto kFrame = std::chrono::microseconds(16667);

class Listener final : public ZUMVideoPlayerGLViewDelegate {
 public:
  void videoPlayerGLViewDidSetUpVideoPlayer(ZUMVideoPlayerGLViewImpl&,
                                            const std::shared_ptr<platform::Player>& player) override {
    events.push_back(std::string("set up") + (player == expected ? "" : " (other player)") +
                     (platform::Thread::current() ? " off main" : ""));
  }
  void videoPlayerGLViewDidFailToSetupVideoPlayer(ZUMVideoPlayerGLViewImpl&, const std::shared_ptr<platform::Player>&,
                                                  const platform::ErrorPtr& error) override {
    events.push_back("failed " + error->domain() + " " + std::to_string(error->code()) + " " +
                     error->localizedDescription());
  }
  std::shared_ptr<platform::Player> expected;
  std::vector<std::string> events;
};

class ZUMVideoPlayerGLViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    player = playerOf(MediaClips::make({.audio = false, .pattern = testenv::ClipOptions::Pattern::Equirectangular}));
    listener->expected = player;
  }
  std::shared_ptr<platform::Player> playerOf(const std::string& bytes) {
    auto item = platform::PlayerItem::create(platform::Asset::create(videotest::writeFile(env, bytes)));
    auto made = platform::Player::create(item);
    EXPECT_TRUE(env.runUntil([&] { return item->status() != platform::PlayerItem::Status::Unknown; }));
    return made;
  }
  std::shared_ptr<ZUMVideoPlayerGLViewImpl> made(bool inWindow = true) {
    auto view = ZUMVideoPlayerGLViewImpl::create({0, 0, 32, 18});
    EXPECT_TRUE(view);
    view->setDelegate(listener);
    if (inWindow) window->addSubview(view);
    return view;
  }
  // Sets the view up and waits for its report (the link is resumed by then).
  void setUp(ZUMVideoPlayerGLViewImpl& view, const std::shared_ptr<platform::Player>& p) {
    const auto before = listener->events.size();
    view.setUpWithPlayer(p);
    EXPECT_TRUE(env.runUntil([&] { return listener->events.size() > before; }));
  }
  bool paused(ZUMVideoPlayerGLViewImpl& view) { return !view.displayLink() || view.displayLink()->isPaused(); }

  std::shared_ptr<platform::Window> window = platform::Window::create({0, 0, 320, 480});
  std::shared_ptr<Listener> listener = std::make_shared<Listener>();
  std::shared_ptr<platform::Player> player;
};

TEST_F(ZUMVideoPlayerGLViewTest, RendersOnItsOwnThreadOncePerPlayer) {
  auto view = made();
  setUp(*view, player);
  EXPECT_EQ(listener->events, (std::vector<std::string>{"set up"}));
  ASSERT_TRUE(view->renderThread());
  EXPECT_EQ(view->renderThread()->name(), "com.vantor.VantorMobileAds.GLView.RenderThread");
  EXPECT_EQ(view->currentPlayer(), player);
  EXPECT_FALSE(paused(*view));
  const auto thread = view->renderThread();
  view->setUpWithPlayer(player);
  EXPECT_EQ(view->renderThread(), thread);
  env.advance(1s);
  EXPECT_EQ(listener->events.size(), 1u) << "reported once";
  // nullptr stops rendering and keeps the player; a player without an item gets no thread.
  view->setUpWithPlayer(nullptr);
  EXPECT_FALSE(view->renderThread());
  EXPECT_EQ(thread->state(), platform::Thread::State::Finished);
  EXPECT_EQ(view->currentPlayer(), player);
  EXPECT_TRUE(player->currentItem()->outputs().empty());
  auto empty = platform::Player::create();
  view->setUpWithPlayer(empty);
  EXPECT_FALSE(view->renderThread());
  EXPECT_EQ(view->currentPlayer(), empty);
}

TEST_F(ZUMVideoPlayerGLViewTest, DrawsTheFramesAtTheDisplaysPaceOnlyInAWindow) {
  auto view = made(false);
  setUp(*view, player);
  EXPECT_TRUE(paused(*view));
  env.advance(200ms);
  EXPECT_EQ(view->videoOutputResetCount(), 0);
  EXPECT_EQ(view->glView()->lastFrame(), nullptr) << "nothing pulled off-window";

  window->addSubview(view);
  ASSERT_TRUE(env.runUntil([&] { return !paused(*view); }));
  EXPECT_EQ(view->videoOutputResetCount(), 1);
  env.runUntilIdle();
  EXPECT_EQ(player->currentItem()->outputs().size(), 1u);
  env.advance(2 * kFrame);
  ASSERT_NE(view->glView()->lastFrame(), nullptr);
  const auto& shot = view->glView()->lastFrame()->bitmap();
  const auto centre = shot.pixel(shot.width() / 2, shot.height() / 2);
  EXPECT_GT(centre.r + centre.g + centre.b, 60) << "the frame, not the black of an empty view";
  player->play();
  env.advance(1s);
  EXPECT_EQ(view->videoOutputResetCount(), 1) << "frames came: never rebuilt by the threshold";

  view->removeFromSuperview();
  ASSERT_TRUE(env.runUntil([&] { return paused(*view); }));
  window->addSubview(view);
  ASSERT_TRUE(env.runUntil([&] { return !paused(*view); }));
  EXPECT_EQ(view->videoOutputResetCount(), 2) << "each resume rebuilds the output";
  env.runUntilIdle();
  EXPECT_EQ(player->currentItem()->outputs().size(), 1u) << "the old output left the item";
}

// The view asks its output for video range; a full-range stream's black, grey and white
// (one a second) come out as the values they stand for.
TEST_F(ZUMVideoPlayerGLViewTest, AFullRangeStreamsGreysReadBackAsTheirValues) {
  auto greys = playerOf(MediaClips::make(
      {.seconds = 3, .audio = false, .fullRange = true, .pattern = testenv::ClipOptions::Pattern::Greys}));
  listener->expected = greys;
  auto view = made();
  setUp(*view, greys);
  greys->play();
  env.advance(500ms);
  for (const int grey : MediaClips::kGreys) {
    SCOPED_TRACE(grey);
    ASSERT_NE(view->glView()->lastFrame(), nullptr);
    const auto& shot = view->glView()->lastFrame()->bitmap();
    const auto centre = shot.pixel(shot.width() / 2, shot.height() / 2);
    EXPECT_NEAR(centre.r, grey, 2);
    EXPECT_NEAR(centre.g, grey, 2);
    EXPECT_NEAR(centre.b, grey, 2);
    env.advance(1s);
  }
}

TEST_F(ZUMVideoPlayerGLViewTest, WithoutFramesTheOutputIsRebuiltAtTheThreshold) {
  const struct {
    const char* name;
    nlohmann::ordered_json stored;
    double threshold;
    int resetsInOneSecond;
  } rows[] = {
      {"default", nullptr, 0.1, 9}, {"string", "0.5", 0.5, 1}, {"zero", 0, 0.1, 9},
      {"negative", "-3", 0.1, 9},   {"word", "soon", 0.1, 9},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const char* key = "/vantor/ads/video_processing_output_empty_frame_timeinterval_threshold";
    if (row.stored.is_null()) {
      platform::UserDefaults::standard().removeObjectForKey(key);
    } else {
      ASSERT_TRUE(platform::UserDefaults::standard().setObject(row.stored, key));
    }
    // An item that never becomes ready gives no frames.
    auto silent = playerOf("not a video");
    auto view = made();
    EXPECT_EQ(view->videoOutputEmptyTimeIntervalThreshold(), row.threshold);
    setUp(*view, silent);
    EXPECT_EQ(view->videoOutputResetCount(), 1);
    env.advance(kFrame);  // the first draw starts the wait
    env.advance(1s);
    EXPECT_EQ(view->videoOutputResetCount(), 1 + row.resetsInOneSecond);
    env.runUntilIdle();
    EXPECT_EQ(silent->currentItem()->outputs().size(), 1u);
  }
}

TEST_F(ZUMVideoPlayerGLViewTest, TheBackgroundPausesBeforeTheAppIsSuspended) {
  auto view = made();
  setUp(*view, player);
  ASSERT_FALSE(paused(*view));
  testenv::AppControls::background();
  EXPECT_TRUE(paused(*view)) << "paused by the time the notification returns";
  env.advance(100ms);
  const auto frame = view->glView()->lastFrame();
  env.advance(100ms);
  EXPECT_EQ(view->glView()->lastFrame(), frame);
  testenv::AppControls::foreground();
  ASSERT_TRUE(env.runUntil([&] { return !paused(*view); }));
  env.advance(2 * kFrame);
  EXPECT_NE(view->glView()->lastFrame(), frame);
}

TEST_F(ZUMVideoPlayerGLViewTest, SetUpFailuresAndTeardown) {
  // A shader that cannot be made: reported once, on the main thread; the view stays black.
  ZUMGLSphericalShader::setSourcesForTesting(ZUMGLSphericalShader::Sources{"void main() { x; }", "void main() {}"});
  auto view = made();
  setUp(*view, player);
  env.advance(100ms);
  EXPECT_EQ(
      listener->events,
      (std::vector<std::string>{"failed com.vantor.zum_videoplayer_glview -1 Failed to create spherical shader."}));
  ASSERT_NE(view->glView()->lastFrame(), nullptr);
  const auto& shot = view->glView()->lastFrame()->bitmap();
  EXPECT_EQ(shot.pixel(shot.width() / 2, shot.height() / 2), (platform::Bitmap::Pixel{0, 0, 0, 255}))
      << "cleared to black";
  ZUMGLSphericalShader::setSourcesForTesting(std::nullopt);

  // Teardown before the report (as the ad view tears its view down): nothing reaches the
  // delegate.
  listener->events.clear();
  auto early = made();
  early->setUpWithPlayer(player);
  early->setUpWithPlayer(nullptr);
  auto detached = made();
  detached->setUpWithPlayer(player);
  detached->setUpWithPlayer(nullptr);
  detached->setDelegate(nullptr);
  detached->removeFromSuperview();
  env.advance(1s);
  EXPECT_TRUE(listener->events.empty());
  // A view let go of while its thread runs stops that thread once it is destroyed.
  auto dropped = made();
  dropped->setUpWithPlayer(player);
  const auto thread = dropped->renderThread();
  dropped->removeFromSuperview();
  dropped.reset();
  ASSERT_TRUE(env.runUntil([&] { return thread->state() == platform::Thread::State::Finished; }));

  // No context, no view.
  platform::GLContext::setAvailabilityForTesting(platform::GLAvailability::Unavailable);
  EXPECT_EQ(ZUMVideoPlayerGLViewImpl::create({0, 0, 10, 10}), nullptr);
}

TEST_F(ZUMVideoPlayerGLViewTest, PansReachTheShaderWithTheStoredMultipliers) {
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("0.5", "/vantor/ads/opengl_external_roll_mulitiplier"));
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("nan", "/vantor/ads/opengl_external_pitch_multiplier"));
  auto view = made();
  view->handleUserTouchMovedByVector(1, 1);  // no thread yet: dropped
  setUp(*view, player);
  view->handleUserTouchMovedByVector(4, -2);
  ZUMGLMatrix4 roll, pitch;
  double rollMultiplier = 0, pitchMultiplier = 0;
  ASSERT_TRUE(view->renderThread()->perform(
      [&] {
        roll = view->sphericalShader()->externalRollRotation();
        pitch = view->sphericalShader()->externalPitchRotation();
        rollMultiplier = view->sphericalShader()->externalRollMultiplier();
        pitchMultiplier = view->sphericalShader()->externalPitchMultiplier();
      },
      platform::Thread::Wait::UntilDone));
  EXPECT_EQ(rollMultiplier, 0.5);
  EXPECT_EQ(pitchMultiplier, 0.2);
  const auto wantRoll = ZUMGLMatrix4::rotationY(2 * 0.017453292519943295);
  const auto wantPitch = ZUMGLMatrix4::rotationX(-0.4 * 0.017453292519943295);
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(roll.m[i], wantRoll.m[i], 1e-9);
    EXPECT_NEAR(pitch.m[i], wantPitch.m[i], 1e-9);
  }
}

// The names of the process's threads, as the kernel keeps them (15 bytes).
std::vector<std::string> threadNames() {
  std::vector<std::string> names;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    if (std::string name; std::getline(comm, name)) names.push_back(name);
  }
  return names;
}

// The end of a test, like the end of the application, may come while a render thread
// still sets up (compiles its shaders), whether the host keeps its view to the end or
// lets it go at once, leaving the thread with the last reference. No render thread runs
// past it, into the next test or the process's exit.
TEST(ZUMVideoPlayerGLViewEndTest, NoRenderThreadRunsPastTheEndOfATest) {
  std::shared_ptr<ZUMVideoPlayerGLViewImpl> kept;
  {
    testenv::TestEnvironment env;
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    auto window = platform::Window::create({0, 0, 320, 480});
    auto player = platform::Player::create(
        platform::PlayerItem::create(platform::Asset::create(videotest::writeFile(env, "not a video"))));
    auto dropped = ZUMVideoPlayerGLViewImpl::create({0, 0, 32, 18});
    kept = ZUMVideoPlayerGLViewImpl::create({0, 0, 32, 18});
    ASSERT_TRUE(dropped && kept);
    for (const auto& view : {dropped, kept}) {
      window->addSubview(view);
      view->setUpWithPlayer(player);
    }
  }
  const std::string renderThread = std::string(ZUMVideoPlayerGLViewImpl::kRenderThreadName).substr(0, 15);
  const auto names = threadNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), renderThread), 0);
}

}  // namespace
