#include "sdk/foundation/ZUMThreading.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMThreadingTest = testenv::PlatformTest;

TEST_F(ZUMThreadingTest, RunOnMainThreadRunsAtOnceOnMainAndDefersFromOtherQueues) {
  std::vector<std::string> order;
  ZUMRunOnMainThread([&] { order.push_back("main, at once"); });
  ZUMRunOnMainThread(nullptr);

  // Attributes choose the kind of queue; the label is kept either way.
  const std::pair<ZUMDispatchQueueAttributes, platform::DispatchQueue::Kind> kinds[] = {
      {ZUMDispatchQueueSerial, platform::DispatchQueue::Kind::Serial},
      {ZUMDispatchQueueConcurrent, platform::DispatchQueue::Kind::Concurrent}};
  for (const auto& [attributes, kind] : kinds) {
    auto made = ZUMDispatchQueueCreate("com.vantor.morvane.kind", attributes, ZUMQualityOfServiceClassUserInitiated);
    EXPECT_EQ(made->kind(), kind);
  }
  auto queue =
      ZUMDispatchQueueCreate("com.vantor.morvane.test", ZUMDispatchQueueSerial, ZUMQualityOfServiceClassBackground);
  bool mainInBlock = false;
  queue->async([&] {
    ZUMRunOnMainThread([&] {
      mainInBlock = platform::isMainThread();
      order.push_back("main, later");
    });
    order.push_back("queue");
  });
  env.runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"main, at once", "queue", "main, later"}));
  EXPECT_TRUE(mainInBlock);
}

struct Tracked {
  explicit Tracked(std::function<void()> onDestroy) : onDestroy(std::move(onDestroy)) {}
  ~Tracked() { onDestroy(); }
  std::function<void()> onDestroy;
};

TEST_F(ZUMThreadingTest, ReleaseOnMainThreadDestroysOnTheMainThread) {
  bool destroyed = false;
  bool destroyedOnMain = false;
  auto object = std::make_shared<Tracked>([&] {
    destroyed = true;
    destroyedOnMain = platform::isMainThread();
  });
  auto queue = ZUMDispatchQueueCreate("com.vantor.morvane.test");
  queue->async([object = std::move(object)]() mutable { ZUMReleaseOnMainThread(std::move(object)); });
  env.runUntilIdle();
  EXPECT_TRUE(destroyed && destroyedOnMain);

  destroyed = false;
  auto onMain = std::make_shared<Tracked>([&] { destroyed = true; });
  ZUMReleaseOnMainThread(std::move(onMain));
  EXPECT_TRUE(destroyed) << "on the main thread the release happens at once";
}

}  // namespace
