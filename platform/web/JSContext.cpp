#include "platform/web/JSContext.h"

#include <nlohmann/json.hpp>

#include "platform/web/ContentProcess.h"

namespace platform {

using Json = nlohmann::ordered_json;

std::shared_ptr<JSContext> JSContext::create(std::shared_ptr<JSVirtualMachine> virtualMachine) {
  auto process = ContentProcess::launch();
  if (!process) return nullptr;
  auto reply = process->send({{"op", "context"}});
  if (!reply || reply->error) return nullptr;
  if (!virtualMachine) virtualMachine = JSVirtualMachine::create();
  return std::shared_ptr<JSContext>(new JSContext(std::move(virtualMachine), std::move(process)));
}

JSContext::JSContext(std::shared_ptr<JSVirtualMachine> virtualMachine, std::unique_ptr<ContentProcess> process)
    : virtualMachine_(std::move(virtualMachine)), process_(std::move(process)) {}

JSContext::~JSContext() = default;

bool JSContext::isValid() const {
  std::lock_guard lock(mutex_);
  return process_ && process_->isAlive();
}

std::optional<std::string> JSContext::exception() const {
  std::lock_guard lock(mutex_);
  return exception_;
}

void JSContext::releaseHandle(std::int64_t handle) {
  std::lock_guard lock(releaseMutex_);
  released_.push_back(handle);
}

JSValue JSContext::valueFromWire(const Json& wire) { return JSValue::fromWire(wire, weak_from_this()); }

bool JSContext::request(Json message, JSValue* result) {
  // A native function may drop the caller's last reference; the context stays until the
  // call returns.
  auto self = shared_from_this();
  std::lock_guard lock(mutex_);
  exception_.reset();
  if (!process_ || !process_->isAlive()) {
    exception_ = "Error: the script context's process has ended";
    return false;
  }
  {
    std::lock_guard releaseLock(releaseMutex_);
    if (!released_.empty()) message["release"] = std::exchange(released_, {});
  }
  auto native = [this](const ContentProtocol::NativeCall& call, std::optional<std::string>& error) -> Json {
    auto it = natives_.find(call.name);
    if (it == natives_.end()) {
      error = "no native function " + call.name;
      return nullptr;
    }
    std::vector<JSValue> arguments;
    for (const auto& argument : call.args) arguments.push_back(valueFromWire(argument));
    NativeFunction function = it->second;
    JSValue answer = function(arguments);
    return answer.isUndefined() ? Json() : answer.wire();
  };
  auto reply = process_->send(std::move(message), native);
  if (!reply) {
    exception_ = "Error: the script context's process has ended (" + process_->terminationReason() + ")";
    return false;
  }
  if (reply->error) {
    exception_ = reply->error->name + ": " + reply->error->message;
    return false;
  }
  if (reply->unsupported) {
    exception_ = "TypeError: the value cannot leave the context";
    return false;
  }
  if (result && reply->result) *result = valueFromWire(*reply->result);
  return true;
}

JSValue JSContext::evaluateScript(const std::string& script) {
  JSValue result;
  request({{"op", "evaluate"}, {"script", script}}, &result);
  return result;
}

JSValue JSContext::objectForKeyedSubscript(const std::string& name) {
  JSValue result;
  request({{"op", "get"}, {"name", name}}, &result);
  return result;
}

void JSContext::setObjectForKeyedSubscript(const std::string& name, NativeFunction function) {
  std::lock_guard lock(mutex_);
  natives_[name] = std::move(function);
  request({{"op", "installNative"}, {"name", name}}, nullptr);
}

}  // namespace platform
