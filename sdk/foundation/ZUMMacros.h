// URL-template macros: a name between two at-signs ("@pw_qdata@"), filled in before a
// ping or report is sent. A doubled at-sign "@@" stands for a literal one and never
// opens or closes a macro: a macro opens only at an at-sign that follows an even run
// (zero included) of at-signs, and the "@@" pairs before its opening and before its
// closing at-sign stay around the value. Pure functions; any thread.
//
//   std::string url = "https://x/?q=@pw_qdata@&id=@@me";
//   ZUMReplaceMacro(url, "pw_qdata", "abc");   // "https://x/?q=abc&id=@@me"
//   ZUMRemoveUnreplacedMacros(url);
//   ZUMUnescapeMacroAtSigns(url);              // "https://x/?q=abc&id=@me"
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Replaces every macro `name` in `text` by `value`, inserted as it is ("$" and "\"
// included). The name matches literally. Does nothing when name or value is missing.
void ZUMReplaceMacro(std::string& text, std::optional<std::string_view> name, std::optional<std::string_view> value);
// Replaces every macro left in `text` (any name without at-signs) by the empty string,
// keeping the doubled at-signs around it.
void ZUMRemoveUnreplacedMacros(std::string& text);
// Replaces every "@@" by "@", left to right.
void ZUMUnescapeMacroAtSigns(std::string& text);
