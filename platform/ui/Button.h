// A push button: titles, title colours and images per control state (normal,
// highlighted, disabled, selected; a state without its own value shows the normal one),
// and target actions for control events. A touch that lifts inside the button sends
// touch-up-inside; a disabled button ignores touches.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Font.h"
#include "platform/ui/View.h"

namespace platform {

class Button : public View {
 public:
  enum class Type { Custom, System };
  enum State : std::uint32_t { Normal = 0, Highlighted = 1 << 0, Disabled = 1 << 1, Selected = 1 << 2 };
  enum ControlEvent : std::uint32_t {
    TouchDown = 1 << 0,
    TouchUpInside = 1 << 6,
    TouchUpOutside = 1 << 7,
    TouchCancel = 1 << 8,
  };
  using Action = std::function<void(Button&)>;

  static std::shared_ptr<Button> create(Type type = Type::Custom, const Rect& frame = {});

  Type buttonType() const { return type_; }

  void setTitle(std::optional<std::string> title, std::uint32_t state);
  std::optional<std::string> title(std::uint32_t state) const;
  void setTitleColor(std::optional<Color> color, std::uint32_t state);
  std::optional<Color> titleColor(std::uint32_t state) const;
  void setImage(std::shared_ptr<Image> image, std::uint32_t state);
  std::shared_ptr<Image> image(std::uint32_t state) const;
  std::optional<std::string> currentTitle() const { return title(state()); }
  std::shared_ptr<Image> currentImage() const { return image(state()); }
  const Font& titleFont() const { return titleFont_; }
  void setTitleFont(const Font& font);

  std::uint32_t state() const;
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  bool isSelected() const { return selected_; }
  void setSelected(bool selected) { selected_ = selected; }
  // A glow under the touch while highlighted (drawing only).
  bool showsTouchWhenHighlighted() const { return showsTouch_; }
  void setShowsTouchWhenHighlighted(bool shows) { showsTouch_ = shows; }
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

  // The action runs for each of `events` while `target` lives (an empty target: always).
  void addTarget(std::weak_ptr<void> target, Action action, std::uint32_t events);
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*method)(Button&), std::uint32_t events) {
    std::weak_ptr<T> weak = target;
    addTarget(
        std::weak_ptr<void>(target),
        [weak, method](Button& b) {
          if (auto strong = weak.lock()) ((*strong).*method)(b);
        },
        events);
  }
  // Removes `target`'s actions for `events`; a null target removes every action of them.
  void removeTarget(const void* target, std::uint32_t events);
  void sendActionsForControlEvents(std::uint32_t events);

  // The title beside the image, with the font's metrics.
  Size intrinsicContentSize() const override;
  Size sizeThatFits(Size size) const override;

  void touchesBegan(const TouchList& touches, const Event& event) override;
  void touchesMoved(const TouchList& touches, const Event& event) override;
  void touchesEnded(const TouchList& touches, const Event& event) override;
  void touchesCancelled(const TouchList& touches, const Event& event) override;
  // Draws the current image centred.
  void draw(DrawContext& context) const override;

 protected:
  Button(Type type, const Rect& frame);

 private:
  struct Target {
    std::weak_ptr<void> target;
    bool hadTarget;
    Action action;
    std::uint32_t events;
  };
  bool touchInside(const TouchList& touches) const;

  Type type_;
  std::map<std::uint32_t, std::optional<std::string>> titles_;
  std::map<std::uint32_t, std::optional<Color>> titleColors_;
  std::map<std::uint32_t, std::shared_ptr<Image>> images_;
  Font titleFont_;
  bool enabled_ = true;
  bool selected_ = false;
  bool highlighted_ = false;
  bool showsTouch_ = false;
  bool tracking_ = false;
  std::vector<Target> targets_;
};

}  // namespace platform
