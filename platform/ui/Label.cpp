#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

std::shared_ptr<Label> Label::create(const Rect& frame) { return std::shared_ptr<Label>(new Label(frame)); }

Label::Label(const Rect& frame) : View(frame) { setUserInteractionEnabled(false); }

void Label::setText(std::optional<std::string> text) {
  text_ = std::move(text);
  invalidateIntrinsicContentSize();
}

void Label::setFont(const Font& font) {
  font_ = font;
  invalidateIntrinsicContentSize();
}

void Label::setNumberOfLines(int lines) {
  lines_ = std::max(0, lines);
  invalidateIntrinsicContentSize();
}

void Label::setPreferredMaxLayoutWidth(double width) {
  if (std::isfinite(width) && width >= 0) preferredMaxLayoutWidth_ = width;
}

Size Label::sizeThatFits(Size size) const {
  if (!text_ || text_->empty()) return {0, 0};
  const double limit =
      std::isfinite(size.width) && size.width > 0 ? size.width : std::numeric_limits<double>::infinity();
  if (lines_ == 1) {
    std::string flat = *text_;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    return {font_.widthOfText(flat), font_.lineHeight()};
  }
  double widest = 0;
  double lines = 0;
  std::size_t start = 0;
  while (start <= text_->size()) {
    std::size_t end = text_->find('\n', start);
    if (end == std::string::npos) end = text_->size();
    const double width = font_.widthOfText(text_->substr(start, end - start));
    const double wrapped = std::max(1.0, std::ceil(width / limit));
    lines += std::isfinite(wrapped) ? wrapped : 1.0;
    widest = std::max(widest, std::min(width, limit));
    start = end + 1;
  }
  if (lines_ > 0) lines = std::min(lines, static_cast<double>(lines_));
  return {widest, lines * font_.lineHeight()};
}

Size Label::intrinsicContentSize() const {
  return sizeThatFits({preferredMaxLayoutWidth_ > 0 ? preferredMaxLayoutWidth_ : 0, 0});
}

}  // namespace platform
