// A view that shows text: the text (absent and empty differ), its font, colour,
// alignment and number of lines, and an intrinsic size from the font's simple metrics
// (see Font). Glyphs are not drawn: snapshots show a label's background only. A label
// takes no touches unless told to.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Font.h"
#include "platform/ui/View.h"

namespace platform {

enum class TextAlignment { Left, Center, Right, Justified, Natural };

class Label : public View {
 public:
  static std::shared_ptr<Label> create(const Rect& frame = {});

  const std::optional<std::string>& text() const { return text_; }
  void setText(std::optional<std::string> text);
  const Font& font() const { return font_; }
  void setFont(const Font& font);
  // Black unless set.
  const Color& textColor() const { return textColor_; }
  void setTextColor(const Color& color) { textColor_ = color; }
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment alignment) { alignment_ = alignment; }
  // 0: as many as the text needs. Negative counts read as 0.
  int numberOfLines() const { return lines_; }
  void setNumberOfLines(int lines);
  double preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
  void setPreferredMaxLayoutWidth(double width);

  // One line per paragraph, wrapped at `size.width` when more than one line is allowed.
  Size sizeThatFits(Size size) const override;
  Size intrinsicContentSize() const override;

 protected:
  explicit Label(const Rect& frame);

 private:
  std::optional<std::string> text_;
  Font font_;
  Color textColor_ = Color::black();
  TextAlignment alignment_ = TextAlignment::Natural;
  int lines_ = 1;
  double preferredMaxLayoutWidth_ = 0;
};

}  // namespace platform
