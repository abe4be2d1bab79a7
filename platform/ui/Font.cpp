#include "platform/ui/Font.h"

#include <cmath>

namespace platform {

namespace {
constexpr const char* kSystemFontName = ".SFUIText";
constexpr const char* kBoldSystemFontName = ".SFUIText-Semibold";
}  // namespace

Font::Font() : Font(kSystemFontName, systemFontSize()) {}

Font::Font(std::string name, double pointSize)
    : name_(std::move(name)), size_(std::isfinite(pointSize) && pointSize > 0 ? pointSize : 0) {}

Font Font::systemFont(double pointSize) { return Font(kSystemFontName, pointSize); }

Font Font::boldSystemFont(double pointSize) { return Font(kBoldSystemFontName, pointSize); }

double Font::widthOfText(const std::string& text) const {
  std::size_t scalars = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++scalars;  // not a continuation byte
  }
  return static_cast<double>(scalars) * characterWidth();
}

}  // namespace platform
