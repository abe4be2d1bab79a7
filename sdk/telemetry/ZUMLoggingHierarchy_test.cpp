#include "sdk/telemetry/ZUMLoggingHierarchy.h"

#include <vector>

#include <gtest/gtest.h>

#include "platform/base/NotificationCenter.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMFennickTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

struct Object {
  int tag = 0;
};

class ZUMLoggingHierarchyTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { fennicktest::storeConfig(fennicktest::enabledConfig(false)); }

  // Records the roots whose change `observed` heard.
  std::vector<const void*> heard;
  platform::NotificationCenter::Token observe(const std::shared_ptr<void>& root) {
    return platform::NotificationCenter::defaultCenter().addObserver(
        kZUMLoggingHierarchyRootObjectLoggerDidChangeNotification, root, nullptr,
        [this](const platform::Notification& n) { heard.push_back(n.object().get()); });
  }

  std::shared_ptr<ZUMLoggingHierarchy> hierarchy = ZUMLoggingHierarchy::sharedInstance();
};

TEST_F(ZUMLoggingHierarchyTest, ChildrenLogThroughTheirRootsCurrentLogger) {
  auto root = std::make_shared<Object>(), child = std::make_shared<Object>(), grandchild = std::make_shared<Object>();
  auto other = std::make_shared<Object>();
  auto token = observe(root);
  hierarchy->setLogger(nullptr, root);
  hierarchy->linkObject(root, {child});
  hierarchy->linkObject(child, {grandchild});
  EXPECT_EQ(hierarchy->rootObjectForObject(grandchild), root);
  EXPECT_EQ(hierarchy->loggerForObject(grandchild), nullptr) << "a root without a logger";

  auto first = ZUMFennickLogger::create();
  hierarchy->setLogger(first, root);
  EXPECT_EQ(hierarchy->loggerForObject(child), first);
  auto second = ZUMFennickLogger::create();
  hierarchy->setLogger(second, root);
  EXPECT_EQ(hierarchy->loggerForObject(grandchild), second);
  hierarchy->setLogger(ZUMFennickLogger::create(), other);  // another root: not heard
  EXPECT_EQ(heard, (std::vector<const void*>(3, root.get())));

  hierarchy->setLogger(nullptr, root);  // no logger, still the root, still posted
  EXPECT_EQ(hierarchy->loggerForObject(child), nullptr);
  EXPECT_EQ(hierarchy->rootObjectForObject(child), root);
  EXPECT_EQ(heard.size(), 4u);
  platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(ZUMLoggingHierarchyTest, LinksBelowARootlessObjectOrNothingChangeNothing) {
  auto rootless = std::make_shared<Object>(), child = std::make_shared<Object>();
  hierarchy->linkObject(rootless, {child});
  hierarchy->linkObject(nullptr, {child});
  hierarchy->setLogger(ZUMFennickLogger::create(), nullptr);
  EXPECT_EQ(hierarchy->rootObjectForObject(child), nullptr);
  EXPECT_EQ(hierarchy->rootObjectForObject(nullptr), nullptr);
  EXPECT_EQ(hierarchy->loggerForObject(nullptr), nullptr);
  EXPECT_EQ(hierarchy->entryCount(), 0u);
}

TEST_F(ZUMLoggingHierarchyTest, TheTreeAnswersNothingOnceTheLoggerOrTheRootHasGoneOrIsRemoved) {
  auto root = std::make_shared<Object>(), child = std::make_shared<Object>();
  auto logger = ZUMFennickLogger::create();
  hierarchy->setLogger(logger, root);
  hierarchy->linkObject(root, {child});
  logger.reset();
  EXPECT_EQ(hierarchy->loggerForObject(root), nullptr);
  EXPECT_EQ(hierarchy->loggerForObject(child), nullptr);

  logger = ZUMFennickLogger::create();
  hierarchy->setLogger(logger, root);
  hierarchy->removeObject(child);
  EXPECT_EQ(hierarchy->loggerForObject(child), nullptr);
  EXPECT_EQ(hierarchy->loggerForObject(root), logger);
  hierarchy->removeObject(root);
  EXPECT_EQ(hierarchy->loggerForObject(root), nullptr);
  EXPECT_EQ(hierarchy->entryCount(), 0u);
}

TEST_F(ZUMLoggingHierarchyTest, ANewObjectAtADeadObjectsAddressInheritsNothing) {
  auto root = std::make_shared<Object>();
  auto logger = ZUMFennickLogger::create();
  hierarchy->setLogger(logger, root);
  Object storage;
  auto dead = std::shared_ptr<Object>(&storage, [](Object*) {});
  hierarchy->linkObject(root, {dead});
  hierarchy->setLogger(logger, dead);  // also a root of its own, once
  hierarchy->linkObject(root, {dead});
  EXPECT_EQ(hierarchy->loggerForObject(dead), logger);
  dead.reset();
  auto reborn = std::shared_ptr<Object>(&storage, [](Object*) {});  // the same address
  EXPECT_EQ(hierarchy->rootObjectForObject(reborn), nullptr);
  EXPECT_EQ(hierarchy->loggerForObject(reborn), nullptr);
}

TEST_F(ZUMLoggingHierarchyTest, EntriesOfDeadObjectsArePurgedAsTheTablesGrow) {
  auto root = std::make_shared<Object>();
  auto logger = ZUMFennickLogger::create();
  hierarchy->setLogger(logger, root);
  auto living = std::make_shared<Object>();
  hierarchy->linkObject(root, {living});
  for (int i = 0; i < 5000; ++i) {
    auto ad = std::make_shared<Object>();
    hierarchy->setLogger(nullptr, ad);
    hierarchy->linkObject(root, {ad});
  }
  EXPECT_LE(hierarchy->entryCount(), 200u);
  EXPECT_EQ(hierarchy->loggerForObject(living), logger) << "the living keep their place";
  EXPECT_EQ(hierarchy->loggerForObject(root), logger);
}

}  // namespace
