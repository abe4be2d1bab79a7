// The Fennick channel's parsers of server and script data: the stored configuration and
// the parameters the downloaded script passes to the native network function. The input
// is JSON: an object {"config": ..., "bridge": ...} sets both (any value, any type); any
// other JSON value is tried as both. Nothing crashes; the configuration's numbers stay
// in their bounds and its URLs are http(s) or absent; a bridge request is made only for
// an http(s) URL, with a bounded body and a method that is an HTTP token; the answer
// objects always carry a status and a text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/telemetry/ZUMFennickConfig.h"
#include "sdk/telemetry/ZUMFennickNetworkBridge.h"

using json = nlohmann::ordered_json;

namespace {

bool isWeb(const std::optional<platform::URL>& url) {
  return !url || ZUMURLHasScheme(url, "http") || ZUMURLHasScheme(url, "https");
}

void checkConfig(const json& stored) {
  if (!platform::UserDefaults::standard().setObject(stored, kZUMFennickConfigKey)) return;  // not storable
  auto config = ZUMFennickConfig::fromUserDefaults();
  if (!config) return;
  fuzzenv::check(std::isfinite(config->beaconInterval));
  fuzzenv::check(config->beaconInterval >= kZUMFennickMinBeaconInterval &&
                 config->beaconInterval <= kZUMFennickMaxBeaconInterval);
  fuzzenv::check(config->maxBufferedCommandSize >= 1);
  fuzzenv::check(isWeb(config->scriptURL) && isWeb(config->baseURL));
}

void checkBridge(const json& parameters) {
  auto made = ZUMFennickMakeBridgeRequest(parameters);
  fuzzenv::check(made.request.has_value() == made.refusal.empty());
  if (made.request) {
    fuzzenv::check(ZUMFennickIsWebURL(made.request->url()));
    fuzzenv::check(made.request->httpBody().value_or("").size() <= kZUMFennickMaxRequestBodyBytes);
    const auto& method = made.request->httpMethod();
    fuzzenv::check(!method.empty() && method.size() <= kZUMFennickMaxMethodLength &&
                   method.find_first_of(" \r\n\t\0", 0, 5) == std::string::npos);
  }
  bool failed = false;
  const std::string text = parameters.is_string() ? parameters.get<std::string>()
                                                  : parameters.dump(-1, ' ', false, json::error_handler_t::replace);
  auto result = ZUMFennickBridgeResult(std::nullopt, text, nullptr, &failed);
  fuzzenv::check(!failed && result["status_code"] == 0 && result["response"].is_string());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("fennick-fuzzer");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const json input = json::parse(text, nullptr, false);
  if (input.is_discarded()) {
    checkConfig(json(std::string(text)));  // a stored string is read as JSON text
    return 0;
  }
  if (input.is_object() && (input.contains("config") || input.contains("bridge"))) {
    if (input.contains("config")) checkConfig(input["config"]);
    if (input.contains("bridge")) checkBridge(input["bridge"]);
    return 0;
  }
  checkConfig(input);
  checkBridge(input);
  return 0;
}
