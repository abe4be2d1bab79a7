// The bytes of a local file, read in chunks on the reading thread as they are needed.
// Any thread.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/media/ByteSource.h"

namespace platform {

class FileByteSource final : public ByteSource {
 public:
  // A source that has failed when the file cannot be opened.
  static std::shared_ptr<FileByteSource> create(const std::filesystem::path& path);
  ~FileByteSource() override;

 private:
  explicit FileByteSource(int fd) : fd_(fd) {}
  void fetch(std::int64_t offset) override;
  bool fetchWillReach(std::int64_t) const override { return false; }

  const int fd_;
};

}  // namespace platform
