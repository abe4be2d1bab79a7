#include "platform/media/ByteSource.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/media/HTTPByteSource.h"
#include "platform/media/LoaderByteSource.h"
#include "platform/media/MediaError.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

// A source the test feeds by hand; fetches are recorded.
class HandSource final : public ByteSource {
 public:
  using ByteSource::deliver;
  using ByteSource::fail;
  using ByteSource::setLength;
  std::vector<std::int64_t> fetches;
  std::optional<std::int64_t> reach;

 private:
  void fetch(std::int64_t offset) override {
    fetches.push_back(offset);
    reach = offset;
  }
  bool fetchWillReach(std::int64_t offset) const override { return reach && offset >= *reach; }
};

std::string readAll(ByteSource& source, std::int64_t offset, std::int64_t size) {
  std::string out(static_cast<std::size_t>(size), '\0');
  const auto got = source.read(offset, reinterpret_cast<std::uint8_t*>(out.data()), size);
  out.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, got)));
  return out;
}

TEST(ByteSourceTest, KeepsDisjointRangesAndMergesThem) {
  HandSource source;
  source.setLength(100);
  source.deliver(10, "abcde");
  source.deliver(40, "xyz");
  EXPECT_EQ(source.availableRanges(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{10, 15}, {40, 43}}));
  EXPECT_EQ(source.contiguousLength(), 0);
  source.deliver(0, std::string(10, '0'));
  source.deliver(15, std::string(25, '1'));
  EXPECT_EQ(source.availableRanges(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 43}}));
  EXPECT_EQ(source.contiguousLength(), 43);
  EXPECT_EQ(readAll(source, 8, 4), "00ab");
  EXPECT_EQ(readAll(source, 41, 10), "yz");  // stops where the held bytes stop
  // Bytes past the length are not kept.
  source.deliver(98, "pqrs");
  EXPECT_EQ(source.availableRanges().back(), (std::pair<std::int64_t, std::int64_t>{98, 100}));
  EXPECT_EQ(readAll(source, 100, 4), "");  // the end
  EXPECT_EQ(source.read(-1, nullptr, 4), -1);
  source.deliver(-3, "abcd");
  source.deliver(120, "late");
  EXPECT_EQ(source.availableRanges(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 43}, {98, 100}}));
}

TEST(ByteSourceTest, AReaderFetchesOnceAndWaitsForTheBytes) {
  HandSource source;
  source.setLength(1000);
  std::string got;
  std::thread reader([&] { got = readAll(source, 500, 3); });
  while (!source.isWaitingForData()) std::this_thread::yield();
  source.deliver(400, std::string(50, 'x'));  // not what the reader needs
  source.deliver(500, "abc");
  reader.join();
  EXPECT_EQ(got, "abc");
  EXPECT_EQ(source.fetches, std::vector<std::int64_t>{500});
  EXPECT_FALSE(source.isWaitingForData());
}

TEST(ByteSourceTest, FailureAndCancellationEndEveryWait) {
  for (bool cancel : {true, false}) {
    HandSource source;
    std::int64_t result = 0;
    std::thread reader([&] {
      std::uint8_t byte;
      result = source.read(0, &byte, 1);
    });
    while (!source.isWaitingForData()) std::this_thread::yield();
    if (cancel) {
      source.cancel();
    } else {
      source.fail(makeURLError(kURLErrorTimedOut));
    }
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(source.error() != nullptr, !cancel);
    source.deliver(0, "late");
    EXPECT_TRUE(source.availableRanges().empty());
  }
}

TEST(ByteSourceTest, ALengthBeyondTheLimitFails) {
  HandSource source;
  source.setLength(ByteSource::kMaxLength + 1);
  ASSERT_TRUE(source.error());
  EXPECT_EQ(source.error()->code(), kURLErrorDataLengthExceedsMaximum);
}

class NetworkSourceTest : public testenv::PlatformTest {
 protected:
  std::int64_t readOnMain(ByteSource& source, std::int64_t offset, std::string& out) {
    std::int64_t got = 0;
    std::atomic<bool> done{false};
    std::thread reader([&] {
      out.assign(8, '\0');
      got = source.read(offset, reinterpret_cast<std::uint8_t*>(out.data()), 8);
      done = true;
    });
    if (!env.runUntil([&] { return done.load(); })) {
      ADD_FAILURE() << "the read did not end";
      source.cancel();
    }
    reader.join();
    out.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, got)));
    return got;
  }
  testenv::LoopbackServer server;
};

TEST_F(NetworkSourceTest, AnswersThatDoNotHoldTheBytesAskedForFail) {
  const std::string body = "0123456789abcdefghij";
  const struct {
    const char* name;
    testenv::ScriptedResponse response;
    std::int64_t offset;
    std::int64_t result;
    std::string bytes;
  } cases[] = {
      {"ranges", {.body = body, .ranges = true}, 10, 8, "abcdefgh"},
      {"ranges ignored", {.body = body}, 10, 8, "abcdefgh"},
      {"not found", {.status = 404, .body = "no"}, 0, -1, ""},
      {"a range elsewhere",
       {.status = 206, .headers = {{"Content-Range", "bytes 0-3/20"}}, .body = "0123"},
       10,
       -1,
       ""},
      {"ranges that never bring bytes", {.status = 206, .headers = {{"Content-Range", "bytes 10-19/20"}}}, 10, -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.route("/r", c.response);
    auto source = HTTPByteSource::create(*URL::fromString(server.baseURL() + "/r"));
    std::string out;
    EXPECT_EQ(readOnMain(*source, c.offset, out), c.result);
    EXPECT_EQ(out, c.bytes);
  }
}

// Finishes every request without data.
class SilentDelegate final : public AssetResourceLoaderDelegate {
 public:
  bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      AssetResourceLoader&, const std::shared_ptr<AssetResourceLoadingRequest>& request) override {
    if (auto* info = request->contentInformationRequest()) info->setContentLength(1000);
    ++asked;
    request->finishLoading();
    return true;
  }
  int asked = 0;
};

TEST_F(NetworkSourceTest, ALoaderThatNeverGivesDataFailsTheSourceInsteadOfBeingAskedForEver) {
  auto loader = AssetResourceLoader::create();
  auto delegate = std::make_shared<SilentDelegate>();
  loader->setDelegate(delegate, nullptr);
  auto source = LoaderByteSource::create(*URL::fromString("clip-scheme://media.example/x"), loader);
  std::string out;
  EXPECT_EQ(readOnMain(*source, 0, out), -1);
  ASSERT_TRUE(source->error());
  EXPECT_EQ(source->error()->domain(), kMediaErrorDomain);
  EXPECT_EQ(delegate->asked, 4);  // the probe, then three empty answers
}

// Answers the probe, then holds every data request.
class HoldingDelegate final : public AssetResourceLoaderDelegate {
 public:
  bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      AssetResourceLoader&, const std::shared_ptr<AssetResourceLoadingRequest>& request) override {
    if (auto* info = request->contentInformationRequest()) {
      info->setContentType("public.mpeg-4");
      info->setContentLength(1000);
      request->respondWithData("ab");
      request->finishLoading();
    } else {
      held.push_back(request);
    }
    return true;
  }
  void resourceLoaderDidCancelLoadingRequest(AssetResourceLoader&,
                                             const std::shared_ptr<AssetResourceLoadingRequest>& request) override {
    cancelled.push_back(request);
  }
  std::vector<std::shared_ptr<AssetResourceLoadingRequest>> held, cancelled;
};

TEST_F(NetworkSourceTest, ALoaderSourceAsksForTheRestAndCancelsWhatItNoLongerNeeds) {
  auto loader = AssetResourceLoader::create();
  auto delegate = std::make_shared<HoldingDelegate>();
  loader->setDelegate(delegate, nullptr);
  auto source = LoaderByteSource::create(*URL::fromString("clip-scheme://media.example/x"), loader);
  std::int64_t got = 0;
  std::thread reader([&] {
    std::uint8_t bytes[8];
    got = source->read(2, bytes, 8);
  });
  ASSERT_TRUE(env.runUntil([&] { return !delegate->held.empty() && source->isWaitingForData(); }));
  EXPECT_EQ(source->contentType(), "public.mpeg-4");
  EXPECT_EQ(source->length(), 1000);
  auto* data = delegate->held[0]->dataRequest();
  ASSERT_TRUE(data);
  EXPECT_EQ(data->requestedOffset(), 2);
  EXPECT_EQ(data->requestedLength(), 998);
  EXPECT_TRUE(data->requestsAllDataToEndOfResource());
  source->cancel();
  reader.join();
  EXPECT_EQ(got, -1);
  auto request = delegate->held[0];
  source.reset();
  env.runUntilIdle();
  EXPECT_EQ(delegate->cancelled, std::vector<std::shared_ptr<AssetResourceLoadingRequest>>{request});
  EXPECT_TRUE(request->isCancelled());
  request->respondWithData("late");  // ignored
  EXPECT_EQ(request->dataRequest()->currentOffset(), 2);
}

}  // namespace
}  // namespace platform
