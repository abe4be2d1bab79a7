#include "sdk/network/ZUMVersionedCache.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/base/RunLoop.h"
#include "platform/net/URLLoading.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMVersionedCacheTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("cdn.example.com", "127.0.0.1", server.port());
    server.route("/v1.js", {.body = "var version = 1;", .contentType = "text/javascript"});
    server.route("/v2.js", {.body = "var version = 2;", .contentType = "text/javascript"});
    server.route("/slow.js", {.body = "slow", .held = true});
  }
  void TearDown() override { platform::URLLoading::removeHostMappingsForTesting(); }

  static platform::URL url(const std::string& path) {
    return *platform::URL::fromString("https://cdn.example.com" + path);
  }

  // Runs an update to its end; the error it ended with.
  platform::ErrorPtr update(const std::shared_ptr<ZUMVersionedCache>& cache, const std::string& path,
                            const std::string& version) {
    bool done = false;
    platform::ErrorPtr result;
    cache->updateWithURL(url(path), version, [&](platform::ErrorPtr error) {
      EXPECT_TRUE(platform::isMainThread());
      result = std::move(error);
      done = true;
    });
    EXPECT_TRUE(env.runUntil([&] { return done; }));
    return result;
  }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMVersionedCache> cache = ZUMVersionedCache::create("fennick_js");
};

TEST_F(ZUMVersionedCacheTest, StoresContentAndVersionAcrossARestartAndRefusesAnUnchangedVersion) {
  EXPECT_EQ(update(cache, "/v1.js", "1"), nullptr);
  auto restarted = ZUMVersionedCache::create("fennick_js");
  EXPECT_EQ(restarted->cacheData(), "var version = 1;");
  EXPECT_EQ(restarted->cacheVersion(), "1");
  auto unchanged = update(restarted, "/v1.js", "1");
  ASSERT_TRUE(unchanged);
  EXPECT_EQ(unchanged->localizedDescription(), "Cache version hasn't changed.");
  EXPECT_EQ(server.requests("/v1.js").size(), 1u);

  EXPECT_EQ(update(restarted, "/v2.js", "2"), nullptr);
  EXPECT_EQ(restarted->cacheData(), "var version = 2;");
  EXPECT_EQ(ZUMVersionedCache::create("other")->cacheData(), std::nullopt) << "another id is another cache";
}

TEST_F(ZUMVersionedCacheTest, AFailedUpdateKeepsTheOldContentAndVersion) {
  EXPECT_EQ(update(cache, "/v1.js", "1"), nullptr);
  server.route("/cut.js", {.body = std::string(10000, 'x'), .cutAfterBytes = 100});
  EXPECT_TRUE(update(cache, "/cut.js", "3"));
  EXPECT_EQ(cache->cacheVersion(), "1");
  EXPECT_EQ(ZUMVersionedCache::create("fennick_js")->cacheData(), "var version = 1;");
  // No side file is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(env.cachesDirectory() / "Morvane")) {
    EXPECT_NE(entry.path().extension(), ".part") << entry.path();
  }
}

// A damaged or foreign file far larger than any script is never read into memory: the
// cache starts empty instead.
TEST_F(ZUMVersionedCacheTest, AnOversizedStoredFileCountsAsAbsent) {
  EXPECT_EQ(update(cache, "/v1.js", "1"), nullptr);
  for (const auto& entry : std::filesystem::directory_iterator(env.cachesDirectory() / "Morvane")) {
    if (entry.path().extension() == ".tcache") std::filesystem::resize_file(entry.path(), 16 * 1024 * 1024 + 1);
  }
  auto restarted = ZUMVersionedCache::create("fennick_js");
  EXPECT_EQ(restarted->cacheData(), std::nullopt);
  EXPECT_EQ(restarted->cacheVersion(), std::nullopt);
  EXPECT_EQ(update(restarted, "/v1.js", "1"), nullptr) << "an absent cache downloads again";
  EXPECT_EQ(restarted->cacheData(), "var version = 1;");
}

TEST_F(ZUMVersionedCacheTest, ASecondUpdateWhileOneRunsFailsAndReleasingTheCacheStillCompletesIt) {
  platform::ErrorPtr first = platform::Error::create("unset", 0);
  cache->updateWithURL(url("/slow.js"), "1", [&](platform::ErrorPtr error) { first = std::move(error); });
  auto second = update(cache, "/v2.js", "2");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->code(), 11);
  EXPECT_TRUE(server.requests("/v2.js").empty());
  server.release("/slow.js");
  ASSERT_TRUE(env.runUntil([&] { return first == nullptr; }));
  EXPECT_EQ(cache->cacheData(), "slow");

  server.route("/slow.js", {.body = "slow", .held = true});
  std::optional<platform::ErrorPtr> result;
  cache->updateWithURL(url("/slow.js"), "2", [&](platform::ErrorPtr error) { result = std::move(error); });
  cache.reset();
  env.runUntilIdle();
  ASSERT_TRUE(result && *result);
  EXPECT_EQ((*result)->code(), 11);
  server.release("/slow.js");
}

}  // namespace
