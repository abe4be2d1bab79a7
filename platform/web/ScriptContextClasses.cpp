// The script-context classes are optional classes of the platform, found by name; they
// exist from system version 7 on.
#include "platform/base/ClassRegistry.h"
#include "platform/ui/Device.h"
#include "platform/web/JSContext.h"
#include "platform/web/JSVirtualMachine.h"

namespace platform {

namespace {

bool systemHasScriptContexts() { return Device::current().isOperatingSystemAtLeast({7, 0, 0}); }

}  // namespace

void JSVirtualMachine::registerClass() {
  if (!systemHasScriptContexts()) return;
  ClassRegistry::shared().registerClass<Factory>(kClassName, [] { return std::make_shared<Factory>(); });
}

std::shared_ptr<JSContext> JSContext::Factory::create(std::shared_ptr<JSVirtualMachine> virtualMachine) const {
  return JSContext::create(std::move(virtualMachine));
}

void JSContext::registerClass() {
  if (!systemHasScriptContexts()) return;
  ClassRegistry::shared().registerClass<Factory>(kClassName, [] { return std::make_shared<Factory>(); });
}

}  // namespace platform
