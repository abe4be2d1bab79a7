#include "platform/media/PlayerLayer.h"

#include <utility>

#include <gtest/gtest.h>

#include "platform/media/MediaTestSupport.h"
#include "platform/media/PixelBuffer.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/ui/Bitmap.h"
#include "testing/MediaClips.h"

namespace platform {
namespace {

using testenv::MediaClips;

class PlayerLayerTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<Player> player(const testenv::ClipOptions& options = {}) {
    auto item = PlayerItem::create(Asset::create(mediatest::writeClip(env, MediaClips::make(options))));
    auto made = Player::create(item);
    EXPECT_TRUE(env.runUntil([&] { return item->status() == PlayerItem::Status::ReadyToPlay; }));
    return made;
  }
};

// The drawn number's blocks, read from a snapshot where the video fills `video`.
int numberIn(const Bitmap& snapshot, const Rect& video, double scale) {
  int number = 0;
  for (int bit = 0; bit < MediaClips::kBits; ++bit) {
    const double x = video.origin.x + scale * (MediaClips::kBlock * (1 + bit) + MediaClips::kBlock / 2.0);
    const double y = video.origin.y + scale * (MediaClips::kBlock * 1.5);
    number = (number << 1) | (snapshot.pixel(int(x), int(y)).g > 128 ? 1 : 0);
  }
  return number;
}

TEST_F(PlayerLayerTest, DrawsTheCurrentFrameAspectFitIntoTheSnapshot) {
  auto p = player();
  auto layer = PlayerLayer::create(p, Rect({0, 0}, {640, 480}));
  // 320x180 in 640x480: twice the size, bands of 60 above and below.
  EXPECT_EQ(layer->videoRect(), Rect({0, 60}, {640, 360}));
  p->seekToTime(MediaTime::makeWithSeconds(1.0, 600));
  env.runUntilIdle();
  ASSERT_TRUE(layer->isReadyForDisplay());
  const Bitmap shot = layer->snapshot(1.0);
  EXPECT_EQ(numberIn(shot, layer->videoRect(), 2.0), 30);
  EXPECT_EQ(shot.pixel(10, 10).a, 0);  // the band shows what lies beneath
  const Bitmap::Pixel ground = shot.pixel(600, 400);
  EXPECT_EQ(ground.a, 255);
  EXPECT_GT(ground.r, 150);  // the clip's dark red
  EXPECT_LT(ground.g, 60);
  p->seekToTime(MediaTime::makeWithSeconds(0.5, 600));
  env.runUntilIdle();
  EXPECT_EQ(numberIn(layer->snapshot(1.0), layer->videoRect(), 2.0), 15);
}

TEST_F(PlayerLayerTest, GravityPlacesTheVideo) {
  auto layer = PlayerLayer::create(player(), Rect({0, 0}, {320, 320}));
  EXPECT_EQ(layer->videoRect(), Rect({0, 70}, {320, 180}));
  layer->setVideoGravity(PlayerLayer::VideoGravity::ResizeAspectFill);
  EXPECT_NEAR(layer->videoRect().size.width, 568.89, 0.01);
  EXPECT_EQ(layer->videoRect().size.height, 320);
  layer->setVideoGravity(PlayerLayer::VideoGravity::Resize);
  EXPECT_EQ(layer->videoRect(), Rect({0, 0}, {320, 320}));
  layer->setPlayer(nullptr);
  EXPECT_EQ(layer->videoRect(), Rect{});
  EXPECT_FALSE(layer->isReadyForDisplay());
}

TEST(PixelBufferTest, ConvertsByItsMatrixAndRange) {
  const struct {
    bool fullRange;
    const char* matrix;
    std::uint8_t y, cb, cr;
    std::uint8_t r, g, b;
  } cases[] = {
      {false, kYCbCrMatrixITU_R_709_2, 235, 128, 128, 255, 255, 255},
      {false, kYCbCrMatrixITU_R_709_2, 16, 128, 128, 0, 0, 0},
      {true, kYCbCrMatrixITU_R_709_2, 255, 128, 128, 255, 255, 255},
      {true, kYCbCrMatrixITU_R_601_4, 76, 85, 255, 254, 0, 0},
      {true, kYCbCrMatrixITU_R_709_2, 54, 99, 255, 255, 0, 0},
      {false, kYCbCrMatrixITU_R_601_4, 81, 90, 240, 255, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.y) << " " << int(c.cb) << " " << int(c.cr) << " " << c.matrix);
    PixelBuffer buffer(3, 3, c.fullRange, c.matrix);
    std::fill_n(buffer.mutableBaseAddressOfPlane(0), 9, c.y);
    for (int i = 0; i < 4; ++i) {
      buffer.mutableBaseAddressOfPlane(1)[2 * i] = c.cb;
      buffer.mutableBaseAddressOfPlane(1)[2 * i + 1] = c.cr;
    }
    EXPECT_EQ(buffer.widthOfPlane(1), 2);
    // The same colour in the other range, as a video output converts it.
    const PixelBuffer other = buffer.inRange(!c.fullRange);
    EXPECT_EQ(other.isFullRange(), !c.fullRange);
    for (const PixelBuffer* shown : {&std::as_const(buffer), &other}) {
      std::uint8_t rgb[3];
      shown->rgbAt(2, 2, rgb);
      EXPECT_NEAR(rgb[0], c.r, 2);
      EXPECT_NEAR(rgb[1], c.g, 2);
      EXPECT_NEAR(rgb[2], c.b, 2);
    }
  }
}

}  // namespace
}  // namespace platform
