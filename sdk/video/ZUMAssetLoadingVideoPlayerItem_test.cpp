#include "sdk/video/ZUMAssetLoadingVideoPlayerItem.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/FileManager.h"
#include "platform/media/AssetResourceLoader.h"
#include "platform/media/PlayerItem.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/video/ZUMVideoAssetLoader.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Request = std::shared_ptr<platform::AssetResourceLoadingRequest>;
using namespace std::chrono_literals;

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return bytes;
}

class ZUMAssetLoadingVideoPlayerItemTest : public testenv::PlatformTest {
 protected:
  std::string url(const std::string& path) const { return server.baseURL() + path; }
  std::shared_ptr<ZUMVideoAssetLoader> assetLoader(const std::string& path, const Json& settings = Json::object(),
                                                   std::shared_ptr<ZUMResourceCache> main = nullptr) {
    return ZUMVideoAssetLoader::create(*platform::URL::fromString(url(path)), std::move(main),
                                       ZUMVideoConfigurationImpl::create(settings));
  }
  std::vector<std::string> ranges(const std::string& path) const {
    std::vector<std::string> out;
    for (const auto& request : server.requests(path)) out.push_back(request.header("Range").value_or("none"));
    return out;
  }

  // An item whose own player item has given up: once the platform's first request has
  // asked for a download, `first` replaces it. A held answer is then released.
  std::shared_ptr<ZUMAssetLoadingVideoPlayerItem> quietItem(const std::string& path, const Json& settings) {
    return quietItem(path, settings, request(0, 1));
  }
  std::shared_ptr<ZUMAssetLoadingVideoPlayerItem> quietItem(const std::string& path, const Json& settings,
                                                            Request first) {
    auto item =
        ZUMAssetLoadingVideoPlayerItem::create(*platform::URL::fromString(url(path)), assetLoader(path, settings),
                                               ZUMVideoConfigurationImpl::create(settings));
    // The platform's first request made the item ask for a download.
    EXPECT_TRUE(env.runUntil([&] { return item->assetLoader()->currentRangedCache().cache != nullptr; }));
    send(*item, first);
    EXPECT_TRUE(env.runUntil([&] { return item->playerItem()->status() == platform::PlayerItem::Status::Failed; }));
    server.release(path);
    return item;
  }
  // Moves time until `r` is finished, letting each download end first.
  void serve(ZUMAssetLoadingVideoPlayerItem& item, const Request& r) {
    for (int i = 0; i < 20 && !r->isFinished(); ++i) {
      (void)env.runUntil([&] {
        auto cache = item.assetLoader()->currentRangedCache().cache;
        return cache && cache->isCompleted();
      });
      env.advance(100ms);
    }
  }
  static std::string chain(platform::ErrorPtr error) {
    std::string text;
    for (; error; error = error->underlyingError()) text += error->localizedDescription() + "|";
    return text;
  }

  static Request request(std::int64_t offset, std::int64_t length, bool info = false, const char* scheme = "video") {
    return std::make_shared<platform::AssetResourceLoadingRequest>(
        platform::URLRequest(*platform::URL::fromString(std::string(scheme) + "://media.example/clip.mp4")),
        std::weak_ptr<platform::LoaderByteSource>(), info,
        platform::AssetResourceLoadingRequest::DataRange{offset, length, false});
  }
  // Hands `r` to the item on its queue, as the platform does.
  bool send(ZUMAssetLoadingVideoPlayerItem& item, const Request& r) {
    bool answer = false;
    item.lockQueue()->async([&] {
      answer = item.resourceLoaderShouldWaitForLoadingOfRequestedResource(*item.asset()->resourceLoader(), r);
    });
    env.runUntilIdle();
    return answer;
  }
  static std::string errorOf(const Request& r) { return r->error() ? r->error()->localizedDescription() : "none"; }
  static std::int64_t served(const Request& r) {
    return r->dataRequest()->currentOffset() - r->dataRequest()->requestedOffset();
  }

  testenv::LoopbackServer server;
};

TEST_F(ZUMAssetLoadingVideoPlayerItemTest, RangedDownloadsNumberTheirFilesAndStartWhereAsked) {
  const std::filesystem::path folder = *ZUMCacheDirectoryURL("VideoAsset", nullptr)->path();
  ASSERT_TRUE(platform::FileManager::writeAtomically(folder / "video_asset_7.cache", "old run"));
  server.route("/v.mp4", {.body = "x", .held = true});
  server.route("/small.mp4", {.body = pattern(100), .contentType = "video/mp4", .ranges = true});
  // A main cache holding the first 100 bytes, which will never hold byte 5,000,000.
  auto main = ZUMResourceCache::create(platform::URLRequest(*platform::URL::fromString(url("/small.mp4"))),
                                       platform::URL::fileURL(env.temporaryDirectory() / "main.cache"), true);
  main->start();
  ASSERT_TRUE(env.runUntil([&] { return main->isCompleted(); }));
  auto loader = assetLoader("/v.mp4", Json::object(), main);
  EXPECT_FALSE(std::filesystem::exists(folder / "video_asset_7.cache"));

  const auto first = loader->getResourceCache(0, nullptr);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->cache, main);
  const struct {
    std::int64_t offset;
    const char* file;
  } ranged[] = {
      {5'000'000, "video_asset_0.cache"}, {2'000'000, "video_asset_1.cache"}, {1'000'000, "video_asset_2.cache"}};
  std::vector<std::shared_ptr<ZUMResourceCache>> kept;  // as items hold their caches
  for (const auto& r : ranged) {
    SCOPED_TRACE(r.offset);
    const auto slice = loader->getResourceCache(r.offset, nullptr);
    ASSERT_TRUE(slice);
    kept.push_back(slice->cache);
    EXPECT_EQ(slice->startingByteOffset, r.offset);
    EXPECT_EQ(slice->cache->fileURL().absoluteString(), platform::URL::fileURL(folder / r.file).absoluteString());
    EXPECT_TRUE(std::filesystem::exists(folder / r.file));
  }
  // A download without bytes yet may still bring any later byte in time: it is kept.
  env.runUntilIdle();
  EXPECT_EQ(loader->getResourceCache(1'500'000, nullptr)->cache, loader->currentRangedCache().cache);
  ASSERT_TRUE(env.runUntil([&] { return server.requests("/v.mp4").size() == 3; }));
  auto sent = ranges("/v.mp4");
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(sent, (std::vector<std::string>{"bytes=1000000-", "bytes=2000000-", "bytes=5000000-"}));
  // The item is done with a ranged download: it stops; the main cache is never stopped.
  auto current = loader->currentRangedCache().cache;
  loader->finishedUsingResourceCache(current);
  loader->finishedUsingResourceCache(main);
  EXPECT_TRUE(current->isCompleted());
  EXPECT_TRUE(main->isValid());
  // A file that cannot be made: no cache, and the error says which.
  const auto next = folder / "video_asset_3.cache";
  ASSERT_TRUE(platform::FileManager::createDirectory(next / "in the way"));
  auto blocked = assetLoader("/v.mp4", Json::object());
  platform::ErrorPtr error;
  EXPECT_FALSE(blocked->getResourceCache(0, &error));
  EXPECT_EQ(error ? error->localizedDescription() : "none",
            "Fail to create file with empty content at URL " + platform::URL::fileURL(next).absoluteString());
  server.release("/v.mp4");
}

TEST_F(ZUMAssetLoadingVideoPlayerItemTest, RequestsAreServedAChunkAPassAndOnlyTheirOwnScheme) {
  const std::string body = pattern(1'000'000);
  server.route("/big.mp4", {.body = body, .contentType = "video/mp4", .ranges = true, .held = true});
  auto item = quietItem("/big.mp4", Json{{"maxBufferMs", 30000},
                                         {"videoAssetMaxLoadableChunkSizeInBytes", 65536},
                                         {"assetLoadingPlayerItemRefreshTimeMs", 500}});
  // The platform's first request lost its place to a newer one.
  EXPECT_NE(chain(item->playerItem()->error()).find("|Video asset loader's loading cancelled by new request.|"),
            std::string::npos)
      << chain(item->playerItem()->error());
  ASSERT_TRUE(env.runUntil([&] { return item->assetLoader()->currentRangedCache().cache->isCompleted(); }));

  EXPECT_FALSE(send(*item, request(0, 10, false, "https")));
  auto older = request(0, 10);
  EXPECT_TRUE(send(*item, older));
  auto r = request(0, 200'000);
  EXPECT_TRUE(send(*item, r));
  EXPECT_EQ(errorOf(older), "none");  // served at once
  EXPECT_TRUE(older->isFinished());
  EXPECT_EQ(served(r), 65'536);
  env.advance(500ms);
  EXPECT_EQ(served(r), 131'072);
  env.advance(1s);
  EXPECT_EQ(served(r), 200'000);
  EXPECT_TRUE(r->isFinished());
  EXPECT_EQ(errorOf(r), "none");
  EXPECT_EQ(ranges("/big.mp4"), (std::vector<std::string>{"bytes=0-"}));
}

TEST_F(ZUMAssetLoadingVideoPlayerItemTest, ANewerRequestFailsTheOlderWithItsMessage) {
  server.route("/big.mp4", {.body = pattern(1000), .contentType = "video/mp4", .ranges = true, .held = true});
  auto item = quietItem("/big.mp4", Json{{"maxBufferMs", 30000}});
  ASSERT_TRUE(env.runUntil([&] { return item->assetLoader()->currentRangedCache().cache->isCompleted(); }));
  auto first = request(5000, 10);  // past the end: waits on a download that fails
  auto second = request(0, 10);
  send(*item, first);
  send(*item, second);
  EXPECT_EQ(errorOf(first), "Video asset loader's loading cancelled by new request.");
  serve(*item, second);
  EXPECT_TRUE(second->isFinished());
  EXPECT_EQ(errorOf(second), "none");
}

TEST_F(ZUMAssetLoadingVideoPlayerItemTest, WithoutARefreshIntervalPassesRunTenTimesASecond) {
  server.route("/big.mp4", {.body = pattern(1000), .contentType = "video/mp4", .ranges = true, .held = true});
  auto item = quietItem("/big.mp4", Json{{"maxBufferMs", 30000}, {"videoAssetMaxLoadableChunkSizeInBytes", 1}});
  ASSERT_TRUE(env.runUntil([&] { return item->assetLoader()->currentRangedCache().cache->isCompleted(); }));
  auto r = request(0, 900);
  send(*item, r);
  const auto passes = item->servingPassCount();
  env.advance(1s);
  EXPECT_EQ(item->servingPassCount() - passes, 10u);
  EXPECT_EQ(served(r), 11);
}

TEST_F(ZUMAssetLoadingVideoPlayerItemTest, FailedCachesAndMissingFilesFailTheRequestAtTheirLimits) {
  server.route("/big.mp4", {.body = pattern(1000), .contentType = "video/mp4", .ranges = true, .held = true});
  server.route("/missing.mp4", {.status = 404, .body = "gone"});
  const struct {
    const char* name;
    Json settings;
    bool info;
    const char* error;
  } cases[] = {
      {"content part, one bad cache by default", Json{{"maxBufferMs", 1}}, true, "Too many bad attempts."},
      {"data part, limit 2", Json{{"maxBufferMs", 1}, {"assetLoadingPlayerItemMaxDataLoadingFailedAttempts", 2}}, false,
       "Too many bad attempts."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = request(0, 10, c.info);
    auto failing = quietItem("/missing.mp4", c.settings, r);
    serve(*failing, r);
    EXPECT_EQ(errorOf(r), c.error);
  }
  // No folder for the ranged downloads: no buffer.
  auto item = quietItem("/big.mp4", Json{{"maxBufferMs", 1}});
  ASSERT_TRUE(env.runUntil([&] { return item->assetLoader()->currentRangedCache().cache->isCompleted(); }));
  const std::filesystem::path folder = *ZUMCacheDirectoryURL("VideoAsset", nullptr)->path();
  ASSERT_TRUE(platform::FileManager::removeItem(folder));
  ASSERT_TRUE(platform::FileManager::writeAtomically(folder, "a file in the folder's place"));
  auto r = request(5000, 10);
  send(*item, r);
  EXPECT_EQ(errorOf(r), "Failed to get buffer from video asset loader.");
}

TEST_F(ZUMAssetLoadingVideoPlayerItemTest, AServerIgnoringRangesServesFromOneDownloadFromTheStart) {
  const std::string body = pattern(300'000);
  server.route("/whole.mp4", {.body = body, .contentType = "video/mp4", .held = true});
  auto item = quietItem("/whole.mp4", Json{{"maxBufferMs", 30000}, {"videoAssetLoaderMaxContentSizeInBytes", 1000}});
  auto r = request(0, 10, true);
  send(*item, r);
  serve(*item, r);
  EXPECT_EQ(errorOf(r), "none");
  ASSERT_TRUE(r->isFinished());
  EXPECT_EQ(r->contentInformationRequest()->contentLength(), 300'000);
  // A later offset comes from the same download, not capped at 1000 bytes.
  auto later = request(250'000, 50'000);
  send(*item, later);
  EXPECT_TRUE(later->isFinished());
  EXPECT_EQ(errorOf(later), "none");
  EXPECT_EQ(ranges("/whole.mp4"), (std::vector<std::string>{"bytes=0-", "none"}));
  const auto slice = item->assetLoader()->getResourceCache(299'999, nullptr);
  EXPECT_EQ(slice->startingByteOffset, 0);
  EXPECT_EQ(slice->cache, item->assetLoader()->currentRangedCache().cache);
  EXPECT_EQ(item->assetLoader()->currentRangedCache().startingByteOffset, 0);
}

}  // namespace
