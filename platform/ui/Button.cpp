#include "platform/ui/Button.h"

#include <algorithm>

#include "platform/ui/Image.h"
#include "platform/ui/Touch.h"

namespace platform {

namespace {
// The value for `state`, else the normal state's.
template <class Map>
typename Map::mapped_type lookup(const Map& map, std::uint32_t state) {
  if (auto it = map.find(state); it != map.end() && it->second) return it->second;
  if (auto it = map.find(Button::Normal); it != map.end()) return it->second;
  return {};
}
}  // namespace

std::shared_ptr<Button> Button::create(Type type, const Rect& frame) {
  return std::shared_ptr<Button>(new Button(type, frame));
}

Button::Button(Type type, const Rect& frame) : View(frame), type_(type), titleFont_(Font::systemFont(15)) {}

void Button::setTitle(std::optional<std::string> title, std::uint32_t state) {
  titles_[state] = std::move(title);
  invalidateIntrinsicContentSize();
}

std::optional<std::string> Button::title(std::uint32_t state) const { return lookup(titles_, state); }

void Button::setTitleColor(std::optional<Color> color, std::uint32_t state) { titleColors_[state] = color; }

std::optional<Color> Button::titleColor(std::uint32_t state) const { return lookup(titleColors_, state); }

void Button::setImage(std::shared_ptr<Image> image, std::uint32_t state) {
  images_[state] = std::move(image);
  invalidateIntrinsicContentSize();
}

std::shared_ptr<Image> Button::image(std::uint32_t state) const { return lookup(images_, state); }

void Button::setTitleFont(const Font& font) {
  titleFont_ = font;
  invalidateIntrinsicContentSize();
}

std::uint32_t Button::state() const {
  std::uint32_t s = Normal;
  if (highlighted_) s |= Highlighted;
  if (!enabled_) s |= Disabled;
  if (selected_) s |= Selected;
  return s;
}

void Button::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) {
    highlighted_ = false;
    tracking_ = false;
  }
}

void Button::addTarget(std::weak_ptr<void> target, Action action, std::uint32_t events) {
  if (!action || events == 0) return;
  const bool hadTarget = !target.expired();
  targets_.push_back({std::move(target), hadTarget, std::move(action), events});
}

void Button::removeTarget(const void* target, std::uint32_t events) {
  for (auto& t : targets_) {
    auto strong = t.target.lock();
    if (!target || (t.hadTarget && (!strong || strong.get() == target))) t.events &= ~events;
  }
  std::erase_if(targets_, [](const Target& t) { return t.events == 0; });
}

void Button::sendActionsForControlEvents(std::uint32_t events) {
  auto keep = shared_from_this();
  const auto targets = targets_;
  for (const auto& t : targets) {
    if (!(t.events & events)) continue;
    if (t.hadTarget && t.target.expired()) continue;
    t.action(*this);
  }
}

Size Button::intrinsicContentSize() const {
  const auto title = currentTitle();
  const auto picture = currentImage();
  double width = title ? titleFont_.widthOfText(*title) : 0;
  double height = title ? titleFont_.lineHeight() : 0;
  if (picture) {
    width += picture->size().width;
    height = std::max(height, picture->size().height);
  }
  return {width, height};
}

Size Button::sizeThatFits(Size) const { return intrinsicContentSize(); }

bool Button::touchInside(const TouchList& touches) const {
  return !touches.empty() && bounds().contains(touches.front()->locationInView(this));
}

void Button::touchesBegan(const TouchList&, const Event&) {
  if (!enabled_) return;
  tracking_ = true;
  highlighted_ = true;
  sendActionsForControlEvents(TouchDown);
}

void Button::touchesMoved(const TouchList& touches, const Event&) {
  if (tracking_) highlighted_ = touchInside(touches);
}

void Button::touchesEnded(const TouchList& touches, const Event&) {
  if (!tracking_) return;
  tracking_ = false;
  highlighted_ = false;
  sendActionsForControlEvents(touchInside(touches) ? TouchUpInside : TouchUpOutside);
}

void Button::touchesCancelled(const TouchList&, const Event&) {
  if (!tracking_) return;
  tracking_ = false;
  highlighted_ = false;
  sendActionsForControlEvents(TouchCancel);
}

void Button::draw(DrawContext& context) const {
  const auto picture = currentImage();
  if (!picture) return;
  const Size s = picture->size();
  const Rect b = bounds();
  context.drawImage(*picture, Rect(b.midX() - s.width / 2, b.midY() - s.height / 2, s.width, s.height));
}

}  // namespace platform
