// The application's folders and the file operations the SDK needs. The application home
// holds Library/Caches, tmp and Documents, as on the phone platform; it defaults to
// $MORVANE_APP_HOME, else "$HOME/.morvane/app", and tests point it at a fresh folder.
//
// Every operation reports failure through its result and, when asked, an error of
// kPOSIXErrorDomain (code = errno); none throws. Static functions, safe on any thread;
// setApplicationHome() is meant for start-up and test set-up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/base/Error.h"

namespace platform {

class FileManager {
 public:
  using Path = std::filesystem::path;

  struct DiskSpace {
    std::uint64_t freeBytes = 0;  // available to the application
    std::uint64_t totalBytes = 0;
  };

  // The folder that holds the application's folders; an empty path restores the default.
  static void setApplicationHome(const Path& home);
  static Path applicationHome();
  // <home>/Library/Caches, <home>/tmp and <home>/Documents, created when missing.
  static Path cachesDirectory();
  static Path temporaryDirectory();
  static Path documentsDirectory();

  // The system's temporary folder: TMPDIR's, or /tmp when that cannot be read.
  static Path systemTemporaryDirectory();
  // A new, empty folder "<prefix>XXXXXX" in `parent`, for a whole run's files; throws
  // std::system_error when none can be made.
  static Path makeUniqueDirectory(const Path& parent, const std::string& prefix);
  // The same in the system's temporary folder.
  static Path makeUniqueSystemTemporaryDirectory(const std::string& prefix);

  static bool exists(const Path& path);
  static bool isDirectory(const Path& path);

  // Creates the folder and any missing parents; true when it exists afterwards.
  [[nodiscard]] static bool createDirectory(const Path& path, ErrorPtr* error = nullptr);
  // Removes a file, or a folder with everything in it. A missing item is an error.
  [[nodiscard]] static bool removeItem(const Path& path, ErrorPtr* error = nullptr);
  // The names of the folder's entries, sorted; std::nullopt when it cannot be read.
  [[nodiscard]] static std::optional<std::vector<std::string>> contentsOfDirectory(const Path& path,
                                                                                   ErrorPtr* error = nullptr);

  // Writes `data` to a temporary file beside `path`, then renames it over `path`, so a
  // reader sees the old file or the whole new one, never part of it.
  [[nodiscard]] static bool writeAtomically(const Path& path, std::string_view data, ErrorPtr* error = nullptr);
  // The whole file.
  [[nodiscard]] static std::optional<std::string> readFile(const Path& path, ErrorPtr* error = nullptr);

  [[nodiscard]] static std::optional<std::uint64_t> fileSize(const Path& path, ErrorPtr* error = nullptr);
  // Seconds since 1970; the modification date where the file system keeps no birth time.
  [[nodiscard]] static std::optional<TimeInterval> creationDate(const Path& path, ErrorPtr* error = nullptr);

  // Free and total bytes of the file system that holds `path`.
  [[nodiscard]] static std::optional<DiskSpace> diskSpace(const Path& path, ErrorPtr* error = nullptr);
};

}  // namespace platform
