// The SDK's folders and small files: its folder "Morvane" in the application's Caches
// folder, boolean flags kept as empty files there, and the disk-space signal. Every
// function may be called from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"
#include "platform/base/URL.h"

// The folder "Morvane" in the Caches folder, or its subfolder `name`, created with any
// missing parents. Fails with std::nullopt and (11, "Failed to get cache directory
// path.") when no folder can be formed (a name that is ".", "..", or holds "/" or a NUL
// character would lead out of the SDK's folder), or with the file system's error when
// the folder cannot be created. An empty name counts as none.
std::optional<platform::URL> ZUMCacheDirectoryURL(std::optional<std::string_view> name,
                                                  platform::ErrorPtr* error);

// The canonical path of the file `fileURL` names when it lies inside the SDK's folder
// (below it, never the folder itself, however the path is spelled: "..", links);
// std::nullopt for any other URL. The files a page may touch are these only.
std::optional<std::string> ZUMPathInsideCacheDirectory(const platform::URL& fileURL);

// A flag that survives restarts: the file "ZUMBoolCache_<md5 of key, lower-case hex>" in
// the SDK's cache folder exists while the flag is set. Setting it writes the empty file
// atomically when missing; clearing it deletes the file. No key, or no cache folder, does
// nothing (and reads as false).
void ZUMBoolCacheSetValueForKey(std::optional<std::string_view> key, bool value);
bool ZUMBoolCacheValueForKey(std::optional<std::string_view> key);

// {"disk_free_bytes", "disk_total_bytes"} of the file system holding the Documents
// folder; std::nullopt with the error when it cannot be read.
std::optional<nlohmann::ordered_json> ZUMDiskSpaceParameters(platform::ErrorPtr* error);
