#include "platform/ui/Bundle.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace {

std::string executableFolder() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : executable.parent_path().string();
}

// A component that stays inside the resource folder: no separator, no way up, no NUL.
bool isPlainComponent(std::string_view text) {
  return text.find('/') == text.npos && text.find("..") == text.npos && text.find('\0') == text.npos;
}

}  // namespace

std::string Bundle::resourcePath() const {
  std::lock_guard lock(mutex_);
  return resourcePath_ ? *resourcePath_ : executableFolder();
}

void Bundle::setResourcePath(std::string path) {
  std::lock_guard lock(mutex_);
  resourcePath_ = std::move(path);
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, std::string_view type) const {
  if (name.empty() || !isPlainComponent(name) || !isPlainComponent(type)) return std::nullopt;
  const std::string folder = resourcePath();
  if (folder.empty()) return std::nullopt;
  std::string file(name);
  if (!type.empty()) file.append(".").append(type);
  const auto path = std::filesystem::path(folder) / file;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return path.string();
}

}  // namespace platform
