#include "AdPicture.h"

#include <system_error>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO_FALLBACK
#include <stb/stb_image_write.h>

#include "platform/ui/Bitmap.h"
#include "platform/ui/View.h"

std::string writePicture(const platform::View& view, const std::filesystem::path& path) {
  const platform::Bitmap bitmap = view.snapshot(1.0);
  if (bitmap.isEmpty()) return "the view has no pixels";
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (ec) return "cannot make " + path.parent_path().string() + ": " + ec.message();
  if (!stbi_write_png(path.c_str(), bitmap.width(), bitmap.height(), 4, bitmap.data().data(), bitmap.width() * 4)) {
    return "cannot write " + path.string();
  }
  return {};
}
