// Small helpers for the values that go into requests and dictionaries: booleans and
// doubles as request text, typed reads from dictionaries (server values may be of any
// type), conditional stores and filtering. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

// "1" or "0".
std::string ZUMStringFromBOOL(bool value);
// 1 or 0, so that the boolean goes into JSON as a number, not as true or false.
int ZUMNumberWithBool(bool value);
// "%f" with trailing zeros and then a trailing "." removed ("1.5", "2", "-0.25");
// "nan", "inf" and "-inf" for non-finite values.
std::string ZUMStringFromDouble(double value);

// The kinds of value ZUMObjectOfClassForKey tells apart. Numbers include booleans, as
// the platform's number class holds both.
enum class ZUMValueClass { String, Number, Array, Dictionary, Data, Date };

// The value under `key` when `dictionary` is a dictionary and the value is of that
// class; nullptr otherwise. The pointer is into `dictionary`.
const nlohmann::ordered_json* ZUMObjectOfClassForKey(const nlohmann::ordered_json& dictionary, std::string_view key,
                                                     ZUMValueClass valueClass);
// The common case: the string under `key`, or std::nullopt when absent or not a string
// (ZUMJSONStringForKey of ZUMJSONReaders.h, the family new code reads with).
[[nodiscard]] std::optional<std::string> ZUMStringForKey(const nlohmann::ordered_json& dictionary,
                                                         std::string_view key);

// Stores `value` under `key` only when both are given (a null value counts as none).
// A null `dictionary` becomes a dictionary; any other non-dictionary is left alone.
void ZUMSetObjectIfNotNil(nlohmann::ordered_json& dictionary, std::optional<std::string_view> key,
                          const nlohmann::ordered_json* value);
void ZUMSetObjectIfNotNil(nlohmann::ordered_json& dictionary, std::optional<std::string_view> key,
                          const std::optional<nlohmann::ordered_json>& value);

// The elements `test` accepts, in order; std::nullopt when none does.
template <typename T, typename Test>
[[nodiscard]] std::optional<std::vector<T>> ZUMFilteredArray(const std::vector<T>& list, Test test) {
  std::vector<T> kept;
  for (const T& element : list) {
    if (test(element)) kept.push_back(element);
  }
  if (kept.empty()) return std::nullopt;
  return kept;
}
