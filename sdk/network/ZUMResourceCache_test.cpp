#include "sdk/network/ZUMResourceCache.h"

#include <cerrno>
#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/base/FileManager.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/net/URLLoading.h"
#include "platform/net/URLProtocol.h"
#include "sdk/errors/ZUMErrors.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return bytes;
}

class Recorder : public ZUMResourceCacheDelegate {
 public:
  using Cache = std::shared_ptr<ZUMResourceCache>;
  void resourceCacheDidStartCaching(const Cache&) override { add("start"); }
  void resourceCacheDidReceiveResponse(const Cache&) override { add("response"); }
  void resourceCacheDidReceiveData(const Cache&) override {
    if (events.empty() || events.back() != "data") add("data");
  }
  void resourceCacheDidSucceedCaching(const Cache&) override { add("success"); }
  void resourceCacheDidFailCachingWithError(const Cache&, const platform::ErrorPtr& e) override {
    error = e;
    add("failure");
  }
  void add(std::string event) {
    done = done || event == "success" || event == "failure";
    events.push_back(std::move(event));
    mainThread = mainThread && platform::isMainThread();
  }

  std::vector<std::string> events;
  platform::ErrorPtr error;
  bool done = false;
  bool mainThread = true;
};

// Answers "http://stream.test/..." with a response announcing 1000 bytes and 100 bytes of
// them, then nothing: a download that stays in progress while virtual time passes.
class StalledStream : public platform::URLProtocol {
 public:
  using URLProtocol::URLProtocol;
  static bool canInitWithRequest(const platform::URLRequest& request) {
    return request.url() && request.url()->host() == "stream.test";
  }
  void startLoading() override {
    client()->URLProtocolDidReceiveResponse(
        *this,
        platform::HTTPURLResponse(*request().url(), 200, platform::HTTPHeaderFields{{"Content-Length", "1000"}}));
    client()->URLProtocolDidLoadData(*this, std::string(100, 'x'));
  }
  void stopLoading() override {}
};

class ZUMResourceCacheTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("cdn.example.com", "127.0.0.1", server.port());
    server.route("/video.mp4", {.body = body, .contentType = "video/mp4", .ranges = true});
    server.route("/whole.mp4", {.body = body, .contentType = "video/mp4"});
    platform::URLProtocol::registerClass<StalledStream>();
  }
  void TearDown() override {
    platform::URLProtocol::unregisterClass<StalledStream>();
    platform::URLLoading::removeHostMappingsForTesting();
  }

  platform::URL fileURL(const std::string& name) { return platform::URL::fileURL(env.temporaryDirectory() / name); }

  static platform::URLRequest request(const std::string& path, std::optional<std::string> range = std::nullopt) {
    platform::URLRequest request(*platform::URL::fromString("https://cdn.example.com" + path));
    if (range) request.setValue(*range, "Range");
    return request;
  }
  // A cache into a temporary file removed with the cache.
  std::shared_ptr<ZUMResourceCache> cache(const std::string& path, const std::string& file,
                                          std::optional<std::string> range = std::nullopt) {
    return ZUMResourceCache::create(request(path, range), fileURL(file), /*removeFileOnDealloc=*/true);
  }

  std::shared_ptr<Recorder> run(const std::shared_ptr<ZUMResourceCache>& cache, bool toTheEnd = true) {
    auto recorder = std::make_shared<Recorder>();
    cache->setDelegate(recorder);
    cache->start();
    EXPECT_TRUE(!toTheEnd || env.runUntil([&] { return recorder->done; }));
    return recorder;
  }

  std::shared_ptr<ZUMResourceCache> stalled() {
    auto cache = ZUMResourceCache::create(platform::URLRequest(*platform::URL::fromString("http://stream.test/v")),
                                          fileURL("stalled"), true);
    cache->start();
    EXPECT_TRUE(env.runUntil([&] { return cache->cachedContentSize() == 100; }));
    return cache;
  }

  const std::string body = pattern(200 * 1024 + 17);
  testenv::LoopbackServer server;
};

TEST_F(ZUMResourceCacheTest, DownloadsIntoTheFileAndTellsDelegateAndObserversOnTheMainThread) {
  auto video = cache("/video.mp4", "a.cache");
  int updates = 0;
  bool updatesOnMain = true;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMResourceCacheDidUpdateCacheNotification, video, nullptr, [&](const platform::Notification&) {
        ++updates;
        updatesOnMain = updatesOnMain && platform::isMainThread();
      });
  auto recorder = run(video);
  platform::NotificationCenter::defaultCenter().removeObserver(token);

  EXPECT_EQ(recorder->events, (std::vector<std::string>{"start", "response", "data", "success"}));
  EXPECT_TRUE(recorder->mainThread);
  EXPECT_GE(updates, 2);  // data and the end
  EXPECT_TRUE(updatesOnMain);
  EXPECT_EQ(video->contentType(), "video/mp4");
  EXPECT_EQ(video->dataWithRange(0, static_cast<std::int64_t>(body.size()), nullptr), body);

  const auto path = env.temporaryDirectory() / "a.cache";
  EXPECT_TRUE(std::filesystem::exists(path));
  video.reset();
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ZUMResourceCacheTest, AFileThatCannotBeMadeFailsWithThePlatformsPOSIXError) {
  auto recorder = run(cache("/whole.mp4", "missing-folder/a.cache"));
  EXPECT_EQ(recorder->events, std::vector<std::string>{"failure"});
  ASSERT_TRUE(recorder->error && recorder->error->underlyingError());
  EXPECT_EQ(recorder->error->underlyingError()->code(), ENOENT);
}

TEST_F(ZUMResourceCacheTest, ACacheIDNamesAFileInTheSDKCacheFolderThatStays) {
  platform::ErrorPtr error;
  auto byID = ZUMResourceCache::create(request("/whole.mp4"), std::string("abc"), &error);
  ASSERT_TRUE(byID);
  const auto path = env.cachesDirectory() / "Morvane" / "900150983cd24fb0d6963f7d28e17f72.tcache";
  EXPECT_EQ(byID->fileURL(), platform::URL::fileURL(path));
  run(byID);
  byID.reset();
  EXPECT_EQ(platform::FileManager::readFile(path), body);
}

TEST_F(ZUMResourceCacheTest, ByteCapsAndRangesHoldTheRequestedBytes) {
  auto capped = cache("/whole.mp4", "cap.cache");
  capped->setMaxBytes(1000);
  EXPECT_EQ(run(capped)->events.back(), "success");
  EXPECT_EQ(platform::FileManager::fileSize(env.temporaryDirectory() / "cap.cache"), 1000u);

  auto closed = cache("/video.mp4", "r2", "bytes=100-199");
  run(closed);
  EXPECT_EQ(closed->contentLength(), 100);
  EXPECT_EQ(closed->dataWithRange(0, 100, nullptr), body.substr(100, 100));
  EXPECT_EQ(server.requests("/video.mp4").back().header("Range"), "bytes=100-199");
}

TEST_F(ZUMResourceCacheTest, AnswersWithoutTheRequestedBytesFail) {
  server.route("/liar",
               {.status = 206, .headers = {{"Content-Range", "bytes 0-99/1000"}}, .body = body.substr(0, 100)});
  server.route("/bare", {.status = 206, .body = body.substr(0, 100)});
  // Ignoring the range (the whole file with 200), other bytes than asked, no Content-Range,
  // a 206 nobody asked for, an HTTP error, an unsatisfiable range.
  for (const auto& [path, range] :
       std::vector<std::pair<std::string, std::optional<std::string>>>{{"/whole.mp4", "bytes=5000-"},
                                                                       {"/liar", "bytes=500-"},
                                                                       {"/bare", "bytes=0-99"},
                                                                       {"/liar", std::nullopt},
                                                                       {"/missing", std::nullopt},
                                                                       {"/video.mp4", "bytes=999999999-"}}) {
    auto failing = cache(path, "failing", range);
    auto recorder = run(failing);
    EXPECT_EQ(recorder->events.back(), "failure") << path;
    ASSERT_TRUE(recorder->error) << path;
    EXPECT_TRUE(recorder->error->userInfoString(kZUMErrorHTTPStatusKey)) << path;
    EXPECT_FALSE(failing->isValid());
    // Only the whole file for a range says the server ignores ranges.
    EXPECT_EQ(failing->serverIgnoredRange(), path == "/whole.mp4") << path;
  }
}

TEST_F(ZUMResourceCacheTest, RangedReadsOfMissingBytesAreErrors) {
  auto read = ZUMResourceCache::create(request("/whole.mp4"), fileURL("read"), false);
  run(read);
  const std::string expected = "Failed to read file " + read->fileURL().absoluteString();
  const auto size = read->cachedContentSize();
  for (auto [offset, length] :
       std::vector<std::pair<std::int64_t, std::int64_t>>{{-1, 10}, {0, -1}, {size - 5, 6}, {INT64_MAX, INT64_MAX}}) {
    platform::ErrorPtr error;
    EXPECT_FALSE(read->dataWithRange(offset, length, &error)) << offset << " " << length;
    EXPECT_EQ(error ? error->localizedDescription() : "", expected);
  }
  EXPECT_EQ(read->dataWithRange(size, 0, nullptr), "");
  // A file cut shorter than recorded.
  std::filesystem::resize_file(env.temporaryDirectory() / "read", 100);
  EXPECT_FALSE(read->dataWithRange(50, 100, nullptr));
}

TEST_F(ZUMResourceCacheTest, CancellingEndsCachingOnce) {
  server.route("/held", {.body = body, .held = true});
  auto withError = cache("/held", "c1");
  auto recorder = run(withError, false);
  env.runUntilIdle();
  const auto failure = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "stop");
  withError->cancelWithError(failure);
  withError->cancelWithError(nullptr);
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"start", "failure"}));
  EXPECT_EQ(recorder->error, failure);

  auto plain = cache("/held", "c2");
  auto plainRecorder = run(plain, false);
  plain->cancelWithError(nullptr);
  EXPECT_TRUE(plain->isValid());
  server.release("/held");
  env.runUntilIdle();
  plain->start();  // ended: does nothing
  env.runUntilIdle();
  EXPECT_EQ(plainRecorder->events, (std::vector<std::string>{"failure"}));
  EXPECT_EQ(plainRecorder->error, nullptr);
}

TEST_F(ZUMResourceCacheTest, WillHaveByteWithinTimeFollowsTheMeasuredSpeed) {
  EXPECT_FALSE(ZUMResourceCacheWillHaveByteWithinTime(nullptr, 0, 0, 10));
  EXPECT_FALSE(ZUMResourceCacheWillHaveByteWithinTime(cache("/whole.mp4", "idle"), 0, 0, 10));  // not started

  auto stream = stalled();
  EXPECT_TRUE(ZUMResourceCacheWillHaveByteWithinTime(stream, 1000, 1099, 0));    // cached, at its start
  EXPECT_FALSE(ZUMResourceCacheWillHaveByteWithinTime(stream, 1000, 999, 1e9));  // before its start
  EXPECT_TRUE(ZUMResourceCacheWillHaveByteWithinTime(stream, 0, 500, 0));        // no time passed: no speed yet
  env.advance(10);                                                               // 10 bytes per second
  EXPECT_NEAR(stream->networkSpeedInBytesPerSecond(), 10, 1e-9);
  EXPECT_TRUE(ZUMResourceCacheWillHaveByteWithinTime(stream, 0, 199, 10));  // 100 missing bytes
  EXPECT_FALSE(ZUMResourceCacheWillHaveByteWithinTime(stream, 0, 199, 9.9));
  EXPECT_FALSE(ZUMResourceCacheWillHaveByteWithinTime(stream, INT64_MIN, INT64_MAX, 10));

  // Lowering the cap below what is cached ends the download as a success...
  stream->setMaxBytes(50);
  EXPECT_TRUE(stream->isCompleted() && stream->isValid());
  // ...and a completed download will not get bytes it does not have.
  EXPECT_FALSE(ZUMResourceCacheWillHaveByteWithinTime(stream, 0, 150, 1e9));

  // An invalid cache has no bytes to offer.
  stream.reset();
  stream = stalled();
  stream->cancelWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError));
  EXPECT_FALSE(ZUMResourceCacheWillHaveByteWithinTime(stream, 0, 0, 10));
}

TEST(ZUMResourceCacheCheckResponse, AcceptsOnlyAnswersHoldingTheRequestedBytes) {
  const auto url = *platform::URL::fromString("https://cdn.example.com/v");
  auto check = [&](std::optional<std::string> range, int status, platform::HTTPHeaderFields headers) {
    platform::URLRequest request(url);
    if (range) request.setValue(*range, "Range");
    std::int64_t length = -2;
    auto error = ZUMResourceCache::checkResponse(request, platform::HTTPURLResponse(url, status, headers), &length);
    return error ? -2 : length;
  };
  EXPECT_EQ(check(std::nullopt, 200, {{"Content-Length", "10"}}), 10);
  EXPECT_EQ(check("bytes=5-", 206, {{"Content-Range", "bytes 5-9/10"}}), 5);
  EXPECT_EQ(check("bytes=5-100", 206, {{"Content-Range", "bytes 5-9/10"}, {"Content-Length", "5"}}), 5);
  EXPECT_EQ(check("bytes=5-", 206, {{"Content-Range", "bytes 5-9/10"}, {"Content-Length", "6"}}), -2);
  EXPECT_EQ(check("bytes=5-7", 206, {{"Content-Range", "bytes 5-9/10"}}), -2);
  EXPECT_EQ(check("bytes=5-", 200, {{"Content-Length", "10"}}), -2);
  EXPECT_EQ(check("bytes=-5", 206, {{"Content-Range", "bytes 5-9/10"}}), -2);
  EXPECT_EQ(check("bytes=1-2,4-5", 206, {{"Content-Range", "bytes 1-2/10"}}), -2);
  EXPECT_EQ(check("bytes=99999999999999999999-", 206, {{"Content-Range", "bytes 5-9/10"}}), -2);
  EXPECT_EQ(check(std::nullopt, 304, {}), -2);
}

}  // namespace
