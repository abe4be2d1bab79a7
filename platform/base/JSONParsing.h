// The platform's one reader of JSON text into values (nlohmann::ordered_json), for every
// text a server, a page or a file may write: its time grows with the text's length alone,
// however many keys one object holds and whoever chose them (the library's own parse looks
// each key up among the keys before it). The value is the library's parse's, key for key:
// keys in the order of the text; a key written twice keeps its first place and takes its
// last value, whole (a nested object written again replaces the earlier one, nothing
// merged). Any thread.
#pragma once

#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace platform {

// What parseJSON does with text that is not JSON.
enum class JSONParseFailure {
  Throw,    // throws the library's exception (nlohmann::ordered_json::exception), its message as the library's parse
  Discard,  // gives a discarded value (is_discarded())
};

// The value of the JSON text `text` (standard JSON: one value, no comments).
[[nodiscard]] nlohmann::ordered_json parseJSON(std::string_view text,
                                               JSONParseFailure failure = JSONParseFailure::Throw);

}  // namespace platform
