#include "platform/web/JSValue.h"

#include <nlohmann/json.hpp>

#include "platform/web/ContentProtocol.h"
#include "platform/web/JSContext.h"

namespace platform {

using Json = nlohmann::ordered_json;

// A function kept in a context; the context forgets it when the last value holding it goes.
struct JSValue::Handle {
  std::weak_ptr<JSContext> context;
  std::int64_t id = 0;
  ~Handle() {
    if (auto c = context.lock()) c->releaseHandle(id);
  }
};

struct JSValue::Data {
  bool undefined = true;
  Json wire;
  std::vector<std::shared_ptr<Handle>> handles;  // the first is the value itself when it is a function
};

namespace {

bool isHandleObject(const Json& json) {
  return json.is_object() && json.size() == 1 && json.contains(ContentProtocol::kHandleKey);
}

Json withoutFunctions(const Json& json) {
  if (isHandleObject(json)) return nullptr;
  if (json.is_array() || json.is_object()) {
    Json out = json;
    for (auto& item : out) item = withoutFunctions(item);
    return out;
  }
  return json;
}

}  // namespace

JSValue::JSValue() {
  static const auto undefined = std::make_shared<const Data>();
  data_ = undefined;
}

JSValue::JSValue(const Json& data) {
  auto d = std::make_shared<Data>();
  d->undefined = false;
  d->wire = data;
  data_ = std::move(d);
}

JSValue::JSValue(std::shared_ptr<const Data> data) : data_(std::move(data)) {}

JSValue JSValue::object(const std::vector<std::pair<std::string, JSValue>>& properties) {
  auto d = std::make_shared<Data>();
  d->undefined = false;
  d->wire = Json::object();
  for (const auto& [name, value] : properties) {
    if (value.isUndefined()) continue;
    d->wire[name] = value.data_->wire;
    d->handles.insert(d->handles.end(), value.data_->handles.begin(), value.data_->handles.end());
  }
  return JSValue(std::shared_ptr<const Data>(std::move(d)));
}

bool JSValue::isUndefined() const { return data_->undefined; }
bool JSValue::isNull() const { return !data_->undefined && data_->wire.is_null(); }
bool JSValue::isBoolean() const { return data_->wire.is_boolean(); }
bool JSValue::isNumber() const { return data_->wire.is_number(); }
bool JSValue::isString() const { return data_->wire.is_string(); }
bool JSValue::isObject() const { return data_->wire.is_object() || data_->wire.is_array(); }
bool JSValue::isFunction() const { return isHandleObject(data_->wire) && !data_->handles.empty(); }

Json JSValue::toJSON() const { return withoutFunctions(data_->wire); }

std::string JSValue::toString() const {
  return data_->wire.is_string() ? data_->wire.get<std::string>() : std::string();
}

const Json& JSValue::wire() const { return data_->wire; }

JSValue JSValue::fromWire(const Json& wire, const std::weak_ptr<JSContext>& context) {
  auto data = std::make_shared<Data>();
  data->undefined = false;
  data->wire = wire;
  // Every function in the value, the value itself first.
  std::vector<const Json*> stack{&data->wire};
  while (!stack.empty()) {
    const Json* item = stack.back();
    stack.pop_back();
    if (isHandleObject(*item)) {
      const Json& id = (*item)[ContentProtocol::kHandleKey];
      if (id.is_number_integer()) {
        auto handle = std::make_shared<Handle>();
        handle->context = context;
        handle->id = id.get<std::int64_t>();
        data->handles.push_back(std::move(handle));
      }
      continue;
    }
    if (item->is_array() || item->is_object()) {
      for (auto it = item->rbegin(); it != item->rend(); ++it) stack.push_back(&*it);
    }
  }
  return JSValue(std::shared_ptr<const Data>(std::move(data)));
}

JSValue JSValue::callWithArguments(const std::vector<JSValue>& arguments) const {
  if (!isFunction()) return JSValue();
  auto context = data_->handles.front()->context.lock();
  if (!context) return JSValue();
  Json args = Json::array();
  for (const auto& argument : arguments) args.push_back(argument.isUndefined() ? Json() : argument.wire());
  JSValue result;
  context->request({{"op", "call"}, {"handle", data_->handles.front()->id}, {"args", std::move(args)}}, &result);
  return result;
}

}  // namespace platform
