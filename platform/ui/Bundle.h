// The application's main bundle: its information dictionary (bundle identifier,
// versions, supported interface orientations, the URL schemes it may query, and the
// host's own keys such as "ZUMDelayEarlyActivities"). Production loads it from a JSON
// file; tests replace it. Also the folder of the bundle's resources, and the look-up of
// a resource file by name and type (Bundle+Resources.cpp). Thread-safe.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace platform {

class Bundle {
 public:
  static Bundle& main();

  // A copy of the whole dictionary (a JSON object).
  nlohmann::ordered_json infoDictionary() const;
  // The value under `key`; a null value when the key is absent.
  nlohmann::ordered_json objectForInfoDictionaryKey(std::string_view key) const;
  // Typed reads: nullopt when absent or of another type.
  std::optional<std::string> stringForInfoDictionaryKey(std::string_view key) const;
  std::optional<bool> boolForInfoDictionaryKey(std::string_view key) const;
  // The string elements of an array value (others skipped); empty when absent.
  std::vector<std::string> stringArrayForInfoDictionaryKey(std::string_view key) const;

  std::string bundleIdentifier() const;  // "CFBundleIdentifier"

  // Replaces the dictionary; a value that is not an object is refused (false).
  bool setInfoDictionary(const nlohmann::ordered_json& dictionary);
  // Sets one key (tests).
  void setObjectForInfoDictionaryKey(std::string_view key, const nlohmann::ordered_json& value);
  // Reads the dictionary from a JSON file; false, and nothing changes, when the file
  // cannot be read or does not hold a JSON object.
  bool loadInfoDictionary(const std::string& path);

  // The folder of the bundle's resources: the executable's own folder, as a bundle holds
  // its executable, unless one was set (tests install a folder of their own).
  std::string resourcePath() const;
  void setResourcePath(std::string path);
  // The path of the resource file "<name>.<type>" ("<name>" for an empty type) directly
  // in the resource folder; none when no such regular file is there, and for a name or a
  // type that holds "/" or "..", or an empty name.
  std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;

  Bundle();
  ~Bundle();

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<nlohmann::ordered_json> info_;
  std::optional<std::string> resourcePath_;
};

}  // namespace platform
