#include "sdk/rendering/ZUMJavaScriptMessageString.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONAdditions.h"

namespace {

constexpr const char* kReceiveMessageFunction = "QYRA_ReceiveMessage";

// JSON text made safe for a script: every character that could end a quoted string,
// a line of script or a <script> element is escaped. In JSON text these characters can
// only stand inside strings, where a \uXXXX escape reads back as the same character.
std::string scriptSafe(const std::string& json) {
  std::string out;
  out.reserve(json.size() + json.size() / 8);
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    switch (c) {
      case '<': out += "\\u003c"; continue;
      case '>': out += "\\u003e"; continue;
      case '&': out += "\\u0026"; continue;
      case '\'': out += "\\u0027"; continue;
      default: break;
    }
    // U+2028 and U+2029 end a line of script in older engines: E2 80 A8 / E2 80 A9.
    if (static_cast<unsigned char>(c) == 0xE2 && i + 2 < json.size() &&
        static_cast<unsigned char>(json[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(json[i + 2]) == 0xA8 || static_cast<unsigned char>(json[i + 2]) == 0xA9)) {
      out += static_cast<unsigned char>(json[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
      continue;
    }
    out += c;
  }
  return out;
}

}  // namespace

std::string ZUMJavaScriptMessageString(ZUMPageMessageName name) {
  return std::string(kReceiveMessageFunction) + "('" + name.string() + "');";
}

std::string ZUMJavaScriptMessageString(ZUMPageMessageName name, const nlohmann::ordered_json& payload) {
  if (payload.is_null()) return ZUMJavaScriptMessageString(name);
  std::optional<std::string> json = zum_JSONStringPretty(payload, false, nullptr);
  if (!json) return ZUMJavaScriptMessageString(name);
  return std::string(kReceiveMessageFunction) + "('" + name.string() + "', " + scriptSafe(*json) + ");";
}
