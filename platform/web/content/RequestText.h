// What the content process reads of a host request before the page's scripts see it, and
// how text leaves the script engine for the host. Pure functions, shared with the fuzz
// target that checks them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace platform::content {

struct Request {
  nlohmann::json id;  // null when absent
  std::string op;     // "" when absent or not a string
};

// std::nullopt unless `line` is one JSON object.
[[nodiscard]] std::optional<Request> decodeRequest(std::string_view line);

// The script engine keeps text in CESU-8: a character beyond U+FFFF is two encoded
// surrogates of three bytes each, which is not UTF-8. Everything that leaves the engine
// for the host is rewritten to UTF-8; a lone surrogate becomes U+FFFD. Other bytes pass
// as they are.
std::string toUTF8(std::string_view text);

}  // namespace platform::content
