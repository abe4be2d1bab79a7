#include "platform/media/Asset.h"

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/media/HTTPByteSource.h"
#include "platform/media/MediaError.h"
#include "platform/media/MediaTestSupport.h"
#include "testing/LoopbackServer.h"
#include "testing/MediaClips.h"

namespace platform {
namespace {

using testenv::ClipOptions;
using testenv::MediaClips;

class AssetTest : public testenv::PlatformTest {
 protected:
  // Loads "duration" and waits until it settled.
  Asset::KeyValueStatus load(const std::shared_ptr<Asset>& asset, ErrorPtr* error = nullptr) {
    bool done = false;
    asset->loadValuesAsynchronously({"duration"}, [&] { done = true; });
    EXPECT_TRUE(env.runUntil([&] { return done; }));
    return asset->statusOfValue("duration", error);
  }

  std::shared_ptr<Asset> served(const std::string& bytes, bool ranges = true) {
    server_.route("/clip.mp4", {.body = bytes, .contentType = "video/mp4", .ranges = ranges});
    return Asset::create(*URL::fromString(server_.baseURL() + "/clip.mp4"));
  }

  std::shared_ptr<Asset> loaderServed(const std::string& bytes, bool answer = true) {
    auto asset = Asset::create(*URL::fromString("clip-scheme://media.example/clip.mp4"));
    delegate_ = std::make_shared<mediatest::MemoryLoaderDelegate>(bytes, answer);
    asset->resourceLoader()->setDelegate(delegate_, DispatchQueue::serial("test.loader"));
    return asset;
  }

  testenv::LoopbackServer server_;
  std::shared_ptr<mediatest::MemoryLoaderDelegate> delegate_;
};

TEST_F(AssetTest, EveryRouteGivesTheDurationAndTracks) {
  for (bool indexFirst : {true, false}) {
    const std::string& clip = MediaClips::make({.indexFirst = indexFirst});
    const std::vector<std::pair<const char*, std::shared_ptr<Asset>>> routes = {
        {"file", Asset::create(mediatest::writeClip(env, clip))},
        {"http with ranges", served(clip)},
        {"resource loader", loaderServed(clip)},
    };
    for (const auto& [name, asset] : routes) {
      SCOPED_TRACE(std::string(name) + (indexFirst ? ", index first" : ", index last"));
      ASSERT_EQ(load(asset), Asset::KeyValueStatus::Loaded);
      EXPECT_NEAR(asset->duration().seconds(), 2.0, 0.05);
      const auto video = asset->tracksWithMediaType(kMediaTypeVideo);
      ASSERT_EQ(video.size(), 1u);
      EXPECT_EQ(video[0]->naturalSize().width, 320);
      EXPECT_EQ(video[0]->naturalSize().height, 180);
      EXPECT_GT(video[0]->estimatedDataRate(), 0);
      EXPECT_EQ(asset->tracksWithMediaType(kMediaTypeAudio).size(), 1u);
    }
  }
}

TEST_F(AssetTest, AnIndexAtTheEndIsReadWithARangeRequest) {
  // Large enough that the index lies beyond what the first transfer would soon bring.
  const std::string& clip = MediaClips::make({.indexFirst = false, .noise = true});
  ASSERT_GT(clip.size(), 2u * HTTPByteSource::kReachAhead);
  // The body stops after its first 64 KB, so only a range request can reach the index.
  server_.route("/clip.mp4", {.body = clip, .contentType = "video/mp4", .ranges = true, .pausedAfterBytes = 64 << 10});
  auto asset = Asset::create(*URL::fromString(server_.baseURL() + "/clip.mp4"));
  ASSERT_EQ(load(asset), Asset::KeyValueStatus::Loaded);
  bool rangedPastStart = false;
  for (const auto& request : server_.requests("/clip.mp4")) {
    const auto range = request.header("Range");
    rangedPastStart = rangedPastStart || (range && *range != "bytes=0-");
  }
  EXPECT_TRUE(rangedPastStart);
}

TEST_F(AssetTest, AServerIgnoringRangesIsReadFromTheStart) {
  auto asset = served(MediaClips::make({.indexFirst = false}), /*ranges=*/false);
  EXPECT_EQ(load(asset), Asset::KeyValueStatus::Loaded);
  EXPECT_NEAR(asset->duration().seconds(), 2.0, 0.05);
}

TEST_F(AssetTest, ARotatedTrackReportsItsTransform) {
  auto asset = Asset::create(mediatest::writeClip(env, MediaClips::make({.rotationDegrees = 90})));
  ASSERT_EQ(load(asset), Asset::KeyValueStatus::Loaded);
  const AffineTransform t = asset->tracksWithMediaType(kMediaTypeVideo).at(0)->preferredTransform();
  EXPECT_DOUBLE_EQ(t.a, 0);
  EXPECT_DOUBLE_EQ(t.b, 1);
  EXPECT_DOUBLE_EQ(t.c, -1);
  EXPECT_DOUBLE_EQ(t.d, 0);
}

TEST_F(AssetTest, BrokenClipsFailWithAMediaError) {
  const std::string& clip = MediaClips::make();
  const struct {
    const char* name;
    std::shared_ptr<Asset> asset;
    std::int64_t code;
  } cases[] = {
      {"corrupt index", Asset::create(mediatest::writeClip(env, MediaClips::corruptedIndex(clip), "a.mp4")),
       kMediaErrorFormatNotRecognized},
      {"truncated", Asset::create(mediatest::writeClip(env, MediaClips::truncated(clip, clip.size() / 2), "b.mp4")),
       kMediaErrorTruncated},
      {"not media", Asset::create(mediatest::writeClip(env, std::string(5000, 'x'), "c.mp4")),
       kMediaErrorFormatNotRecognized},
      {"missing file", Asset::create(URL::fileURL(env.temporaryDirectory() / "none.mp4")),
       kMediaErrorResourceUnavailable},
      {"declined by the loader", loaderServed(clip, /*answer=*/false), kMediaErrorResourceUnavailable},
      {"no loader delegate", Asset::create(*URL::fromString("clip-scheme://media.example/x.mp4")),
       kMediaErrorResourceUnavailable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ErrorPtr error;
    ASSERT_EQ(load(c.asset, &error), Asset::KeyValueStatus::Failed);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), kMediaErrorDomain);
    EXPECT_EQ(error->code(), c.code);
    EXPECT_FALSE(c.asset->duration().isValid());
  }
}

}  // namespace
}  // namespace platform
