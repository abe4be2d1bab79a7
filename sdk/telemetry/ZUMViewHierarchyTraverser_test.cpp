#include "sdk/telemetry/ZUMViewHierarchyTraverser.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/RunLoop.h"
#include "platform/ui/View.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMViewHierarchyTraverserTest = testenv::PlatformTest;

std::shared_ptr<platform::View> tagged(std::int64_t tag) {
  auto view = platform::View::create();
  view->setTag(tag);
  return view;
}

TEST_F(ZUMViewHierarchyTraverserTest, DepthFirstLastSubviewFirstThenCompletion) {
  auto root = tagged(1), a = tagged(2), b = tagged(3), a1 = tagged(4), a2 = tagged(5), gone = tagged(6);
  root->addSubview(a);
  root->addSubview(b);
  a->addSubview(a1);
  a->addSubview(a2);
  b->addSubview(gone);
  auto traverser = ZUMViewHierarchyTraverser::create();
  std::vector<std::string> events;
  traverser->traverseView(
      root,
      [&](platform::View& view, std::int64_t walk) {
        events.push_back(std::to_string(view.tag()) + "@" + std::to_string(walk) +
                         (platform::isMainThread() ? "" : " off main"));
      },
      [&](bool finished) { events.push_back(finished ? "done" : "refused"); });
  EXPECT_TRUE(events.empty()) << "views are visited on later turns";
  gone->removeFromSuperview();
  gone.reset();  // released before its turn: skipped

  // A second walk while the first is under way is refused, on a later turn.
  bool refused = false;
  traverser->traverseView(
      root, [](platform::View&, std::int64_t) {}, [&](bool finished) { refused = !finished; });
  EXPECT_FALSE(refused);
  EXPECT_TRUE(traverser->traversing());
  env.runUntilIdle();
  EXPECT_TRUE(refused);
  EXPECT_EQ(events, (std::vector<std::string>{"1@1", "3@1", "2@1", "5@1", "4@1", "done"}));
  EXPECT_FALSE(traverser->traversing());

  events.clear();
  traverser->traverseView(
      a1,
      [&](platform::View& view, std::int64_t walk) {
        events.push_back(std::to_string(view.tag()) + "@" + std::to_string(walk));
      },
      [&](bool finished) { events.push_back(finished ? "done" : "refused"); });
  env.runUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"4@2", "done"}));
}

TEST_F(ZUMViewHierarchyTraverserTest, MissingRootOrBlockIsRefused) {
  auto traverser = ZUMViewHierarchyTraverser::create();
  int refusals = 0;
  traverser->traverseView(
      nullptr, [](platform::View&, std::int64_t) {}, [&](bool finished) { refusals += !finished; });
  traverser->traverseView(platform::View::create(), nullptr, [&](bool finished) { refusals += !finished; });
  traverser->traverseView(
      platform::View::create(), [](platform::View&, std::int64_t) { FAIL(); }, nullptr);
  env.runUntilIdle();
  EXPECT_EQ(refusals, 2);
  EXPECT_EQ(traverser->sequenceNumber(), 0);
  EXPECT_FALSE(traverser->traversing());
}

}  // namespace
