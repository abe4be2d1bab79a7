// A value of a script context: JSON-like data (null, booleans, numbers, strings, arrays,
// objects), undefined, or a script function that stays in the context and can be called
// from here. Functions inside arrays and objects stay callable too when the value is
// passed back into the context. A value keeps its functions alive in the context while
// it, or a copy, exists.
//
// A value type; copy it freely. Calling a function takes its context's lock (see
// JSContext).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace platform {

class JSContext;

class JSValue {
 public:
  // undefined
  JSValue();
  // Plain data, not tied to any context.
  explicit JSValue(const nlohmann::ordered_json& data);
  static JSValue undefined() { return JSValue(); }
  // An object whose properties are the given values (functions included).
  static JSValue object(const std::vector<std::pair<std::string, JSValue>>& properties);

  bool isUndefined() const;
  bool isNull() const;
  bool isBoolean() const;
  bool isNumber() const;
  bool isString() const;
  // Objects, arrays and functions.
  bool isObject() const;
  bool isFunction() const;

  // The data; functions read as null.
  nlohmann::ordered_json toJSON() const;
  // The text of a string, else "".
  std::string toString() const;

  // Calls a function value with the arguments; undefined when this is not a function,
  // the function throws (the context's exception says why) or the context is gone.
  JSValue callWithArguments(const std::vector<JSValue>& arguments) const;

  // A value as a content process's reply carries it, with no context behind its
  // functions (they call nothing); what the fuzz target of reply values drives.
  static JSValue fromDetachedWire(const nlohmann::ordered_json& wire) { return fromWire(wire, {}); }

 private:
  friend class JSContext;
  struct Handle;
  struct Data;

  JSValue(std::shared_ptr<const Data> data);
  // A value that came from `context`, its functions held there.
  static JSValue fromWire(const nlohmann::ordered_json& wire, const std::weak_ptr<JSContext>& context);
  // The value as it crosses to the context: functions as handle objects.
  const nlohmann::ordered_json& wire() const;

  std::shared_ptr<const Data> data_;
};

}  // namespace platform
