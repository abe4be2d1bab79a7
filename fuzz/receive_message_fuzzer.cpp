// Page-bound calls built from arbitrary payloads: never crashes; a call either has the
// short form or carries the payload as JSON text that reads back as the same values and
// holds nothing that could end the call, a line of script or a <script> element
// (checked on the text; the page engine itself checks generated calls in the tests).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/rendering/ZUMJavaScriptMessageString.h"

namespace {

using Json = nlohmann::ordered_json;

void checkCall(const Json& payload) {
  static const std::string shortForm = "QYRA_ReceiveMessage('onVideoEvent');";
  static const std::string head = "QYRA_ReceiveMessage('onVideoEvent', ";
  static const std::string tail = ");";
  const std::string call = ZUMJavaScriptMessageString("onVideoEvent", payload);
  auto compact = zum_JSONStringPretty(payload, false, nullptr);
  if (!compact) {
    fuzzenv::check(call == shortForm);
    return;
  }
  fuzzenv::check(call.size() > head.size() + tail.size());
  fuzzenv::check(call.compare(0, head.size(), head) == 0);
  fuzzenv::check(call.compare(call.size() - tail.size(), tail.size(), tail) == 0);
  const std::string json = call.substr(head.size(), call.size() - head.size() - tail.size());
  for (char c : std::string_view("<>&'\n\r")) fuzzenv::check(json.find(c) == std::string::npos);
  fuzzenv::check(json.find("\xE2\x80\xA8") == std::string::npos);
  fuzzenv::check(json.find("\xE2\x80\xA9") == std::string::npos);
  const Json back = Json::parse(json, nullptr, false);
  fuzzenv::check(!back.is_discarded());
  fuzzenv::check(back == Json::parse(*compact));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  // The input as JSON, when it is JSON.
  Json parsed = Json::parse(text, nullptr, false);
  if (!parsed.is_discarded()) checkCall(parsed);
  // The input as raw key and value bytes, valid UTF-8 or not.
  const std::size_t half = size / 2;
  checkCall(Json{{text.substr(0, half), text.substr(half)}, {"n", static_cast<double>(size) / 3.0}});
  checkCall(Json{{"list", Json::array({text, nullptr, true})}});
  return 0;
}
