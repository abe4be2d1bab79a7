// A page's navigation URL turned into a message: never crashes, and every message it
// gives holds a non-empty UTF-8 name taken from the path and only string parameters,
// the same ones the query reader finds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/PercentEncoding.h"
#include "platform/base/URL.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/rendering/ZUMNotification.h"
#include "fuzz/FuzzEnvironment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto url = platform::URL::fromString(text);
  if (!url) return 0;
  auto message = ZUMNotification::createWithNotificationURL(url);
  if (!message) return 0;

  fuzzenv::check(ZUMNotification::isNotificationURL(url));
  fuzzenv::check(!message->name().empty());
  fuzzenv::check(platform::PercentEncoding::isValidUTF8(message->name()));
  fuzzenv::check("/" + message->name() == url->path());
  const nlohmann::ordered_json& parameters = message->parameters();
  fuzzenv::check(parameters.is_object());
  for (const auto& [key, value] : parameters.items()) {
    fuzzenv::check(value.is_string());
    fuzzenv::check(platform::PercentEncoding::isValidUTF8(key));
    fuzzenv::check(platform::PercentEncoding::isValidUTF8(value.get_ref<const std::string&>()));
  }
  fuzzenv::check(parameters == ZUMQueryParametersFromURL(url, false));
  (void)message->description();
  return 0;
}
