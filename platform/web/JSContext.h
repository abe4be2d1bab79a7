// A plain script context, with no page: scripts evaluated in one global scope, global
// functions callable with JSON-like arguments, and native functions installed by the
// host (script calls them with JSON-like arguments and gets their answer back). The
// context runs in a content process of its own, bounded like a web view's: a request
// that overruns the time limit or a heap that overruns its memory ends the context
// (isValid() turns false; every later call returns undefined with an exception).
//
// Thread-safe: calls are serialised by the context's lock; native functions run on the
// thread of the call that reached them, with the lock held (they may call back into the
// context).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/web/JSValue.h"
#include "platform/web/JSVirtualMachine.h"

namespace platform {

class ContentProcess;

class JSContext : public std::enable_shared_from_this<JSContext> {
 public:
  using NativeFunction = std::function<JSValue(const std::vector<JSValue>& arguments)>;

  // An optional class found by name (ScriptContextClasses.cpp): registered at start-up
  // where the system version has it, as WKWebView is.
  static constexpr const char* kClassName = "JSContext";
  class Factory {
   public:
    std::shared_ptr<JSContext> create(std::shared_ptr<JSVirtualMachine> virtualMachine) const;
  };
  static void registerClass();

  // nullptr when no content process can be started.
  static std::shared_ptr<JSContext> create(std::shared_ptr<JSVirtualMachine> virtualMachine = nullptr);
  ~JSContext();
  JSContext(const JSContext&) = delete;
  JSContext& operator=(const JSContext&) = delete;

  const std::shared_ptr<JSVirtualMachine>& virtualMachine() const { return virtualMachine_; }

  // The value of the script's last statement; undefined when it throws.
  JSValue evaluateScript(const std::string& script);
  // A global of the context (functions come back callable).
  JSValue objectForKeyedSubscript(const std::string& name);
  // Installs a native function as a global of the context.
  void setObjectForKeyedSubscript(const std::string& name, NativeFunction function);

  // What the last call threw ("Name: message"), cleared by each call.
  std::optional<std::string> exception() const;
  bool isValid() const;

 private:
  friend class JSValue;
  JSContext(std::shared_ptr<JSVirtualMachine> virtualMachine, std::unique_ptr<ContentProcess> process);

  // Sends a request (with the handles to release); false, with the exception set, when it
  // fails. `result` gets the value when there is one.
  bool request(nlohmann::ordered_json message, JSValue* result);
  JSValue valueFromWire(const nlohmann::ordered_json& wire);
  void releaseHandle(std::int64_t handle);

  const std::shared_ptr<JSVirtualMachine> virtualMachine_;
  mutable std::recursive_mutex mutex_;
  std::unique_ptr<ContentProcess> process_;
  std::map<std::string, NativeFunction> natives_;
  std::optional<std::string> exception_;
  std::mutex releaseMutex_;
  std::vector<std::int64_t> released_;
};

}  // namespace platform
