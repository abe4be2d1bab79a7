#include "platform/media/Player.h"

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/media/ByteSource.h"
#include "platform/media/MediaError.h"
#include "platform/media/MediaTestSupport.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/PlayerItemVideoOutput.h"
#include "testing/LoopbackServer.h"
#include "testing/MediaClips.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using testenv::ClipOptions;
using testenv::MediaClips;

class PlayerTest : public testenv::PlatformTest {
 protected:
  // A player on a new item of `asset`, once the item has settled.
  std::shared_ptr<Player> playerFor(std::shared_ptr<Asset> asset) {
    auto item = PlayerItem::create(std::move(asset));
    output_ = PlayerItemVideoOutput::create(kPixelFormat420YpCbCr8BiPlanarVideoRange);
    item->addOutput(output_);
    auto player = Player::create(item);
    EXPECT_TRUE(env.runUntil([&] { return item->status() != PlayerItem::Status::Unknown; }));
    return player;
  }
  std::shared_ptr<Player> playerFor(const std::string& clip) {
    return playerFor(Asset::create(mediatest::writeClip(env, clip)));
  }

  // The frame number the output shows for the player's current time.
  int shownFrame(Player& player) {
    auto frame = output_->copyPixelBufferForItemTime(player.currentTime());
    if (!frame) return -1;
    return MediaClips::frameNumber(frame->baseAddressOfPlane(0), frame->bytesPerRowOfPlane(0), frame->width(),
                                   frame->height());
  }

  std::shared_ptr<Asset> served(const std::string& bytes, std::optional<std::size_t> pauseAfter = std::nullopt) {
    server_.route("/clip.mp4",
                  {.body = bytes, .contentType = "video/mp4", .ranges = true, .pausedAfterBytes = pauseAfter});
    return Asset::create(*URL::fromString(server_.baseURL() + "/clip.mp4"));
  }

  bool waitForLoadedEnd(PlayerItem& item, double end) {
    return env.runUntil([&] { return std::abs(item.loadedEnd() - end) < 1e-6; });
  }

  std::shared_ptr<PlayerItemVideoOutput> output_;
  testenv::LoopbackServer server_;
};

TEST_F(PlayerTest, AClipPlaysFromAFileTheServerAndACustomScheme) {
  const std::string& clip = MediaClips::make();
  auto delegate = std::make_shared<mediatest::MemoryLoaderDelegate>(clip);
  auto loaderAsset = Asset::create(*URL::fromString("clip-scheme://media.example/clip.mp4"));
  loaderAsset->resourceLoader()->setDelegate(delegate, DispatchQueue::serial("test.loader"));
  const std::vector<std::pair<const char*, std::shared_ptr<Asset>>> routes = {
      {"file", Asset::create(mediatest::writeClip(env, clip))}, {"server", served(clip)}, {"scheme", loaderAsset}};
  for (const auto& [name, asset] : routes) {
    SCOPED_TRACE(name);
    auto player = playerFor(asset);
    ASSERT_EQ(player->status(), Player::Status::ReadyToPlay);
    ASSERT_TRUE(waitForLoadedEnd(*player->currentItem(), 2.0));
    std::vector<double> ticks;
    auto token = player->addPeriodicTimeObserver(MediaTime::makeWithSeconds(0.25, 600), nullptr,
                                                 [&](MediaTime t) { ticks.push_back(t.seconds()); });
    player->play();
    env.advance(1s);
    EXPECT_EQ(ticks, (std::vector<double>{0, 0.25, 0.5, 0.75, 1.0}));
    EXPECT_DOUBLE_EQ(player->currentTime().seconds(), 1.0);
    EXPECT_EQ(shownFrame(*player), 30);
    EXPECT_EQ(player->timeControlStatus(), Player::TimeControlStatus::Playing);
    player->removeTimeObserver(token);
  }
}

TEST_F(PlayerTest, PlayAskedBeforeTheItemIsReadyStartsWhenItIs) {
  auto item = PlayerItem::create(Asset::create(mediatest::writeClip(env, MediaClips::make())));
  auto player = Player::create(item);
  player->play();
  EXPECT_EQ(player->timeControlStatus(), Player::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
  ASSERT_TRUE(env.runUntil([&] { return item->status() == PlayerItem::Status::ReadyToPlay; }));
  env.advance(1s);
  EXPECT_DOUBLE_EQ(player->currentTime().seconds(), 1.0);
  EXPECT_EQ(player->timeControlStatus(), Player::TimeControlStatus::Playing);
}

TEST_F(PlayerTest, SeeksLandOnTheFrameAskedFor) {
  auto player = playerFor(MediaClips::make());
  const struct {
    double to;
    int frame;
  } seeks[] = {{1.0, 30}, {0.5, 15}, {1.9, 57}, {0.0, 0}, {0.7, 21}, {1.4333, 42}, {1.4334, 43}};
  for (const auto& s : seeks) {
    SCOPED_TRACE(s.to);
    bool finished = false;
    player->seekToTime(MediaTime::makeWithSeconds(s.to, 1'000'000'000), [&](bool f) { finished = f; });
    env.runUntilIdle();
    EXPECT_TRUE(finished);
    EXPECT_EQ(shownFrame(*player), s.frame);
  }
  // Seeking while playing: the frame of the new time, then onwards from it.
  player->play();
  player->seekToTime(MediaTime::makeWithSeconds(1.0, 600));
  env.advance(0.5s);
  EXPECT_EQ(shownFrame(*player), 45);
}

TEST_F(PlayerTest, TheEndIsNoticedOnceAndThePlayerPauses) {
  auto player = playerFor(MediaClips::make());
  int ends = 0;
  auto token = NotificationCenter::defaultCenter().addObserver(
      kPlayerItemDidPlayToEndTimeNotification, player->currentItem(), nullptr, [&](const Notification&) { ++ends; });
  int rateChanges = 0;
  player->addObserver("rate", [&] { ++rateChanges; });
  player->play();
  env.advance(5s);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(player->rate(), 0);
  EXPECT_EQ(rateChanges, 2);
  EXPECT_NEAR(player->currentTime().seconds(), 2.0, 0.05);
  EXPECT_EQ(shownFrame(*player), 59);
  // Played through again: noticed again.
  player->seekToTime(MediaTime::zero());
  player->play();
  env.advance(5s);
  EXPECT_EQ(ends, 2);
  NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(PlayerTest, AStallHoldsTheTimeOrDropsTheRateByTheSwitch) {
  const std::string& clip = MediaClips::make({.seconds = 4});
  for (bool waits : {true, false}) {
    SCOPED_TRACE(waits ? "waits" : "does not wait");
    testenv::LoopbackServer server;
    server.route("/paced.mp4",
                 {.body = clip, .contentType = "video/mp4", .ranges = true, .pausedAfterBytes = clip.size() / 2});
    auto asset = Asset::create(*URL::fromString(server.baseURL() + "/paced.mp4"));
    auto player = playerFor(asset);
    ASSERT_TRUE(env.runUntil([&] { return asset->byteSource()->contiguousLength() >= std::int64_t(clip.size() / 2); }));
    auto& item = *player->currentItem();
    env.runUntilIdle();
    const double loadedEnd = item.loadedEnd();
    ASSERT_GT(loadedEnd, 0.5);
    ASSERT_LT(loadedEnd, 3.5);
    std::vector<double> loadedEnds;
    item.addObserver("loadedTimeRanges", [&] { loadedEnds.push_back(item.loadedEnd()); });
    std::vector<float> rates;
    player->addObserver("rate", [&] { rates.push_back(player->rate()); });
    std::vector<Player::TimeControlStatus> controls;
    player->addObserver("timeControlStatus", [&] { controls.push_back(player->timeControlStatus()); });
    int bufferFullNotices = 0;
    player->addObserver("currentItem.playbackBufferFull", [&] { ++bufferFullNotices; });
    EXPECT_FALSE(item.isPlaybackBufferFull());
    player->setAutomaticallyWaitsToMinimizeStalling(waits);
    player->play();
    env.advance(4s);
    // Sound was rendered up to the stall and no further.
    EXPECT_EQ(player->audioOutput().frameCount(), std::llround(loadedEnd * 44100));
    EXPECT_DOUBLE_EQ(player->currentTime().seconds(), item.currentTime().seconds());
    EXPECT_NEAR(player->currentTime().seconds(), loadedEnd, 1e-5);
    using S = Player::TimeControlStatus;
    if (waits) {
      EXPECT_EQ(rates, std::vector<float>{1});
      EXPECT_EQ(controls, (std::vector<S>{S::Playing, S::WaitingToPlayAtSpecifiedRate}));
      EXPECT_FALSE(item.isPlaybackLikelyToKeepUp());
    } else {
      EXPECT_EQ(rates, (std::vector<float>{1, 0}));
      EXPECT_EQ(controls, (std::vector<S>{S::Playing, S::Paused}));
    }
    server.release("/paced.mp4");
    ASSERT_TRUE(waitForLoadedEnd(item, 4.0));
    EXPECT_GE(loadedEnds.size(), 1u);
    EXPECT_DOUBLE_EQ(loadedEnds.back(), 4.0);
    EXPECT_TRUE(item.isPlaybackBufferFull());
    EXPECT_EQ(bufferFullNotices, 1);
    if (!waits) player->play();
    env.advance(0.5s);
    EXPECT_NEAR(player->currentTime().seconds(), loadedEnd + 0.5, 1e-5);
    EXPECT_EQ(controls.back(), S::Playing);
  }
}

TEST_F(PlayerTest, SoundFollowsVolumeMuteAndTheAudioMix) {
  const std::string& clip = MediaClips::make();
  auto full = playerFor(clip);
  auto muted = playerFor(clip);
  muted->setMuted(true);
  auto mixed = playerFor(clip);
  AudioMix mix;
  mix.inputParameters.push_back({mixed->currentItem()->audioTrackID(), 0.3f});
  mixed->currentItem()->setAudioMix(std::make_shared<AudioMix>(mix));
  auto quiet = playerFor(clip);
  quiet->setVolume(0.5f);
  for (auto* p : {&full, &muted, &mixed, &quiet}) (*p)->play();
  env.advance(1s);
  const double level = full->audioOutput().rmsLevel();
  EXPECT_NEAR(level, 0.5 / std::sqrt(2.0), 0.01);  // a sine of peak 0.5
  EXPECT_EQ(full->audioOutput().frameCount(), 44100);
  // To the end: the tone lasts to the last samples the decoder gives when it drains.
  full->audioOutput().reset();
  full->seekToTime(MediaTime::makeWithSeconds(1.9, 600));
  env.advance(1s);
  EXPECT_EQ(full->audioOutput().frameCount(), 4410);
  EXPECT_NEAR(full->audioOutput().rmsLevel(), level, 0.02);
  EXPECT_EQ(muted->audioOutput().rmsLevel(), 0.0);
  EXPECT_NEAR(mixed->audioOutput().rmsLevel() / level, 0.3, 0.001);
  EXPECT_NEAR(quiet->audioOutput().rmsLevel() / level, 0.5, 0.001);
}

TEST_F(PlayerTest, FramesCarryTheirSizeMatrixAndRange) {
  const struct {
    ClipOptions options;
    int chromaWidth, chromaHeight;
    const char* matrix;
    std::uint32_t format;
  } cases[] = {
      {{.width = 1921, .height = 1081, .seconds = 0.2, .audio = false},
       961,
       541,
       kYCbCrMatrixITU_R_709_2,
       kPixelFormat420YpCbCr8BiPlanarVideoRange},
      {{.seconds = 0.2, .matrix = ClipOptions::Matrix::BT601},
       160,
       90,
       kYCbCrMatrixITU_R_601_4,
       kPixelFormat420YpCbCr8BiPlanarVideoRange},
      // A full-range stream comes in the range the output asks for.
      {{.seconds = 0.2, .fullRange = true}, 160, 90, kYCbCrMatrixITU_R_709_2, kPixelFormat420YpCbCr8BiPlanarVideoRange},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chromaWidth);
    auto player = playerFor(MediaClips::make(c.options));
    auto frame = output_->copyPixelBufferForItemTime(MediaTime::zero());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->widthOfPlane(1), c.chromaWidth);
    EXPECT_EQ(frame->heightOfPlane(1), c.chromaHeight);
    EXPECT_EQ(frame->yCbCrMatrix(), c.matrix);
    EXPECT_EQ(frame->pixelFormatType(), c.format);
    EXPECT_EQ(MediaClips::frameNumber(frame->baseAddressOfPlane(0), frame->bytesPerRowOfPlane(0), frame->width(),
                                      frame->height()),
              0);
    // The background is the clip's dark red in every layout of the chroma.
    std::uint8_t rgb[3];
    for (const int x : {frame->width() - 5, 1}) {  // the first chroma column too
      frame->rgbAt(x, frame->height() - 5, rgb);
      EXPECT_GT(rgb[0], 150) << x;
      EXPECT_LT(rgb[1], 70) << x;
    }
  }
}

TEST_F(PlayerTest, ARemovedObserverIsNotCalledAgainEvenWithATickQueued) {
  auto player = playerFor(MediaClips::make());
  std::vector<std::string> calls;
  Player::TimeObserverToken second;
  player->addPeriodicTimeObserver(MediaTime::makeWithSeconds(0.5, 600), nullptr, [&](MediaTime t) {
    calls.push_back("first " + std::to_string(t.seconds()).substr(0, 3));
    if (t.seconds() >= 0.5) player->removeTimeObserver(second);
  });
  second = player->addPeriodicTimeObserver(MediaTime::makeWithSeconds(0.5, 600), nullptr, [&](MediaTime t) {
    calls.push_back("second " + std::to_string(t.seconds()).substr(0, 3));
  });
  player->play();
  env.advance(1s);
  EXPECT_EQ(calls, (std::vector<std::string>{"first 0.0", "second 0.0", "first 0.5", "first 1.0"}));
}

TEST_F(PlayerTest, ARemovedOutputGetsNoMoreFrames) {
  auto player = playerFor(MediaClips::make());
  ASSERT_TRUE(output_->copyPixelBufferForItemTime(MediaTime::zero()));
  player->currentItem()->removeOutput(output_);
  EXPECT_TRUE(player->currentItem()->outputs().empty());
  EXPECT_FALSE(output_->copyPixelBufferForItemTime(MediaTime::zero()));
  EXPECT_FALSE(output_->itemTimeForHostTime(clock().monotonicNow()).isValid());
}

TEST_F(PlayerTest, TheOutputTellsWhenANewFrameIsDue) {
  auto player = playerFor(MediaClips::make());
  const MediaTime first = MediaTime::makeWithSeconds(0.01, 600);
  EXPECT_TRUE(output_->hasNewPixelBufferForItemTime(first));
  MediaTime shown;
  ASSERT_TRUE(output_->copyPixelBufferForItemTime(first, &shown));
  EXPECT_DOUBLE_EQ(shown.seconds(), 0);
  EXPECT_FALSE(output_->hasNewPixelBufferForItemTime(first));
  EXPECT_TRUE(output_->hasNewPixelBufferForItemTime(MediaTime::makeWithSeconds(1.0 / 30, 600)));
  // Host times map to item times through the player's timeline.
  player->play();
  const double host = clock().monotonicNow();
  EXPECT_NEAR(output_->itemTimeForHostTime(host + 0.5).seconds(), 0.5, 1e-6);
}

TEST_F(PlayerTest, ABrokenClipFailsTheItemAndThePlayer) {
  const std::string& clip = MediaClips::make();
  for (const std::string& bytes : {MediaClips::corruptedIndex(clip), MediaClips::truncated(clip, clip.size() - 100)}) {
    auto player = playerFor(bytes);
    EXPECT_EQ(player->currentItem()->status(), PlayerItem::Status::Failed);
    ASSERT_TRUE(player->currentItem()->error());
    EXPECT_EQ(player->currentItem()->error()->domain(), kMediaErrorDomain);
    EXPECT_EQ(player->status(), Player::Status::Failed);
    EXPECT_TRUE(player->currentItem()->asset()->byteSource()->isCancelled()) << "the decoder's thread is stopped";
    player->play();
    env.advance(1s);
    EXPECT_FALSE(player->currentTime().seconds() > 0);
  }
}

TEST_F(PlayerTest, ReplacingTheItemMovesEveryNoticeToTheNewOne) {
  auto player = playerFor(MediaClips::make());
  auto first = player->currentItem();
  int items = 0, readyNotices = 0;
  player->addObserver("currentItem", [&] { ++items; });
  player->addObserver("currentItem.status", [&] { ++readyNotices; });
  player->play();
  env.advance(1s);
  auto second = PlayerItem::create(Asset::create(mediatest::writeClip(env, MediaClips::make({.seconds = 1}), "b.mp4")));
  player->replaceCurrentItem(second);
  EXPECT_EQ(items, 1);
  ASSERT_TRUE(env.runUntil([&] { return second->status() == PlayerItem::Status::ReadyToPlay; }));
  EXPECT_EQ(readyNotices, 1);  // the new item's, heard through the player
  env.advance(0.5s);
  EXPECT_DOUBLE_EQ(second->currentTime().seconds(), 0.5);
  EXPECT_DOUBLE_EQ(first->currentTime().seconds(), 1.0);  // the old item stays where it was
  // The old item's end is no longer the player's: only the new one's is posted.
  int ends = 0;
  auto token = NotificationCenter::defaultCenter().addObserver(kPlayerItemDidPlayToEndTimeNotification, nullptr,
                                                               nullptr, [&](const Notification& n) {
                                                                 EXPECT_EQ(n.object(), second);
                                                                 ++ends;
                                                               });
  env.advance(3s);
  EXPECT_EQ(ends, 1);
  NotificationCenter::defaultCenter().removeObserver(token);
}

}  // namespace
}  // namespace platform
