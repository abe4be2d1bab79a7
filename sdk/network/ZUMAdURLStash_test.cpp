#include "sdk/network/ZUMAdURLStash.h"

#include <thread>

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::URL;
using platform::URLRequest;

URL url(const std::string& string) { return *URL::fromString(string); }

URLRequest pageRequest(const std::string& resource, const std::string& page) {
  URLRequest request(url(resource));
  request.setMainDocumentURL(url(page));
  return request;
}

// "<type> <URL>" for each resource of the view's record.
std::vector<std::string> urls(const std::shared_ptr<ZUMAdViewResourceCollection>& record) {
  std::vector<std::string> list;
  for (const auto& resource : record->resources()) {
    list.push_back(std::to_string(resource.type) + " " + resource.URLString);
  }
  return list;
}

class ZUMAdURLStashTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<ZUMAdURLStash> stash = ZUMAdURLStash::sharedInstance();
  const ZUMAdViewKey viewA = ZUMAdURLStash::newAdViewKey();
  const ZUMAdViewKey viewB = ZUMAdURLStash::newAdViewKey();
};

TEST_F(ZUMAdURLStashTest, RecordsLoadsPerViewAndDropsTheOldRecordOnRootContent) {
  const std::string page = "https://ads.example.com/ad.html";
  stash->adViewWillLoadRootContent(viewA);
  stash->adViewDidStartLoad(viewA);
  stash->adViewWillLoadURLRequest(viewA, pageRequest(page, page));
  const URLRequest image = pageRequest("https://cdn.example.com/a.png", page);
  stash->adViewWillLoadURLRequest(viewA, image);
  stash->adViewRequestWillReceiveResponse(
      viewA, image, platform::HTTPURLResponse(*image.url(), 200, {{"Content-Type", "image/png"}}));
  stash->adViewRequestDidReceiveData(viewA, image, "1234");
  stash->adViewRequestDidReceiveData(viewA, image, "56");
  stash->adViewDidFinishLayout(viewA);
  stash->adViewDidFinishLoad(viewA);
  stash->adViewDidClickThroughToURL(viewA, url("https://advertiser.example.com/"));
  stash->adViewDidAttemptAutoClickRequest(viewA, URLRequest(url("https://spam.example.com/")));
  stash->adViewWillLoadURLRequest(viewB, URLRequest(url("https://other.example.com/b.js")));

  auto a = stash->resourceCollectionForAdView(viewA);  // waits for the stash's queue
  EXPECT_EQ(a->mainDocumentURLString(), page);
  EXPECT_EQ(urls(a), (std::vector<std::string>{"1 " + page, "0 https://cdn.example.com/a.png",
                                               "2 https://advertiser.example.com/", "3 https://spam.example.com/"}));
  EXPECT_EQ(a->resources()[1].MIMEType, "image/png");
  EXPECT_EQ(a->resources()[1].receivedBytes, 6u);
  EXPECT_EQ(a->loadsFinished() + a->layoutsFinished(), 2u);

  // New root content: the old record goes, the other view's stays.
  stash->adViewWillLoadRootContent(viewA);
  EXPECT_TRUE(stash->resourceCollectionForAdView(viewA)->resources().empty());
  EXPECT_EQ(urls(stash->resourceCollectionForAdView(viewB)),
            std::vector<std::string>{"0 https://other.example.com/b.js"});
}

TEST_F(ZUMAdURLStashTest, OnlyAStartedLoadOrARequestMakesARecordAndStrayEventsAreDropped) {
  const URLRequest request(url("https://ads.example.com/x.js"));
  stash->adViewDidFinishLayout(viewA);
  stash->adViewDidClickThroughToURL(viewA, url("https://advertiser.example.com/"));
  stash->adViewRequestDidReceiveData(viewA, request, "data");
  stash->adViewDidStartLoad(0);
  stash->adViewWillLoadURLRequest(0, request);
  EXPECT_FALSE(stash->resourceCollectionForAdView(viewA));
  stash->removeAdView(viewA);
  EXPECT_FALSE(stash->resourceCollectionForAdView(0));

  // A response for a URL the view never requested is not recorded, nor a request without a URL.
  stash->adViewDidStartLoad(viewA);
  stash->adViewRequestWillReceiveResponse(viewA, request, platform::HTTPURLResponse(*request.url(), 200, {}));
  stash->adViewWillLoadURLRequest(viewA, URLRequest());
  stash->adViewDidAttemptAutoClickRequest(viewA, URLRequest());
  EXPECT_EQ(urls(stash->resourceCollectionForAdView(viewA)), std::vector<std::string>{"3 "});
}

TEST_F(ZUMAdURLStashTest, RemovedViewsRecordGoesToReportingOnTheStashQueueOnce) {
  std::vector<std::pair<ZUMAdViewKey, std::vector<std::string>>> handed;
  bool onMainThread = true;
  stash->setRemovedRecordHandler([&](ZUMAdViewKey adView, std::shared_ptr<ZUMAdViewResourceCollection> record) {
    handed.emplace_back(adView, urls(record));
    onMainThread = platform::DispatchQueue::main()->isCurrent();
  });
  stash->adViewWillLoadURLRequest(viewA, URLRequest(url("https://ads.example.com/1.js")));
  stash->removeAdView(viewA);
  stash->removeAdView(viewA);  // already gone: nothing more
  EXPECT_TRUE(handed.empty());
  env.runUntilIdle();
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].first, viewA);
  EXPECT_EQ(handed[0].second, std::vector<std::string>{"0 https://ads.example.com/1.js"});
  EXPECT_FALSE(onMainThread);
}

TEST_F(ZUMAdURLStashTest, ARecordNeverMovesToANewView) {
  // Views made one after another, each gone before the next (even without its
  // removeAdView(), even at the same address): every new view starts with no record.
  for (int i = 0; i < 3; ++i) {
    const ZUMAdViewKey key = ZUMAdURLStash::newAdViewKey();
    EXPECT_FALSE(stash->resourceCollectionForAdView(key)) << i;
    stash->adViewWillLoadURLRequest(key, URLRequest(url("https://ads.example.com/" + std::to_string(i))));
  }
}

TEST_F(ZUMAdURLStashTest, GreedyCollectionKeepsResourcesAcrossMainDocumentChanges) {
  const std::string first = "https://ads.example.com/first.html";
  stash->adViewWillLoadURLRequest(viewA, pageRequest("https://cdn.example.com/1.js", first));
  stash->adViewWillLoadURLRequest(viewA, pageRequest("https://cdn.example.com/2.js", "https://ads.example.com/2.htm"));
  const std::vector<std::string> second{"0 https://cdn.example.com/2.js"};
  EXPECT_EQ(urls(stash->resourceCollectionForAdView(viewA)), second);

  ZUMAdViewResourceCollection::setGreedyCollectionEnabled(true);
  stash->adViewWillLoadURLRequest(viewA, pageRequest("https://cdn.example.com/3.js", first));
  auto record = stash->resourceCollectionForAdView(viewA);
  EXPECT_EQ(record->mainDocumentURLString(), first);
  EXPECT_EQ(urls(record), (std::vector<std::string>{second[0], "0 https://cdn.example.com/3.js"}));
}

TEST_F(ZUMAdURLStashTest, APageThatRequestsWithoutEndKeepsABoundedRecord) {
  auto record = ZUMAdViewResourceCollection::create();
  const URLRequest request(url("https://ads.example.com/loop.js"));
  for (std::size_t i = 0; i < ZUMAdViewResourceCollection::kMaxResources + 5; ++i) record->addRequest(request);
  EXPECT_EQ(record->resources().size(), ZUMAdViewResourceCollection::kMaxResources);
  EXPECT_EQ(record->droppedResourceCount(), 5u);
  record->addData(request, SIZE_MAX);
  record->addData(request, SIZE_MAX);  // saturates instead of wrapping
  EXPECT_EQ(record->resources().back().receivedBytes, UINT64_MAX);
}

// Real threads: views report from several threads at once; each view's record keeps all
// of its requests in its own order.
TEST(ZUMAdURLStashThreadedTest, ViewsReportingFromManyThreadsKeepTheirOwnOrder) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  auto stash = ZUMAdURLStash::sharedInstance();
  ZUMAdViewKey views[4] = {};
  std::vector<std::thread> threads;
  for (ZUMAdViewKey& view : views) {
    view = ZUMAdURLStash::newAdViewKey();
    threads.emplace_back([&stash, view] {
      for (int i = 0; i < 100; ++i) {
        stash->adViewWillLoadURLRequest(view, URLRequest(url("https://ads.example.com/" + std::to_string(i))));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (ZUMAdViewKey view : views) {
    auto record = stash->resourceCollectionForAdView(view);
    ASSERT_TRUE(record && record->resources().size() == 100u);
    EXPECT_EQ(record->resources()[99].URLString, "https://ads.example.com/99");
  }
}

}  // namespace
