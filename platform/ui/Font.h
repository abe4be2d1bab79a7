// A font: a name and a point size, with the simple metrics the views lay text out by
// (every character the same width). A plain value; any thread.
#pragma once

#include <string>

namespace platform {

class Font {
 public:
  // The system font of 17 points.
  Font();
  // A size that is negative or not finite becomes 0.
  Font(std::string name, double pointSize);

  static Font systemFont(double pointSize);
  static Font boldSystemFont(double pointSize);
  static constexpr double systemFontSize() { return 17.0; }

  const std::string& fontName() const { return name_; }
  double pointSize() const { return size_; }
  Font withSize(double pointSize) const { return Font(name_, pointSize); }

  // Metrics used for intrinsic sizes: line height 1.2 x size, every character
  // (Unicode scalar) 0.5 x size wide.
  double lineHeight() const { return size_ * 1.2; }
  double characterWidth() const { return size_ * 0.5; }
  // The width of one line of UTF-8 text.
  double widthOfText(const std::string& text) const;

  friend bool operator==(const Font&, const Font&) = default;

 private:
  std::string name_;
  double size_ = 0;
};

}  // namespace platform
