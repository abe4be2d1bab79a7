#include "sdk/telemetry/ZUMFennickNetworkBridge.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/PercentEncoding.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/telemetry/ZUMFennickConfig.h"

namespace {

using Json = nlohmann::ordered_json;

bool isToken(std::string_view text, std::size_t maxLength) {
  if (text.empty() || text.size() > maxLength) return false;
  for (unsigned char c : text) {
    const bool ok =
        std::isalnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
    if (!ok) return false;
  }
  return true;
}

// The low 8 bits of the element's integer value; 0 where it has none.
char byteOf(const Json& element) {
  if (element.is_number_integer()) return static_cast<char>(element.get<std::int64_t>() & 0xFF);
  if (element.is_number_unsigned()) return static_cast<char>(element.get<std::uint64_t>() & 0xFF);
  if (!element.is_number_float()) return 0;
  const double value = element.get<double>();
  // Outside the 64-bit range the conversion is undefined.
  if (!std::isfinite(value) || value >= 9.2e18 || value <= -9.2e18) return 0;
  return static_cast<char>(static_cast<std::int64_t>(value) & 0xFF);
}

std::string refusalLog(const std::string& reason) { return "Fennick: refused a script's request: " + reason; }

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::string capped(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace

ZUMFennickBridgeRequest ZUMFennickMakeBridgeRequest(const Json& parameters) {
  ZUMFennickBridgeRequest result;
  auto refuse = [&](std::string reason) {
    ZUMLog(kZUMLogLevelDefault, refusalLog(reason));
    result.refusal = std::move(reason);
    return result;
  };
  auto text = ZUMJSONStringForKey(parameters, "url");
  auto url = text ? platform::URL::fromString(*text) : std::nullopt;
  if (!ZUMFennickIsWebURL(url)) return refuse("The request URL is not an http(s) URL.");
  platform::URLRequest request(*url);

  if (const Json* body = ZUMJSONValueForKey(parameters, "body")) {
    const auto bodyType = ZUMJSONStringForKey(parameters, "body_type");
    if (bodyType == "byte_array") {
      const Json* bytes = ZUMJSONArray(*body);
      if (bytes && bytes->size() > kZUMFennickMaxRequestBodyBytes) return refuse("The request body is too large.");
      if (bytes && !bytes->empty()) {
        std::string data;
        data.reserve(bytes->size());
        for (const auto& element : *bytes) data.push_back(byteOf(element));
        request.setHTTPBody(std::move(data));
      }
    } else if (bodyType == "string") {
      if (auto string = ZUMJSONString(*body)) {
        if (string->size() > kZUMFennickMaxRequestBodyBytes) return refuse("The request body is too large.");
        request.setHTTPBody(std::move(*string));
      }
    }
  }

  if (const Json* headers = ZUMJSONObjectForKey(parameters, "request_headers")) {
    platform::HTTPHeaderFields fields;
    for (const auto& [name, value] : headers->items()) {
      const auto string = ZUMJSONString(value);
      if (!string || !isToken(name, 256) || string->find_first_of("\r\n", 0) != std::string::npos ||
          string->find('\0') != std::string::npos) {
        ZUMLog(kZUMLogLevelDebug, "Fennick: skipped a request header that is not a text field.");
        continue;
      }
      fields.set(name, *string);
    }
    request.setAllHTTPHeaderFields(std::move(fields));
  }

  if (const Json* method = ZUMJSONValueForKey(parameters, "request_type")) {
    const auto string = ZUMJSONString(*method);
    if (!string || !isToken(*string, kZUMFennickMaxMethodLength))
      return refuse("The request type is not an HTTP method.");
    request.setHTTPMethod(*string);
  }
  result.request = std::move(request);
  return result;
}

Json ZUMFennickBridgeResult(const std::optional<platform::HTTPURLResponse>& response, const std::string& data,
                            const platform::ErrorPtr& error, bool* failed) {
  const int status = response ? response->statusCode() : 0;
  platform::ErrorPtr failure = error;
  if (!failure && status >= 400) failure = ZUMMakeErrorWithDescription(11, "Invalid response received.");
  std::string text = platform::PercentEncoding::isValidUTF8(data) ? capped(data, kZUMFennickMaxResponseTextBytes) : "";
  *failed = failure != nullptr;
  if (!failure) return Json{{"status_code", status}, {"response", std::move(text)}};
  return Json{{"status_code", status},
              {"error_code", failure->code()},
              {"error_message", failure->localizedDescription()},
              {"response", std::move(text)}};
}

Json ZUMFennickBridgeRefusal(const std::string& reason) {
  return Json{{"status_code", 0}, {"error_code", 1}, {"error_message", reason}, {"response", ""}};
}
