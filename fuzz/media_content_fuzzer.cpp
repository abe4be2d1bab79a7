// A native ad's "video" dictionary of any shape, through the media content into the
// script that hands it to the native-video page. Never crashes; a dictionary that JSON
// cannot hold gives no script; any other gives exactly one call whose argument reads back
// as the same dictionary and holds nothing that could end the call, the script or a
// <script> element.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/native/ZUMMediaContent.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kPrefix = "vantor.qyra.nativeAds.renderVideo(";
constexpr std::string_view kSuffix = ");";

// The first byte picks what the server might add beyond JSON text: a number that is not
// finite, a string that is not UTF-8.
Json dictionaryFrom(std::string_view input) {
  if (input.empty()) return Json();
  const auto flags = static_cast<std::uint8_t>(input[0]);
  Json value = Json::parse(input.substr(1), nullptr, false);
  if (value.is_discarded() || !value.is_object()) value = Json::object();
  if (flags & 1) value["ratio"] = NAN;
  if (flags & 2) value["title"] = std::string(input.substr(1, 8));
  if (flags & 4) value["nested"] = Json::array({value});
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("media_content_fuzzer");
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Json dictionary = dictionaryFrom(input);
  const auto content = ZUMMediaContent::create(&dictionary, nullptr, nullptr);
  fuzzenv::check(content != nullptr);
  const Json* configuration = content->configuration();
  fuzzenv::check((configuration != nullptr) == dictionary.is_object());
  if (!configuration) return 0;

  const auto script = ZUMMediaContent::renderVideoScript(*configuration);
  fuzzenv::check(script.has_value() == zum_isValidJSONObject(*configuration));
  if (!script) return 0;
  fuzzenv::check(script->starts_with(kPrefix) && script->ends_with(kSuffix));
  const std::string argument = script->substr(kPrefix.size(), script->size() - kPrefix.size() - kSuffix.size());
  for (const char c : argument) fuzzenv::check(c != '<' && c != '>' && c != '&' && c != '\'');
  fuzzenv::check(argument.find("\xE2\x80\xA8") == std::string::npos &&
                 argument.find("\xE2\x80\xA9") == std::string::npos);
  const Json readBack = Json::parse(argument, nullptr, false);
  fuzzenv::check(!readBack.is_discarded() && readBack == *configuration);
  return 0;
}
