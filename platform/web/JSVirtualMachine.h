// A virtual machine that script contexts are made on. Each context here runs in a
// content process of its own, so a machine is only an identity that contexts share.
// Any thread.
#pragma once

#include <memory>

namespace platform {

class JSVirtualMachine {
 public:
  static std::shared_ptr<JSVirtualMachine> create() { return std::make_shared<JSVirtualMachine>(); }
};

}  // namespace platform
