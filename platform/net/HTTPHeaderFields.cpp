#include "platform/net/HTTPHeaderFields.h"

#include <algorithm>

namespace platform {

namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool HTTPHeaderFields::namesEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

HTTPHeaderFields::HTTPHeaderFields(std::initializer_list<Field> fields) {
  for (const auto& [name, value] : fields) set(name, value);
}

std::optional<std::string> HTTPHeaderFields::value(std::string_view name) const {
  for (const auto& [key, value] : fields_) {
    if (namesEqual(key, name)) return value;
  }
  return std::nullopt;
}

bool HTTPHeaderFields::contains(std::string_view name) const { return value(name).has_value(); }

void HTTPHeaderFields::set(std::string_view name, std::optional<std::string> value) {
  if (!value) {
    remove(name);
    return;
  }
  for (auto& field : fields_) {
    if (namesEqual(field.first, name)) {
      field.second = std::move(*value);
      return;
    }
  }
  fields_.emplace_back(std::string(name), std::move(*value));
}

void HTTPHeaderFields::add(std::string_view name, std::string_view value) {
  for (auto& field : fields_) {
    if (namesEqual(field.first, name)) {
      field.second.append(", ").append(value);
      return;
    }
  }
  fields_.emplace_back(std::string(name), std::string(value));
}

void HTTPHeaderFields::remove(std::string_view name) {
  std::erase_if(fields_, [&](const Field& field) { return namesEqual(field.first, name); });
}

bool HTTPHeaderFields::operator==(const HTTPHeaderFields& other) const {
  return fields_.size() == other.fields_.size() &&
         std::equal(fields_.begin(), fields_.end(), other.fields_.begin(), [](const Field& a, const Field& b) {
           return namesEqual(a.first, b.first) && a.second == b.second;
         });
}

}  // namespace platform
