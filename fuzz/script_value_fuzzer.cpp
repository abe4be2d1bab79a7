// A content process's reply turned into script values, as a script context hands them to
// the SDK: whatever shape the page gave the value (handle objects where none belong,
// deep nesting, odd numbers), reading it never crashes and its kinds agree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/web/ContentProtocol.h"
#include "platform/web/JSValue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  auto message = platform::ContentProtocol::decodeMessage(input);
  if (!message || !message->reply || !message->reply->result) return 0;

  const auto value = platform::JSValue::fromDetachedWire(*message->reply->result);
  const auto json = value.toJSON();
  const std::string text = value.toString();
  fuzzenv::check(!value.isUndefined());
  fuzzenv::check(value.isString() == json.is_string());
  fuzzenv::check(value.isString() || text.empty());
  fuzzenv::check(!value.isFunction() || value.isObject());
  // A function with no context behind it calls nothing.
  fuzzenv::check(value.callWithArguments({value}).isUndefined());
  return 0;
}
