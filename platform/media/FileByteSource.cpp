#include "platform/media/FileByteSource.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {
constexpr std::int64_t kChunk = 1 << 20;
}

std::shared_ptr<FileByteSource> FileByteSource::create(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  auto source = std::shared_ptr<FileByteSource>(new FileByteSource(fd));
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const bool missing = fd < 0 && errno == ENOENT;
    source->fail(
        makeURLError(missing ? kURLErrorFileDoesNotExist : kURLErrorResourceUnavailable, "file://" + path.string()));
    return source;
  }
  source->setLength(info.st_size);
  return source;
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) ::close(fd_);
}

void FileByteSource::fetch(std::int64_t offset) {
  std::string chunk(static_cast<std::size_t>(kChunk), '\0');
  const ssize_t got = ::pread(fd_, chunk.data(), chunk.size(), offset);
  if (got < 0) {
    fail(makePOSIXError(errno, "read"));
  } else if (got == 0) {
    // The file shrank under us.
    fail(makeURLError(kURLErrorResourceUnavailable));
  } else {
    deliver(offset, std::string_view(chunk.data(), static_cast<std::size_t>(got)));
  }
}

}  // namespace platform
