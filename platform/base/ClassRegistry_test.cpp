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
  EXPECT_NE(a, b);                                                      // a new object each time
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

TEST(ClassRegistryTest, DescriptorsInheritAlongTheSuperclassChain) {
  ClassRegistry registry;
  auto make = [] { return std::make_shared<HTMLAdapter>(); };
  registry.registerClass<Adapter>("Base", make,
                                  {.protocols = {"Banner"},
                                   .operations = {"changeSize"},
                                   .classOperations = {"version"},
                                   .initialisers = {"initWithConnector"}});
  registry.registerClass<Adapter>("Child", make, {.superclass = "Base", .protocols = {"Native"}});
  registry.registerClass<Adapter>("Orphan", make, {.superclass = "Missing"});
  registry.registerClass<Adapter>("LoopA", make, {.superclass = "LoopB"});
  registry.registerClass<Adapter>("LoopB", make, {.superclass = "LoopA"});
  const struct {
    const char* name;
    bool banner, native, changeSize, version, initialiser;
  } rows[] = {
      {"Base", true, false, true, true, true},
      {"Child", true, true, true, true, false},  // initialisers are the class's own
      {"Orphan", false, false, false, false, false},
      {"LoopA", false, false, false, false, false},  // a loop ends instead of hanging
      {"Unknown", false, false, false, false, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(registry.conformsToProtocol(row.name, "Banner"), row.banner) << row.name;
    EXPECT_EQ(registry.conformsToProtocol(row.name, "Native"), row.native) << row.name;
    EXPECT_EQ(registry.instancesRespondToOperation(row.name, "changeSize"), row.changeSize) << row.name;
    EXPECT_EQ(registry.respondsToClassOperation(row.name, "version"), row.version) << row.name;
    EXPECT_EQ(registry.hasInitialiser(row.name, "initWithConnector"), row.initialiser) << row.name;
  }
  EXPECT_EQ(registry.descriptor("Child")->superclass, "Base");
  EXPECT_FALSE(registry.descriptor("Unknown"));
  EXPECT_FALSE(registry.conformsToProtocol("Base", "Version"));  // lists are kept apart
}

}  // namespace
}  // namespace platform
