#include "sdk/rendering/ZUMJavaScriptMessageString.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONAdditions.h"

namespace {

constexpr const char* kReceiveMessageFunction = "QYRA_ReceiveMessage";

}  // namespace

std::string ZUMJavaScriptMessageString(ZUMPageMessageName name) {
  return std::string(kReceiveMessageFunction) + "('" + name.string() + "');";
}

std::string ZUMJavaScriptMessageString(ZUMPageMessageName name, const nlohmann::ordered_json& payload) {
  if (payload.is_null()) return ZUMJavaScriptMessageString(name);
  std::optional<std::string> json = zum_JSONStringPretty(payload, false, nullptr);
  if (!json) return ZUMJavaScriptMessageString(name);
  return std::string(kReceiveMessageFunction) + "('" + name.string() + "', " + ZUMScriptSafeJSON(*json) + ");";
}
