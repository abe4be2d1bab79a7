#include "sdk/rendering/ZUMJavaScriptMessageString.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONAdditions.h"

namespace {

constexpr const char* kReceiveMessageFunction = "QYRA_ReceiveMessage";

// `name` has passed ZUMIsPageMessageName.
std::string messageString(std::string_view name, const nlohmann::ordered_json* payload) {
  const std::string call = std::string(kReceiveMessageFunction) + "('" + std::string(name) + "'";
  if (!payload || payload->is_null()) return call + ");";
  std::optional<std::string> json = zum_JSONStringPretty(*payload, false, nullptr);
  if (!json) return call + ");";
  return call + ", " + ZUMScriptSafeJSON(*json) + ");";
}

}  // namespace

std::string ZUMJavaScriptMessageString(ZUMPageMessageName name) { return messageString(name.view(), nullptr); }

std::string ZUMJavaScriptMessageString(ZUMPageMessageName name, const nlohmann::ordered_json& payload) {
  return messageString(name.view(), &payload);
}

std::optional<std::string> ZUMJavaScriptMessageStringForCheckedName(
    std::string_view name, const std::optional<nlohmann::ordered_json>& payload) {
  if (!ZUMIsPageMessageName(name)) return std::nullopt;
  return messageString(name, payload ? &*payload : nullptr);
}
