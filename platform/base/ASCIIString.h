// ASCII-only text helpers for protocol text (header names, schemes, hosts, cookie
// attributes), where case and white space follow ASCII rules whatever the locale.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace platform {

inline char asciiLowercased(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string asciiLowercased(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = asciiLowercased(c);
  return result;
}

inline bool equalsIgnoringASCIICase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return asciiLowercased(x) == asciiLowercased(y); });
}

inline bool startsWithIgnoringASCIICase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

inline bool endsWithIgnoringASCIICase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && equalsIgnoringASCIICase(text.substr(text.size() - suffix.size()), suffix);
}

// Without leading and trailing spaces and tabs (HTTP's optional white space).
inline std::string_view trimmingSpacesAndTabs(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace platform
