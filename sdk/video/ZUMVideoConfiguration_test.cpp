#include "sdk/rendering/ZUMVideoConfiguration.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/ui/DeviceProfile.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

class ZUMVideoConfigurationTest : public testenv::PlatformTest {
 protected:
  void store(const Json& value) {
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(value, "/vantor/ads/zums:video_configuration"));
  }
};

// Every static setting, and the dynamic ones, as one line.
std::string describe(const ZUMVideoConfigurationImpl& c) {
  std::ostringstream out;
  out << "avBuffering=" << c.enableAVPlayerPlaybackBuffering()
      << " ignoreCPT=" << c.videoBufferShouldIgnoreCanPlayThrough() << " advance=" << c.enableAdvanceBufferingControl()
      << " inMemory=" << c.enableInMemoryVideoBuffer() << " precache=" << c.precacheMaxBufferBytes()
      << " wait=" << c.videoAssetLoaderMaxDownloadWaitTimeInterval()
      << " size=" << c.videoAssetLoaderMaxContentSizeInBytes() << " chunk=" << c.videoAssetMaxLoadableChunkSizeInBytes()
      << " refresh=" << c.assetLoadingPlayerItemRefreshInterval() << " check=" << c.precacheUpdateCheckIntervals()
      << " noUpdate=" << c.assetLoadingPlayerItemNoBufferUpdateMaxContentSize()
      << " content=" << c.assetLoadingPlayerItemMaxContentLoadingFailedAttempts()
      << " data=" << c.assetLoadingPlayerItemMaxDataLoadingFailedAttempts() << " min=" << c.minBufferTimeInterval()
      << " max=" << c.maxBufferTimeInterval() << " play=" << c.bufferForPlaybackTimeInterval()
      << " rebuffer=" << c.bufferForPlaybackAfterRebufferTimeInterval();
  return out.str();
}

constexpr const char* kDefaults =
    "avBuffering=1 ignoreCPT=1 advance=0 inMemory=0 precache=-1 wait=0 size=-1 chunk=-1 refresh=0 check=0 noUpdate=-1 "
    "content=1 data=-1 min=0 max=0 play=0 rebuffer=0";

struct Case {
  const char* os;
  const char* dictionary;
  const char* expected;
};

// The device reads its version once: one OS version a test.
void expectCases(const char* os, const std::vector<Case>& cases) {
  ASSERT_TRUE(platform::DeviceProfile::apply(Json{{"systemVersion", os}}));
  for (const auto& c : cases) {
    if (std::string(c.os) != os) continue;
    SCOPED_TRACE(std::string(c.os) + " " + c.dictionary);
    EXPECT_EQ(describe(*ZUMVideoConfigurationImpl::create(Json::parse(c.dictionary))), c.expected);
  }
}

const std::vector<Case> kCases = {
    {"12.4.1", "{}", kDefaults},
    {"12.4.1", R"({"bufferForPlaybackMs": 2500})",
     "avBuffering=0 ignoreCPT=0 advance=0 inMemory=0 precache=-1 wait=0 size=-1 chunk=-1 refresh=0 check=0 "
     "noUpdate=-1 content=1 data=-1 min=0 max=0 play=2.5 rebuffer=0"},
    {"10.0.0", R"({"bufferForPlaybackMs": "2500"})",
     "avBuffering=0 ignoreCPT=0 advance=0 inMemory=0 precache=-1 wait=0 size=-1 chunk=-1 refresh=0 check=0 "
     "noUpdate=-1 content=1 data=-1 min=0 max=0 play=2.5 rebuffer=0"},
    {"9.3.5", R"({"bufferForPlaybackMs": 2500, "enableAVPlayerPlaybackBuffering": false})",
     "avBuffering=1 ignoreCPT=1 advance=0 inMemory=0 precache=-1 wait=0 size=-1 chunk=-1 refresh=0 check=0 "
     "noUpdate=-1 content=1 data=-1 min=0 max=0 play=2.5 rebuffer=0"},
    {"12.4.1", R"({"maxBufferMs": 30000, "enableAVPlayerPlaybackBuffering": true, "bufferForPlaybackMs": 1})",
     "avBuffering=1 ignoreCPT=1 advance=1 inMemory=0 precache=-1 wait=0 size=-1 chunk=-1 refresh=0 check=0 "
     "noUpdate=-1 content=1 data=-1 min=0 max=30 play=0.001 rebuffer=0"},
    {"12.4.1", R"({"minBufferMs": 1000, "bufferForPlaybackMs": 1})",
     "avBuffering=0 ignoreCPT=0 advance=1 inMemory=0 precache=-1 wait=0 size=-1 chunk=-1 refresh=0 check=0 "
     "noUpdate=-1 content=1 data=-1 min=1 max=0 play=0.001 rebuffer=0"},
    // Every key, explicit values winning over the derived defaults.
    {"12.4.1",
     R"({"minBufferMs": 1500, "maxBufferMs": 9000, "bufferForPlaybackMs": 250, "bufferForPlaybackAfterRebufferMs": 750,
           "enableAVPlayerPlaybackBuffering": true, "videoBufferShouldIgnoreCanPlayThrough": false,
           "enableAdvanceBufferingControl": false, "enableInMemoryVideoBuffer": "1", "maxBufferBytes": 5000000,
           "videoAssetLoaderMaxDownloadWaitTimeMs": 2000, "videoAssetLoaderMaxContentSizeInBytes": "700000",
           "videoAssetMaxLoadableChunkSizeInBytes": 65536, "assetLoadingPlayerItemRefreshTimeMs": 500,
           "precacheUpdateCheckMs": 300, "assetLoadingPlayerItemNoBufferUpdateMaxContentSize": 4096,
           "assetLoadingPlayerItemMaxContentLoadingFailedAttempts": 3,
           "assetLoadingPlayerItemMaxDataLoadingFailedAttempts": 4})",
     "avBuffering=1 ignoreCPT=0 advance=0 inMemory=1 precache=5000000 wait=2 size=700000 chunk=65536 refresh=0.5 "
     "check=0.3 noUpdate=4096 content=3 data=4 min=1.5 max=9 play=0.25 rebuffer=0.75"},
    // Hostile values: wrong kinds are absent, negative times 0, huge ones capped, limits
    // below -1 none, a chunk of no bytes none.
    {"12.4.1",
     R"({"minBufferMs": -5, "maxBufferMs": 1e300, "bufferForPlaybackMs": {"a": 1}, "maxBufferBytes": -7,
           "videoAssetLoaderMaxDownloadWaitTimeMs": "abc", "videoAssetMaxLoadableChunkSizeInBytes": 0,
           "assetLoadingPlayerItemMaxContentLoadingFailedAttempts": -9, "enableInMemoryVideoBuffer": [1],
           "assetLoadingPlayerItemRefreshTimeMs": "-1e308", "videoAssetLoaderMaxContentSizeInBytes": 1e30})",
     "avBuffering=1 ignoreCPT=1 advance=1 inMemory=0 precache=-1 wait=0 size=9223372036854775807 chunk=-1 "
     "refresh=0 check=0 noUpdate=-1 content=-1 data=-1 min=0 max=3600 play=0 rebuffer=0"},
};

TEST_F(ZUMVideoConfigurationTest, SettingsFollowTheirKeysAndTheirDefaults) { expectCases("12.4.1", kCases); }
TEST_F(ZUMVideoConfigurationTest, BufferForPlaybackTurnsPlatformBufferingOffFromOS10) { expectCases("10.0.0", kCases); }
TEST_F(ZUMVideoConfigurationTest, BeforeOS10PlatformBufferingStaysOn) { expectCases("9.3.5", kCases); }

TEST_F(ZUMVideoConfigurationTest, TheGivenDictionaryOverlaysTheStoredServerSettings) {
  store(R"({"minBufferMs": 1000, "maxBufferMs": 4000, "maxBufferBytes": 9})");
  auto configuration = ZUMVideoConfigurationImpl::create(Json{{"minBufferMs", 2000}});
  EXPECT_EQ(configuration->minBufferTimeInterval(), 2);
  EXPECT_EQ(configuration->maxBufferTimeInterval(), 4);
  EXPECT_EQ(configuration->precacheMaxBufferBytes(), 9);
  // Stored text that is no JSON object, and a given value that is no dictionary, add nothing.
  for (const Json& stored : {Json("not json"), Json("[1, 2]"), Json(42)}) {
    store(stored);
    EXPECT_EQ(describe(*ZUMVideoConfigurationImpl::create(Json::array({1}))), kDefaults) << stored;
  }
}

TEST_F(ZUMVideoConfigurationTest, AnUpdateChangesOnlyTheFourBufferTimes) {
  store(R"({"maxBufferMs": 1000})");
  auto configuration = ZUMVideoConfigurationImpl::create(Json{{"enableInMemoryVideoBuffer", true}});
  const std::string before = describe(*configuration);
  store(R"({"bufferForPlaybackAfterRebufferMs": 8000})");
  configuration->updateDynamicConfigurationWithDictionary(Json::parse(
      R"({"maxBufferMs": 5000, "minBufferMs": 100, "bufferForPlaybackMs": 200, "enableAdvanceBufferingControl": false,
          "maxBufferBytes": 77, "enableInMemoryVideoBuffer": false})"));
  env.runUntilIdle();
  std::string expected = before;
  const auto replace = [&](const std::string& from, const std::string& to) {
    expected.replace(expected.find(from), from.size(), to);
  };
  replace("min=0 max=1 play=0 rebuffer=0", "min=0.1 max=5 play=0.2 rebuffer=8");
  EXPECT_EQ(describe(*configuration), expected);
  EXPECT_NE(before.find("advance=1 inMemory=1 precache=-1"), std::string::npos) << before;
}

TEST_F(ZUMVideoConfigurationTest, ThePagesMessagesMakeThisConfigurationOnceVideoIsRegistered) {
  EXPECT_EQ(ZUMVideoConfiguration::create(Json::object()), nullptr);
  ZUMRegisterBuiltIns();
  auto configuration = ZUMVideoConfiguration::create(Json{{"maxBufferBytes", "123"}});
  ASSERT_TRUE(std::dynamic_pointer_cast<ZUMVideoConfigurationImpl>(configuration));
  EXPECT_EQ(configuration->precacheMaxBufferBytes(), 123);
  // Another kind of configuration, or none, is the default one to the loaders.
  EXPECT_EQ(describe(*ZUMVideoConfigurationImpl::from(nullptr)), kDefaults);
  EXPECT_EQ(ZUMVideoConfigurationImpl::from(configuration), configuration);
}

// The page may update a configuration while the player reads it from the main thread.
TEST(ZUMVideoConfigurationThreadsTest, UpdatesRaceNoReader) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  auto configuration = ZUMVideoConfigurationImpl::create(Json{{"maxBufferMs", 1000}});
  for (int i = 1; i <= 200; ++i) {
    configuration->updateDynamicConfigurationWithDictionary(Json{{"maxBufferMs", 1000 * i}, {"minBufferMs", i}});
    const double max = configuration->maxBufferTimeInterval();
    EXPECT_TRUE(max >= 1 && max <= i) << max;
  }
  EXPECT_TRUE(env.runUntil([&] { return configuration->maxBufferTimeInterval() == 200; }));
  EXPECT_EQ(configuration->minBufferTimeInterval(), 0.2);
}

}  // namespace
