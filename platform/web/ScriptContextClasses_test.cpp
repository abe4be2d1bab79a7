#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/ui/Device.h"
#include "platform/web/JSContext.h"
#include "platform/web/JSVirtualMachine.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

bool scriptClassesFound() {
  return ClassRegistry::shared().isRegistered<JSVirtualMachine::Factory>("JSVirtualMachine") &&
         ClassRegistry::shared().isRegistered<JSContext::Factory>("JSContext");
}

TEST(ScriptContextClassesTest, AreFoundByNameOnceRegisteredWhereTheSystemHasThem) {
  const struct {
    const char* systemVersion;
    bool registered;
  } rows[] = {{"12.4.1", true}, {"7.0", true}, {"6.1.3", false}};
  for (const auto& row : rows) {
    Device::current().setSystemVersion(row.systemVersion);
    ClassRegistry::shared().unregisterClass("JSVirtualMachine");
    ClassRegistry::shared().unregisterClass("JSContext");
    EXPECT_FALSE(scriptClassesFound()) << row.systemVersion;
    JSVirtualMachine::registerClass();
    JSContext::registerClass();
    EXPECT_EQ(scriptClassesFound(), row.registered) << row.systemVersion;
  }
}

class ScriptContextClassesWithContextsTest : public testenv::PlatformTest {};

TEST_F(ScriptContextClassesWithContextsTest, MakeAContextOnTheGivenMachine) {
  JSVirtualMachine::registerClass();
  JSContext::registerClass();
  auto machines = ClassRegistry::shared().create<JSVirtualMachine::Factory>("JSVirtualMachine");
  auto contexts = ClassRegistry::shared().create<JSContext::Factory>("JSContext");
  ASSERT_TRUE(machines && contexts);
  auto machine = machines->create();
  auto context = contexts->create(machine);
  ASSERT_TRUE(context);
  EXPECT_EQ(context->virtualMachine(), machine);
  EXPECT_EQ(context->evaluateScript("6 * 7").toJSON(), 42);
}

TEST(ScriptContextClassesTest, TheTestResetsRemoveTheRegistrations) {
  // Registered by the tests above in the same binary; the resets between tests drop them.
  EXPECT_FALSE(ClassRegistry::shared().isRegistered("JSContext"));
  EXPECT_FALSE(ClassRegistry::shared().isRegistered("JSVirtualMachine"));
}

}  // namespace
}  // namespace platform
