#include "sdk/video/ZUMVideoLoader.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/UserDefaults.h"
#include "platform/media/Asset.h"
#include "platform/media/PlayerItem.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/video/ZUMAssetLoadingVideoPlayerItem.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoTestSupport.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Request = std::shared_ptr<platform::AssetResourceLoadingRequest>;

class ZUMVideoLoaderTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<ZUMVideoLoader> makeLoader() {
    auto loader = ZUMVideoLoader::create(player);
    loader->setDelegate(recorder);
    return loader;
  }
  static Request streamRequest(std::int64_t offset, std::int64_t length, const char* scheme = "zum-stream") {
    return std::make_shared<platform::AssetResourceLoadingRequest>(
        platform::URLRequest(*platform::URL::fromString(std::string(scheme) + ":///video.cache")),
        std::weak_ptr<platform::LoaderByteSource>(), false,
        platform::AssetResourceLoadingRequest::DataRange{offset, length, false});
  }
  // Hands `r` to the loader on the global queue, as the platform does.
  bool send(ZUMVideoLoader& loader, const Request& r) {
    bool answer = false;
    platform::DispatchQueue::global()->async([&] {
      answer = loader.resourceLoaderShouldWaitForLoadingOfRequestedResource(
          *loader.cachedResourceAsset()->resourceLoader(), r);
    });
    env.runUntilIdle();
    return answer;
  }
  static std::int64_t served(const Request& r) {
    return r->dataRequest()->currentOffset() - r->dataRequest()->requestedOffset();
  }
  static std::string errorOf(const Request& r) { return r->error() ? r->error()->localizedDescription() : "none"; }

  // A stream-route loader of a tcache file whose download has sent 60 of its 100 bytes.
  std::shared_ptr<ZUMVideoLoader> streamOfSixtyBytes(const std::string& path = "/slow.mp4") {
    page.hosts.server.route(path, {.body = body, .contentType = "video/mp4", .pausedAfterBytes = 60});
    auto loader = makeLoader();
    loader->loadURL(videotest::SDKCorePage::tcache(path), nullptr, nullptr);
    EXPECT_TRUE(env.runUntil([&] { return loader->cachedResourceAsset() != nullptr; }));
    EXPECT_TRUE(
        env.runUntil([&] { return loader->resourceCache() && loader->resourceCache()->cachedContentSize() == 60; }));
    return loader;
  }

  std::shared_ptr<videotest::TestPlayer> player = std::make_shared<videotest::TestPlayer>();
  std::shared_ptr<videotest::Recorder> recorder = std::make_shared<videotest::Recorder>();
  videotest::SDKCorePage page;
  const std::string body = std::string(60, 'a') + std::string(40, 'b');
};

TEST_F(ZUMVideoLoaderTest, ASecondLoadFailsAndLeavesTheFirstAlone) {
  const auto clip = videotest::writeFile(env, testenv::MediaClips::make());
  auto loader = makeLoader();
  loader->loadURL(clip, nullptr, nullptr);
  EXPECT_TRUE(loader->hasBeenUsed());
  loader->loadURL(clip, nullptr, ZUMVideoConfigurationImpl::create(Json{{"maxBufferMs", 1}}));
  ASSERT_TRUE(env.runUntil([&] { return recorder->events.size() == 2; }));
  env.runUntilIdle();
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"fail " + clip.absoluteString() + " Video loader already used.",
                                                        "start " + clip.absoluteString()}));
  EXPECT_EQ(loader->playerItem()->status(), platform::PlayerItem::Status::ReadyToPlay);
  EXPECT_FALSE(loader->assetLoadingPlayerItem());
}

TEST_F(ZUMVideoLoaderTest, NoStartOrFailureReachesThePlayerAfterTheLoaderWent) {
  const auto clip = videotest::writeFile(env, testenv::MediaClips::make());
  auto loader = makeLoader();
  loader->loadURL(clip, nullptr, nullptr);
  auto item = loader->playerItem();
  loader->loadURL(clip, nullptr, nullptr);
  loader.reset();
  ASSERT_TRUE(env.runUntil([&] { return item->status() != platform::PlayerItem::Status::Unknown; }));
  env.runUntilIdle();
  EXPECT_TRUE(recorder->events.empty());
  // Without a URL there is no item, and the start is told at once.
  loader = makeLoader();
  loader->loadURL(std::nullopt, nullptr, nullptr);
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"start (none)"}));
  EXPECT_FALSE(loader->playerItem());
}

TEST_F(ZUMVideoLoaderTest, StreamRequestsGetCachedBytesAsTheyArriveAndOnlyTheirScheme) {
  auto loader = streamOfSixtyBytes();
  EXPECT_FALSE(loader->assetLoadingPlayerItem());
  EXPECT_FALSE(send(*loader, streamRequest(0, 10, "video")));
  auto whole = streamRequest(0, 100);
  auto moved = streamRequest(0, 100);
  moved->respondWithData(std::string(80, 'x'));
  auto done = streamRequest(10, 20);
  auto last = streamRequest(59, 1);
  EXPECT_TRUE(send(*loader, whole));
  EXPECT_TRUE(send(*loader, moved));
  EXPECT_TRUE(send(*loader, done));
  EXPECT_TRUE(send(*loader, last));
  EXPECT_EQ(served(last), 1);
  EXPECT_TRUE(last->isFinished());
  EXPECT_EQ(served(whole), 60);
  EXPECT_EQ(served(moved), 80);
  EXPECT_TRUE(done->isFinished());
  EXPECT_FALSE(whole->isFinished());
  page.hosts.server.release("/slow.mp4");
  ASSERT_TRUE(env.runUntil([&] { return whole->isFinished() && moved->isFinished(); }));
  EXPECT_EQ(served(whole), 100);
  EXPECT_EQ(served(moved), 100);
  EXPECT_EQ(errorOf(whole), "none");
}

TEST_F(ZUMVideoLoaderTest, CancelFinishesPendingRequests) {
  auto loader = streamOfSixtyBytes();
  auto r = streamRequest(0, 100);
  send(*loader, r);
  loader->cancel();
  EXPECT_EQ(errorOf(r), "Video loading has been explicitly canceled.");
  EXPECT_FALSE(loader->cachedResourceAsset()->resourceLoader()->delegate());
  page.hosts.server.release("/slow.mp4");
}

TEST_F(ZUMVideoLoaderTest, OnceTheHostCancelsNoFailureIsReported) {
  // A request the resource loader took before cancel dropped the loader as its delegate.
  auto loader = streamOfSixtyBytes();
  loader->cancel();
  auto late = streamRequest(0, 100);
  EXPECT_TRUE(send(*loader, late));
  EXPECT_EQ(errorOf(late), "Video loading has been explicitly canceled.");
  // A failure already on its way to the main thread.
  auto failing = streamOfSixtyBytes("/slow-2.mp4");
  send(*failing, streamRequest(0, 100));
  failing->resourceCache()->cancelWithError(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Gone."));
  failing->cancel();
  env.runUntilIdle();
  for (const auto& event : recorder->events) EXPECT_FALSE(event.starts_with("fail")) << event;
  page.hosts.server.release("/slow.mp4");
  page.hosts.server.release("/slow-2.mp4");
}

TEST_F(ZUMVideoLoaderTest, ATCacheDownloadFailingMidwayReportsAFailureOnce) {
  auto loader = streamOfSixtyBytes();
  auto first = streamRequest(0, 100);
  auto second = streamRequest(50, 50);
  send(*loader, first);
  send(*loader, second);
  // The page deletes the resource while it downloads.
  loader->resourceCache()->cancelWithError(
      ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Delete cached resource."));
  ASSERT_TRUE(env.runUntil([&] { return first->isFinished() && second->isFinished(); }));
  // The first pending request (the platform's own, or this test's) fails with the reason,
  // the others as cancelled.
  for (const auto& r : {first, second}) {
    EXPECT_TRUE(errorOf(r) == "Video loading has been explicitly canceled." ||
                errorOf(r) == "The video download ended before byte 60.")
        << errorOf(r);
  }
  env.runUntilIdle();
  std::vector<std::string> failures;
  for (const auto& event : recorder->events) {
    if (event.starts_with("fail")) failures.push_back(event);
  }
  EXPECT_EQ(failures, (std::vector<std::string>{"fail " + videotest::SDKCorePage::tcache("/slow.mp4").absoluteString() +
                                                " The video download ended before byte 60."}));
  page.hosts.server.release("/slow.mp4");
}

TEST_F(ZUMVideoLoaderTest, AnUnresolvableTCacheURLFailsWithItselfAsSource) {
  auto loader = makeLoader();
  const auto bad = *platform::URL::fromString("tcache://cache?no=url");
  loader->loadURL(bad, nullptr, nullptr);
  ASSERT_TRUE(env.runUntil([&] { return !recorder->events.empty(); }));
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"fail " + bad.absoluteString() + " Provided URL " +
                                                        bad.absoluteString() + " isn't a valid tcache URL."}));
}

TEST_F(ZUMVideoLoaderTest, TheStreamURLEncodesTheCacheFilesPath) {
  EXPECT_EQ(ZUMVideoLoader::streamURLForFile(platform::URL::fileURL("/caches/a b/50%.cache"))->absoluteString(),
            "zum-stream:///caches/a%20b/50%25.cache");
}

}  // namespace
