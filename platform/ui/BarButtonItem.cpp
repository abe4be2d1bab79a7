#include "platform/ui/BarButtonItem.h"

#include <cmath>

namespace platform {

std::shared_ptr<BarButtonItem> BarButtonItem::create(SystemItem item, std::weak_ptr<void> target, ActionBlock action) {
  std::shared_ptr<BarButtonItem> result(new BarButtonItem());
  result->systemItem_ = item;
  if (item == SystemItem::Done) result->style_ = Style::Done;
  result->setTarget(std::move(target), std::move(action));
  return result;
}

std::shared_ptr<BarButtonItem> BarButtonItem::create(std::shared_ptr<Image> image, Style style,
                                                     std::weak_ptr<void> target, ActionBlock action) {
  std::shared_ptr<BarButtonItem> result(new BarButtonItem());
  result->image_ = std::move(image);
  result->style_ = style;
  result->setTarget(std::move(target), std::move(action));
  return result;
}

std::shared_ptr<BarButtonItem> BarButtonItem::create(std::string title, Style style, std::weak_ptr<void> target,
                                                     ActionBlock action) {
  std::shared_ptr<BarButtonItem> result(new BarButtonItem());
  result->title_ = std::move(title);
  result->style_ = style;
  result->setTarget(std::move(target), std::move(action));
  return result;
}

std::shared_ptr<BarButtonItem> BarButtonItem::create(std::shared_ptr<View> customView) {
  std::shared_ptr<BarButtonItem> result(new BarButtonItem());
  result->customView_ = std::move(customView);
  return result;
}

void BarButtonItem::setWidth(double width) {
  if (std::isfinite(width) && width >= 0) width_ = width;
}

void BarButtonItem::setTarget(std::weak_ptr<void> target, ActionBlock action) {
  hadTarget_ = !target.expired();
  target_ = std::move(target);
  action_ = std::move(action);
}

bool BarButtonItem::sendAction() {
  if (!enabled_ || !action_ || (hadTarget_ && target_.expired())) return false;
  auto keep = shared_from_this();
  const ActionBlock action = action_;
  action(*this);
  return true;
}

}  // namespace platform
