// The application's persistent settings, after the platform's user defaults: a map
// from string keys to property-list values (PropertyList.h) kept in one JSON file.
//
// Every write is visible at once to every thread and is saved before the call returns,
// atomically (a temporary file renamed over the old one), so a later process, or a
// new UserDefaults over the same file, reads it back. The file is a JSON object from
// key to the tagged JSON form of the value (PropertyList.h). Reading a damaged file
// keeps every entry that can be read and drops the rest; nothing in a file can crash
// the reader.
//
// Getters follow the platform: an absent key, or a value of the wrong kind, gives
// std::nullopt, or 0 / false for the scalar getters. Strings read as numbers and
// booleans with the rules of StringConversions.h.
//
// All operations may be called from any thread. Two UserDefaults over one file do not
// see each other's writes; the last write wins on disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Clock.h"
#include "platform/base/PropertyList.h"

namespace platform {

class UserDefaults {
 public:
  // The process's defaults. Until setStandardFile() is called they live in the file
  // named by the environment variable MORVANE_DEFAULTS_FILE, else in
  // "$HOME/.morvane/defaults.json", else (no HOME) in memory only.
  static UserDefaults& standard();
  // Points standard() at `file` and reads it afresh, dropping what was in memory (every
  // write is already on disk). Tests call it with a fresh file; calling it with the same
  // file again stands for a restart of the process.
  static void setStandardFile(std::filesystem::path file);
  // Defaults over `file`, read now. An empty path keeps them in memory only.
  static std::shared_ptr<UserDefaults> create(std::filesystem::path file);

  std::optional<nlohmann::ordered_json> objectForKey(std::string_view key) const;
  // A string, or the text of a number (StringConversions.h).
  std::optional<std::string> stringForKey(std::string_view key) const;
  bool boolForKey(std::string_view key) const;
  std::int64_t integerForKey(std::string_view key) const;
  float floatForKey(std::string_view key) const;
  double doubleForKey(std::string_view key) const;
  std::optional<nlohmann::ordered_json> arrayForKey(std::string_view key) const;
  std::optional<nlohmann::ordered_json> dictionaryForKey(std::string_view key) const;
  std::optional<Data> dataForKey(std::string_view key) const;
  std::optional<TimeInterval> dateForKey(std::string_view key) const;
  // Every key and value, as one dictionary.
  nlohmann::ordered_json dictionaryRepresentation() const;

  // Stores a property list; null removes the key. A value that is not a property list
  // (PropertyList.h: null inside, non-finite numbers, too deep) is refused: nothing
  // changes and the answer is false.
  [[nodiscard]] bool setObject(const nlohmann::ordered_json& value, std::string_view key);
  void setBool(bool value, std::string_view key);
  void setInteger(std::int64_t value, std::string_view key);
  // A non-finite number is refused, as by setObject().
  [[nodiscard]] bool setFloat(float value, std::string_view key);
  [[nodiscard]] bool setDouble(double value, std::string_view key);
  void removeObjectForKey(std::string_view key);

  std::filesystem::path file() const;

  explicit UserDefaults(std::filesystem::path file);
  ~UserDefaults();
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

 private:
  struct Values;

  void reload(std::filesystem::path file);
  // Writes the current values to the file. Called after each change, under
  // writeMutex_, so that the last change is the last file written.
  void save();

  mutable std::mutex mutex_;  // guards values_ and file_
  std::mutex writeMutex_;     // orders saves
  std::filesystem::path file_;
  std::unique_ptr<Values> values_;
};

}  // namespace platform
