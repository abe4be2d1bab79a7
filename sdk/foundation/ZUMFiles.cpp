#include "sdk/foundation/ZUMFiles.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/base/Digest.h"
#include "platform/base/FileManager.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"

namespace {

bool isPlainFolderName(std::string_view name) {
  return name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::optional<platform::FileManager::Path> boolCacheFile(std::optional<std::string_view> key) {
  if (!key) return std::nullopt;
  auto folder = ZUMCacheDirectoryURL(std::nullopt, nullptr);
  if (!folder) return std::nullopt;
  auto path = folder->path();
  std::string hash = platform::md5Hex(*key);
  if (!path || hash.empty()) return std::nullopt;
  return platform::FileManager::Path(*path) / ("ZUMBoolCache_" + hash);
}

}  // namespace

std::optional<platform::URL> ZUMCacheDirectoryURL(std::optional<std::string_view> name, platform::ErrorPtr* error) {
  if (name && !name->empty() && !isPlainFolderName(*name)) {
    if (error) *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to get cache directory path.");
    return std::nullopt;
  }
  platform::FileManager::Path folder = platform::FileManager::cachesDirectory() / "Morvane";
  if (name && !name->empty()) folder /= std::string(*name);
  if (!platform::FileManager::createDirectory(folder, error)) return std::nullopt;
  return platform::URL::fileURL(folder, true);
}

std::optional<std::string> ZUMPathInsideCacheDirectory(const platform::URL& fileURL) {
  if (!fileURL.isFileURL() || !fileURL.path()) return std::nullopt;
  const auto folder = ZUMCacheDirectoryURL(std::nullopt, nullptr);
  if (!folder || !folder->path()) return std::nullopt;
  std::error_code ignored;
  const auto root = std::filesystem::weakly_canonical(*folder->path(), ignored);
  const auto path = std::filesystem::weakly_canonical(*fileURL.path(), ignored);
  if (root.empty() || path.empty()) return std::nullopt;
  const auto relative = path.lexically_relative(root);
  if (relative.empty() || *relative.begin() == ".." || relative == ".") return std::nullopt;
  return path.string();
}

void ZUMBoolCacheSetValueForKey(std::optional<std::string_view> key, bool value) {
  auto file = boolCacheFile(key);
  if (!file) return;
  bool exists = platform::FileManager::exists(*file);
  // A flag that cannot be changed keeps its old value, which the next read answers.
  platform::ErrorPtr error;
  const bool failed = (value && !exists && !platform::FileManager::writeAtomically(*file, "", &error)) ||
                      (!value && exists && !platform::FileManager::removeItem(*file, &error));
  if (failed) {
    ZUMLog(kZUMLogLevelDefault, "Could not change the flag " + std::string(*key) + ": " +
                                    (error ? error->localizedDescription() : std::string("unknown error")));
  }
}

bool ZUMBoolCacheValueForKey(std::optional<std::string_view> key) {
  auto file = boolCacheFile(key);
  return file && platform::FileManager::exists(*file);
}

std::optional<nlohmann::ordered_json> ZUMDiskSpaceParameters(platform::ErrorPtr* error) {
  auto space = platform::FileManager::diskSpace(platform::FileManager::documentsDirectory(), error);
  if (!space) return std::nullopt;
  return nlohmann::ordered_json{{"disk_free_bytes", space->freeBytes}, {"disk_total_bytes", space->totalBytes}};
}
