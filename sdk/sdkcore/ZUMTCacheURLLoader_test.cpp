#include "sdk/sdkcore/ZUMTCacheURLLoader.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/ui/ApplicationDelegate.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "sdk/sdkcore/ZUMTCacheTOLMHandler.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMTCacheURLLoaderTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    env.runUntilIdle();
    ZUMSDKCoreController::setSharedInstance(controller);
  }
  void TearDown() override { ZUMSDKCoreController::setSharedInstance(nullptr); }
  static std::optional<platform::URL> tcache(const std::string& resource) {
    return platform::URL::fromString("tcache://cache?url=" + ZUMPercentEncodedString(resource));
  }
  struct Outcome {
    bool done = false;
    std::shared_ptr<ZUMResourceCache> cache;
    platform::ErrorPtr error;
  };
  Outcome load(const std::optional<platform::URL>& url) {
    Outcome outcome;
    ZUMTCacheURLLoader::create()->loadTCacheURL(url, [&](const auto&, const auto& cache, const auto& error) {
      EXPECT_FALSE(outcome.done);
      outcome = {true, cache, error};
    });
    EXPECT_TRUE(env.runUntil([&] { return outcome.done; }));
    return outcome;
  }

  // A completed cache of `body`, whose start() downloads nothing again.
  void expectWholeFile(ZUMResourceCache& cache, const std::string& body) {
    EXPECT_TRUE(cache.isValid());
    EXPECT_EQ(cache.cachedContentSize(), static_cast<std::int64_t>(body.size()));
    EXPECT_EQ(cache.dataWithRange(0, static_cast<std::int64_t>(body.size()), nullptr), body);
    const auto requests = hosts.server.requests().size();
    cache.start();
    env.runUntilIdle();
    EXPECT_EQ(cache.dataWithRange(0, static_cast<std::int64_t>(body.size()), nullptr), body);
    EXPECT_EQ(hosts.server.requests().size(), requests);
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<ZUMSDKCorePageController> controller = ZUMSDKCorePageController::create();
};

TEST_F(ZUMTCacheURLLoaderTest, ThePageCachesTheResourceAndTheLoaderHandsOverItsDownload) {
  hosts.server.route("/clip.mp4",
                     testenv::ScriptedResponse{.status = 200, .body = "frames", .contentType = "video/mp4"});
  auto outcome = load(tcache("https://ads.adnetwork.example/clip.mp4"));
  ASSERT_TRUE(outcome.cache) << (outcome.error ? outcome.error->localizedDescription() : "");
  // The download may still run or have ended: either way it completes with every byte.
  EXPECT_TRUE(env.runUntil([&] { return outcome.cache->isCompleted(); }));
  expectWholeFile(*outcome.cache, "frames");
}

// The page answers only once the download has ended (as a slow answer does when the
// download is quick), still naming the status it first saw.
const char* const kLateAnswerScript = R"(
var firstFile = {};
function QYRA_resourceCache(message) {
  var cache = message.cache || {};
  if (!(cache.cache_id in tcacheWaiting)) return;
  if (cache.status === 'running') {
    if (message.file && message.file.fileurl) firstFile[cache.cache_id] = message.file.fileurl;
    return;
  }
  var requestID = tcacheWaiting[cache.cache_id];
  delete tcacheWaiting[cache.cache_id];
  send('result', {request_id: requestID, result: {status: 'running', fileurl: firstFile[cache.cache_id]}});
}
)";

TEST_F(ZUMTCacheURLLoaderTest, ADownloadThatEndedBeforeTheAnswerIsHandedOverAsItEnded) {
  hosts.servePage(sdkcoretest::pageWith(kLateAnswerScript));
  hosts.server.route("/clip.mp4",
                     testenv::ScriptedResponse{.status = 200, .body = "frames", .contentType = "video/mp4"});
  hosts.server.route("/cut.mp4", testenv::ScriptedResponse{.status = 200, .body = "frames", .cutAfterBytes = 2});

  auto outcome = load(tcache("https://ads.adnetwork.example/clip.mp4"));
  ASSERT_TRUE(outcome.cache) << (outcome.error ? outcome.error->localizedDescription() : "");
  EXPECT_TRUE(outcome.cache->isCompleted());
  expectWholeFile(*outcome.cache, "frames");

  const auto cut = tcache("https://ads.adnetwork.example/cut.mp4");
  outcome = load(cut);
  EXPECT_FALSE(outcome.cache);
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(outcome.error->localizedDescription(), "Failed to load tcache URL " + cut->absoluteString());
  env.runUntilIdle();  // the completion ran once (load() checks)
}

// The page may name no file but one its download fills inside the SDK's cache folder.
TEST_F(ZUMTCacheURLLoaderTest, AnswersNamingAnyOtherFileFail) {
  // The page answers at once with the file named in the resource's "file".
  hosts.servePage(sdkcoretest::pageWith(R"(
function QYRA_TCache(command) {
  var resource = decodeURIComponent(/[?&]url=([^&]*)/.exec(command.args.tcache_url)[1]);
  send('result', {request_id: command.request_id,
                  result: {fileurl: decodeURIComponent(/[?&]file=([^&]*)/.exec(resource)[1])}});
}
)"));
  const std::string folder = *ZUMCacheDirectoryURL(std::nullopt, nullptr)->path();
  std::filesystem::create_directories(folder + "/sub");
  std::ofstream(folder + "/planted.tcache") << "planted";
  for (const std::string& file :
       {std::string("file:///etc/hosts"), std::string("https://ads.adnetwork.example/x"), "file://" + folder,
        "file://" + folder + "/sub/../../x.tcache", "file://" + folder + "/planted.tcache", std::string("not a url")}) {
    const auto url = tcache("https://ads.adnetwork.example/r?file=" + ZUMPercentEncodedString(file));
    const auto outcome = load(url);
    EXPECT_FALSE(outcome.cache) << file;
    ASSERT_TRUE(outcome.error) << file;
    EXPECT_EQ(outcome.error->localizedDescription(), "Failed to load tcache URL " + url->absoluteString()) << file;
  }
}

TEST_F(ZUMTCacheURLLoaderTest, UnfitURLsAndFailedDownloadsFailWithCode11) {
  struct Row {
    std::optional<platform::URL> url;
    std::string text;
  };
  const std::vector<Row> rows = {
      {platform::URL::fromString("https://ads.adnetwork.example/clip.mp4"),
       "Provided URL https://ads.adnetwork.example/clip.mp4 isn't a valid tcache URL."},
      {tcache("file:///etc/hosts"), ""},
  };
  for (const auto& row : rows) {
    const auto outcome = load(row.url);
    EXPECT_FALSE(outcome.cache);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), kZUMErrorInternalError);
    if (!row.text.empty()) {
      EXPECT_EQ(outcome.error->localizedDescription(), row.text);
    }
  }
}

TEST_F(ZUMTCacheURLLoaderTest, StartCacheMessagesPrefetchThroughThePage) {
  hosts.server.route("/clip.mp4", testenv::ScriptedResponse{.status = 200, .body = "frames"});
  auto handler = ZUMTCacheTOLMHandler::create();
  auto adView = ZUMAdView::create();
  const auto message = "tolm://x/tcache?action=start_cache&url=" +
                       ZUMPercentEncodedString(tcache("https://ads.adnetwork.example/clip.mp4")->absoluteString());
  EXPECT_TRUE(handler->handleRequest(platform::URLRequest(*platform::URL::fromString(message)), adView));
  EXPECT_TRUE(
      handler->handleRequest(platform::URLRequest(*platform::URL::fromString("tolm://x/tcache?action=x")), adView));
  EXPECT_EQ(handler->runningLoaderCount(), 1u);
  ASSERT_TRUE(env.runUntil(
      [&] { return handler->runningLoaderCount() == 0 && hosts.server.requests("/clip.mp4").size() == 1; }));
}

}  // namespace
