#include "testing/TestImages.h"

#include <cstddef>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace testenv {

namespace {

void append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

std::string pngBytes(int width, int height, RGBA colour) {
  if (width <= 0 || height <= 0) return {};
  std::vector<std::uint8_t> rgba;
  rgba.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  for (int i = 0; i < width * height; ++i) rgba.insert(rgba.end(), {colour.r, colour.g, colour.b, colour.a});
  std::string out;
  stbi_write_png_to_func(append, &out, width, height, 4, rgba.data(), width * 4);
  return out;
}

}  // namespace testenv
