#include "platform/base/JSONParsing.h"

#include <optional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/base/JSONObjectIndex.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

// Builds the value as the library's own builder does, event by event, except that each
// object's keys are found through an index kept while that object is open.
class Builder {
 public:
  Builder(Json& root, JSONParseFailure failure) : root_(root), failure_(failure) {}

  bool null() { return place(nullptr); }
  bool boolean(bool value) { return place(value); }
  bool number_integer(Json::number_integer_t value) { return place(value); }
  bool number_unsigned(Json::number_unsigned_t value) { return place(value); }
  bool number_float(Json::number_float_t value, const Json::string_t&) { return place(value); }
  bool string(Json::string_t& value) { return place(std::move(value)); }
  bool binary(Json::binary_t& value) { return place(std::move(value)); }

  bool start_object(std::size_t) {
    Json* object = put(Json::value_t::object);
    open_.push_back({object, JSONObjectIndex(object->get_ref<Json::object_t&>())});
    return true;
  }
  bool start_array(std::size_t) {
    open_.push_back({put(Json::value_t::array), std::nullopt});
    return true;
  }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(Json::string_t& key) {
    member_ = &(*open_.back().keys)[std::move(key)];
    return true;
  }

  // The library's exception as it is, so that its type and message are the library's parse's.
  template <class Exception>
  bool parse_error(std::size_t, const std::string&, const Exception& exception) {
    failed_ = true;
    if (failure_ == JSONParseFailure::Throw) throw exception;
    return false;
  }

  bool failed() const { return failed_; }

 private:
  struct Container {
    Json* value;
    std::optional<JSONObjectIndex> keys;  // an object's; none for an array
  };

  // Puts `value` where the text stands (the root, an array's end, or the last key's
  // value); returns where it went.
  template <class Value>
  Json* put(Value&& value) {
    if (open_.empty()) {
      root_ = Json(std::forward<Value>(value));
      return &root_;
    }
    Json& parent = *open_.back().value;
    if (parent.is_array()) {
      auto& array = parent.get_ref<Json::array_t&>();
      array.emplace_back(std::forward<Value>(value));
      return &array.back();
    }
    *member_ = Json(std::forward<Value>(value));
    return member_;
  }
  template <class Value>
  bool place(Value&& value) {
    put(std::forward<Value>(value));
    return true;
  }
  bool close() {
    open_.pop_back();
    return true;
  }

  Json& root_;
  const JSONParseFailure failure_;
  std::vector<Container> open_;
  Json* member_ = nullptr;  // the value of the open object's last key
  bool failed_ = false;
};

}  // namespace

Json parseJSON(std::string_view text, JSONParseFailure failure) {
  Json value;
  Builder builder(value, failure);
  Json::sax_parse(text.begin(), text.end(), &builder);
  if (builder.failed()) return Json(Json::value_t::discarded);
  return value;
}

}  // namespace platform
