#include "sdk/foundation/ZUMBindWeak.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Target {
  std::vector<std::string> calls;
  void plain() { calls.push_back("plain"); }
  void withNumber(int number) { calls.push_back("number " + std::to_string(number)); }
  void withBoundAndNumber(const std::string& bound, int number) {
    calls.push_back(bound + " " + std::to_string(number));
  }
};

struct Derived : Target {};

TEST(ZUMBindWeakTest, CallsWhileAliveAndNothingOnceGone) {
  auto target = std::make_shared<Target>();
  std::function<void()> callback = ZUMBindWeak(target, &Target::plain);
  callback();
  callback();
  EXPECT_EQ(target->calls, (std::vector<std::string>{"plain", "plain"}));
  EXPECT_EQ(target.use_count(), 1) << "the callback must hold its target weakly";
  target.reset();
  callback();  // nothing to call, and no crash
}

TEST(ZUMBindWeakTest, ForwardsBoundThenCallArgumentsAndDropsThoseNotTaken) {
  auto target = std::make_shared<Derived>();
  std::function<void(int)> forwarded = ZUMBindWeak(target, &Target::withNumber);
  std::function<void(int)> bound =
      ZUMBindWeak(std::weak_ptr<Derived>(target), &Target::withBoundAndNumber, std::string("bound"));
  std::function<void(const std::string&)> dropped = ZUMBindWeak(target, &Target::plain);
  std::function<void()> allBound = ZUMBindWeak(target, &Target::withNumber, 7);
  forwarded(1);
  bound(2);
  bound(3);
  dropped("ignored");
  allBound();
  EXPECT_EQ(target->calls, (std::vector<std::string>{"number 1", "bound 2", "bound 3", "plain", "number 7"}));
}

}  // namespace
