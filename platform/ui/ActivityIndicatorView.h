// A spinner that shows work in progress: animating or not, and hidden while stopped
// unless told otherwise (so a new one starts hidden).
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/View.h"

namespace platform {

class ActivityIndicatorView : public View {
 public:
  enum class Style { WhiteLarge, White, Gray };

  // Sized for the style: 37 x 37 points large, 20 x 20 otherwise.
  static std::shared_ptr<ActivityIndicatorView> create(Style style = Style::White);

  Style style() const { return style_; }
  void setStyle(Style style) { style_ = style; }
  std::optional<Color> color() const { return color_; }
  void setColor(std::optional<Color> color) { color_ = color; }

  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return animating_; }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool value);

  Size intrinsicContentSize() const override;
  Size sizeThatFits(Size size) const override {
    (void)size;
    return intrinsicContentSize();
  }

 protected:
  explicit ActivityIndicatorView(Style style);

 private:
  Style style_;
  std::optional<Color> color_;
  bool animating_ = false;
  bool hidesWhenStopped_ = true;
};

}  // namespace platform
