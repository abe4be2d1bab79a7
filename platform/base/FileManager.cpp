#include "platform/base/FileManager.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

std::mutex homeMutex;
std::optional<std::filesystem::path> homeOverride;

std::filesystem::path defaultHome() {
  if (const char* env = getenv("MORVANE_APP_HOME"); env && *env) return env;
  if (const char* home = getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".morvane" / "app";
  }
  return std::filesystem::path("/tmp") / ".morvane" / "app";
}

std::filesystem::path ensured(std::filesystem::path path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return path;
}

template <class T>
std::optional<T> fail(ErrorPtr* error, int code, std::string_view what) {
  if (error) *error = makePOSIXError(code, what);
  return std::nullopt;
}

bool failed(ErrorPtr* error, int code, std::string_view what) {
  if (error) *error = makePOSIXError(code, what);
  return false;
}

// Writes all of `data`, retrying short writes and interruptions.
bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

void FileManager::setApplicationHome(const Path& home) {
  std::lock_guard lock(homeMutex);
  if (home.empty()) {
    homeOverride.reset();
  } else {
    homeOverride = home;
  }
}

FileManager::Path FileManager::applicationHome() {
  {
    std::lock_guard lock(homeMutex);
    if (homeOverride) return *homeOverride;
  }
  return defaultHome();
}

FileManager::Path FileManager::cachesDirectory() { return ensured(applicationHome() / "Library" / "Caches"); }
FileManager::Path FileManager::temporaryDirectory() { return ensured(applicationHome() / "tmp"); }
FileManager::Path FileManager::documentsDirectory() { return ensured(applicationHome() / "Documents"); }

bool FileManager::exists(const Path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool FileManager::isDirectory(const Path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileManager::createDirectory(const Path& path, ErrorPtr* error) {
  if (path.empty()) return failed(error, ENOENT, "create directory");
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (isDirectory(path)) return true;
  return failed(error, ec ? ec.value() : EEXIST, "create directory " + path.string());
}

bool FileManager::removeItem(const Path& path, ErrorPtr* error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return failed(error, errno, "remove " + path.string());
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  if (ec) return failed(error, ec.value(), "remove " + path.string());
  return true;
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectory(const Path& path, ErrorPtr* error) {
  std::error_code ec;
  std::filesystem::directory_iterator it(path, ec);
  if (ec) return fail<std::vector<std::string>>(error, ec.value(), "list " + path.string());
  std::vector<std::string> names;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  if (ec) return fail<std::vector<std::string>>(error, ec.value(), "list " + path.string());
  std::sort(names.begin(), names.end());
  return names;
}

bool FileManager::writeAtomically(const Path& path, std::string_view data, ErrorPtr* error) {
  if (!path.has_filename()) return failed(error, EISDIR, "write " + path.string());
  Path directory = path.parent_path();
  if (directory.empty()) directory = ".";
  std::string temporary = (directory / ("." + path.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return failed(error, errno, "write " + path.string());
  ::fchmod(fd, 0644);
  bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
  int code = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    code = errno;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    code = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return failed(error, code, "write " + path.string());
  }
  return true;
}

std::optional<std::string> FileManager::readFile(const Path& path, ErrorPtr* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail<std::string>(error, errno, "read " + path.string());
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    return fail<std::string>(error, code, "read " + path.string());
  }
  std::string contents;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int code = errno;
      ::close(fd);
      return fail<std::string>(error, code, "read " + path.string());
    }
    if (n == 0) break;
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return contents;
}

std::optional<std::uint64_t> FileManager::fileSize(const Path& path, ErrorPtr* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail<std::uint64_t>(error, errno, "size of " + path.string());
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<TimeInterval> FileManager::creationDate(const Path& path, ErrorPtr* error) {
  struct statx stx;
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &stx) != 0) {
    return fail<TimeInterval>(error, errno, "date of " + path.string());
  }
  const struct statx_timestamp& t = (stx.stx_mask & STATX_BTIME) ? stx.stx_btime : stx.stx_mtime;
  return static_cast<TimeInterval>(t.tv_sec) + static_cast<TimeInterval>(t.tv_nsec) * 1e-9;
}

std::optional<FileManager::DiskSpace> FileManager::diskSpace(const Path& path, ErrorPtr* error) {
  struct statvfs sv;
  if (::statvfs(path.c_str(), &sv) != 0) return fail<DiskSpace>(error, errno, "disk space of " + path.string());
  DiskSpace space;
  std::uint64_t unit = sv.f_frsize ? sv.f_frsize : sv.f_bsize;
  space.freeBytes = static_cast<std::uint64_t>(sv.f_bavail) * unit;
  space.totalBytes = static_cast<std::uint64_t>(sv.f_blocks) * unit;
  return space;
}

FileManager::Path FileManager::systemTemporaryDirectory() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  return ec ? Path("/tmp") : base;
}

FileManager::Path FileManager::makeUniqueDirectory(const Path& parent, const std::string& prefix) {
  std::string pattern = (parent / (prefix + "XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  return pattern;
}

FileManager::Path FileManager::makeUniqueSystemTemporaryDirectory(const std::string& prefix) {
  return makeUniqueDirectory(systemTemporaryDirectory(), prefix);
}

}  // namespace platform
