#include "platform/base/NotificationCenter.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

class NotificationCenterTest : public testenv::PlatformTest {
 protected:
  NotificationCenter center;
  std::vector<std::string> heard;

  NotificationCenter::Block record(std::string who) {
    return [this, who](const Notification& n) { heard.push_back(who + ":" + n.name()); };
  }
};

TEST_F(NotificationCenterTest, ObserversAreChosenByNameAndObjectIdentity) {
  auto slot = std::make_shared<int>(1);
  auto other = std::make_shared<int>(2);
  center.addObserver("volume", slot, nullptr, record("slot"));
  center.addObserver("volume", nullptr, nullptr, record("any object"));
  center.addObserver("", other, nullptr, record("any name"));
  center.addObserver("other", nullptr, nullptr, record("other"));

  center.post("volume", slot);
  center.post("volume", other);
  center.post("closed", other);
  center.post("volume");
  center.post("");  // nameless: not posted
  EXPECT_EQ(heard, (std::vector<std::string>{"slot:volume", "any object:volume", "any object:volume", "any name:volume",
                                             "any name:closed", "any object:volume"}));
}

TEST_F(NotificationCenterTest, AnObservedObjectThatIsGoneMatchesNothing) {
  auto view = std::make_shared<int>(1);
  const void* address = view.get();
  center.addObserver("delay_page_close_start", view, nullptr, record("owner"));
  view.reset();
  // A new object at the old address (here by aliasing) is not the observed one.
  auto owner = std::make_shared<int>(2);
  std::shared_ptr<void> impostor(owner, const_cast<void*>(address));
  center.post("delay_page_close_start", impostor);
  EXPECT_TRUE(heard.empty());
}

// An object that posts from its destructor, when nothing holds it any more.
struct EndingObject : std::enable_shared_from_this<EndingObject> {
  explicit EndingObject(NotificationCenter& center) : center(center) {}
  ~EndingObject() { center.post(Notification::fromEndingObject("stopped", this, weak_from_this())); }
  NotificationCenter& center;
};

TEST_F(NotificationCenterTest, AnEndingObjectsOwnNotificationReachesItsObserversOnly) {
  auto player = std::make_shared<EndingObject>(center);
  auto other = std::make_shared<int>(2);
  const void* address = player.get();
  center.addObserver("stopped", player, nullptr, record("player"));
  center.addObserver("stopped", other, nullptr, record("other"));
  center.addObserver("stopped", nullptr, nullptr, record("any object"));
  player.reset();
  EXPECT_EQ(heard, (std::vector<std::string>{"player:stopped", "any object:stopped"}));
  // Another object claiming the ending one's address is not it.
  heard.clear();
  center.post(Notification::fromEndingObject("stopped", address, other));
  EXPECT_EQ(heard, (std::vector<std::string>{"any object:stopped"}));
}

TEST_F(NotificationCenterTest, UserInfoAndObjectReachTheObserver) {
  auto adView = std::make_shared<std::string>("ad view");
  Json received;
  center.addObserver("zum-native-ad-video-click", nullptr, nullptr, [&](const Notification& n) {
    received = n.userInfo();
    EXPECT_EQ(n.object(), adView);
  });
  center.post("zum-native-ad-video-click", adView, {{"touchX", "12"}, {"touchY", "3.5"}});
  EXPECT_EQ(received, Json({{"touchX", "12"}, {"touchY", "3.5"}}));
}

TEST_F(NotificationCenterTest, AddingAndRemovingDuringAPostIsSafe) {
  NotificationCenter::Token second;
  NotificationCenter::Token third;
  center.addObserver("n", nullptr, nullptr, [&](const Notification&) {
    heard.push_back("first");
    center.removeObserver(second);
    if (!third) third = center.addObserver("n", nullptr, nullptr, record("third"));
  });
  second = center.addObserver("n", nullptr, nullptr, record("second"));
  NotificationCenter::Token self;
  self = center.addObserver("n", nullptr, nullptr, [&](const Notification&) {
    heard.push_back("self-removing");
    center.removeObserver(self);
    center.post("nested");  // posting from an observer is fine
  });
  center.addObserver("nested", nullptr, nullptr, record("nested"));

  center.post("n");
  EXPECT_EQ(heard, (std::vector<std::string>{"first", "self-removing", "nested:nested"}));
  heard.clear();
  center.post("n");
  EXPECT_EQ(heard, (std::vector<std::string>{"first", "third:n"}));
}

TEST_F(NotificationCenterTest, ObserverObjectsAreRemovedWholeOrByFilterAndHeldWeakly) {
  auto observer = std::make_shared<int>(0);
  auto slot = std::make_shared<int>(1);
  center.addObserver(observer, record("a"), "a", nullptr);
  center.addObserver(observer, record("b"), "b", slot);
  center.addObserver(observer, record("c"), "c", nullptr);

  center.removeObserver(observer.get(), "b", slot.get());
  center.post("b", slot);
  center.post("c");
  EXPECT_EQ(heard, (std::vector<std::string>{"c:c"}));

  heard.clear();
  center.removeObserver(observer.get());
  center.post("a");
  EXPECT_TRUE(heard.empty());

  auto shortLived = std::make_shared<int>(0);
  center.addObserver(shortLived, record("gone"), "a", nullptr);
  shortLived.reset();
  center.post("a");
  EXPECT_TRUE(heard.empty());

  // A block may own the last reference to something that uses the center when it dies.
  struct UsesCenterWhenDestroyed {
    NotificationCenter& center;
    ~UsesCenterWhenDestroyed() { center.post("destroyed"); }
  };
  auto owned = std::make_shared<UsesCenterWhenDestroyed>(center);
  center.addObserver(
      observer, [owned](const Notification&) {}, "a", nullptr);
  owned.reset();
  center.addObserver("destroyed", nullptr, nullptr, record("center"));
  center.removeObserver(observer.get());
  EXPECT_EQ(heard, std::vector<std::string>{"center:destroyed"});
}

TEST_F(NotificationCenterTest, AnObserverLivesUntilItsBlockReturns) {
  // The block drops the last owner of its observer and goes on using it.
  struct Observer {
    std::string name = "still here";
  };
  std::shared_ptr<Observer> owner(new Observer);  // freed apart from its weak count
  Observer* self = owner.get();
  center.addObserver(
      owner,
      [&owner, self, this](const Notification&) {
        owner.reset();
        heard.push_back(self->name);
      },
      "n", nullptr);
  center.post("n");
  EXPECT_EQ(heard, std::vector<std::string>{"still here"});
  center.post("n");
  EXPECT_EQ(heard.size(), 1u);
}

TEST_F(NotificationCenterTest, BlockObserversOnAQueueRunOnThatQueueLater) {
  auto queue = OperationQueue::create("observers");
  queue->setMaxConcurrentOperationCount(1);
  std::vector<std::string> where;
  center.addObserver("n", nullptr, queue, [&](const Notification& n) {
    where.push_back(n.name() + (OperationQueue::current() == queue.get() ? " on queue" : " elsewhere") +
                    (isMainThread() ? " main" : " background"));
  });
  center.addObserver("n", nullptr, OperationQueue::main(), [&](const Notification&) {
    where.push_back(OperationQueue::current() == OperationQueue::main().get() && isMainThread() ? "main queue"
                                                                                                : "wrong queue");
  });
  auto removedBeforeItRuns = center.addObserver("n", nullptr, queue, record("removed"));

  center.post("n");
  EXPECT_TRUE(where.empty());  // the post does not wait
  center.removeObserver(removedBeforeItRuns);
  env.runUntilIdle();
  EXPECT_EQ(where, (std::vector<std::string>{"main queue", "n on queue background"}));
  EXPECT_TRUE(heard.empty());
}

TEST(NotificationCenterThreadedTest, PostsAddsAndRemovalsFromManyThreads) {
  testenv::TestEnvironment env({.executor = ExecutorKind::Threaded, .virtualTime = false});
  NotificationCenter center;
  std::atomic<int> calls{0};
  auto keep = center.addObserver("n", nullptr, nullptr, [&](const Notification&) { ++calls; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        auto token = center.addObserver("n", nullptr, nullptr, [](const Notification&) {});
        center.post("n");
        center.removeObserver(token);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(calls.load(), 800);
}

}  // namespace
}  // namespace platform
