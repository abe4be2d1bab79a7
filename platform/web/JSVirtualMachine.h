// A virtual machine that script contexts are made on. Each context here runs in a
// content process of its own, so a machine is only an identity that contexts share.
// Any thread.
#pragma once

#include <memory>

namespace platform {

class JSVirtualMachine {
 public:
  // An optional class found by name (ScriptContextClasses.cpp): registered at start-up
  // where the system version has it, as WKWebView is.
  static constexpr const char* kClassName = "JSVirtualMachine";
  class Factory {
   public:
    std::shared_ptr<JSVirtualMachine> create() const { return JSVirtualMachine::create(); }
  };
  static void registerClass();

  static std::shared_ptr<JSVirtualMachine> create() { return std::make_shared<JSVirtualMachine>(); }
};

}  // namespace platform
