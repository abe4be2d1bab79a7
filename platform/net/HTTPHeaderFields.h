// The header fields of an HTTP request or response: name/value pairs in the order they
// were first set, with names compared without regard to case (as HTTP wants) and kept
// as first written. A value type; use it from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class HTTPHeaderFields {
 public:
  using Field = std::pair<std::string, std::string>;

  HTTPHeaderFields() = default;
  // Later fields of the same name replace earlier ones (as setValue does).
  HTTPHeaderFields(std::initializer_list<Field> fields);

  // The value of the field named `name` (any case), or std::nullopt.
  std::optional<std::string> value(std::string_view name) const;
  bool contains(std::string_view name) const;
  // Sets the field, keeping its place when it exists; std::nullopt removes it.
  void set(std::string_view name, std::optional<std::string> value);
  // Appends to an existing field's value with ", " between (how the platform merges
  // repeated header lines), or adds the field.
  void add(std::string_view name, std::string_view value);
  void remove(std::string_view name);

  const std::vector<Field>& fields() const { return fields_; }
  std::size_t size() const { return fields_.size(); }
  bool empty() const { return fields_.empty(); }
  auto begin() const { return fields_.begin(); }
  auto end() const { return fields_.end(); }

  // Same fields (names compared without case) in the same order.
  bool operator==(const HTTPHeaderFields& other) const;

  // ASCII case-insensitive equality, the comparison used for names.
  static bool namesEqual(std::string_view a, std::string_view b);

 private:
  std::vector<Field> fields_;
};

}  // namespace platform
