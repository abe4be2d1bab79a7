#include "platform/base/ClassRegistry.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

struct Adapter {
  virtual ~Adapter() = default;
  virtual std::string name() const = 0;
};
struct CustomEvent {
  virtual ~CustomEvent() = default;
};
struct HTMLAdapter : Adapter {
  std::string name() const override { return "html"; }
};

TEST(ClassRegistryTest, CreatesByNameAndBase) {
  ClassRegistry registry;
  registry.registerClass<Adapter>("ZUMMAdapterHTML", [] { return std::make_shared<HTMLAdapter>(); });
  EXPECT_TRUE(registry.isRegistered<Adapter>("ZUMMAdapterHTML"));
  EXPECT_FALSE(registry.isRegistered<CustomEvent>("ZUMMAdapterHTML"));

  auto a = registry.create<Adapter>("ZUMMAdapterHTML");
  auto b = registry.create<Adapter>("ZUMMAdapterHTML");
  ASSERT_TRUE(a);
  EXPECT_NE(a, b);  // a new object each time
  EXPECT_EQ(registry.create<CustomEvent>("ZUMMAdapterHTML"), nullptr);  // other base
  EXPECT_EQ(registry.create<Adapter>("zummadapterhtml"), nullptr);      // names are exact

  registry.registerClass<Adapter>("", [] { return std::make_shared<HTMLAdapter>(); });
  registry.registerClass<Adapter>("Empty", nullptr);
  EXPECT_EQ(registry.names(), (std::vector<std::string>{"ZUMMAdapterHTML"}));

  registry.unregisterClass("ZUMMAdapterHTML");
  EXPECT_FALSE(registry.isRegistered("ZUMMAdapterHTML"));
}

TEST(ClassRegistryTest, SharedRegistryStartsEmpty) {
  EXPECT_TRUE(ClassRegistry::shared().names().empty());
  // A factory may look other classes up without deadlocking.
  auto& shared = ClassRegistry::shared();
  shared.registerClass<Adapter>("Inner", [] { return std::make_shared<HTMLAdapter>(); });
  shared.registerClass<Adapter>("Outer", [] { return ClassRegistry::shared().create<Adapter>("Inner"); });
  EXPECT_TRUE(shared.create<Adapter>("Outer"));
}

}  // namespace
}  // namespace platform
