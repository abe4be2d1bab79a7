#include "platform/ui/Toolbar.h"

#include <algorithm>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Touch.h"

namespace platform {

std::shared_ptr<Toolbar> Toolbar::create(const Rect& frame) { return std::shared_ptr<Toolbar>(new Toolbar(frame)); }

Toolbar::Toolbar(const Rect& frame) : View(frame) {}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
  std::erase(items, nullptr);
  for (const auto& view : installedViews_) {
    if (view->superview().get() == this) view->removeFromSuperview();
  }
  installedViews_.clear();
  items_ = std::move(items);
  for (const auto& item : items_) {
    if (const auto& view = item->customView()) {
      addSubview(view);
      installedViews_.push_back(view);
    }
  }
  setNeedsLayout();
}

std::vector<Rect> Toolbar::itemFrames() const {
  const Rect b = bounds();
  std::vector<double> widths;
  double fixed = 0;
  std::size_t flexible = 0;
  for (const auto& item : items_) {
    double w = item->width();
    if (item->systemItem() == BarButtonItem::SystemItem::FlexibleSpace) {
      ++flexible;
      w = 0;
    } else if (w <= 0) {
      if (item->customView()) {
        w = item->customView()->frame().width();
      } else if (item->image()) {
        w = item->image()->size().width;
      } else if (item->title()) {
        w = Font::systemFont(17).widthOfText(*item->title());
      } else if (item->systemItem() != BarButtonItem::SystemItem::FixedSpace) {
        w = kDefaultItemWidth;
      }
    }
    widths.push_back(w);
    fixed += w;
  }
  const double gaps = items_.empty() ? 0 : kItemSpacing * static_cast<double>(items_.size() - 1);
  const double room = std::max(0.0, b.width() - 2 * kEdgeMargin - gaps - fixed);
  std::vector<Rect> frames;
  double x = b.minX() + kEdgeMargin;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    double w = widths[i];
    if (items_[i]->systemItem() == BarButtonItem::SystemItem::FlexibleSpace) {
      w = room / static_cast<double>(flexible);
    }
    frames.push_back(Rect(x, b.minY(), w, b.height()));
    x += w + kItemSpacing;
  }
  return frames;
}

Rect Toolbar::frameForItemAtIndex(std::size_t index) const {
  const auto frames = itemFrames();
  return index < frames.size() ? frames[index] : Rect::null();
}

Size Toolbar::sizeThatFits(Size size) const { return {size.width, 44}; }

void Toolbar::layoutSubviews() {
  const auto frames = itemFrames();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const auto& view = items_[i]->customView();
    if (!view || view->superview().get() != this) continue;
    view->setCenter({frames[i].midX(), frames[i].midY()});
  }
}

void Toolbar::touchesBegan(const TouchList&, const Event&) {}

void Toolbar::touchesEnded(const TouchList& touches, const Event&) {
  if (touches.empty()) return;
  const Point at = touches.front()->locationInView(this);
  const auto frames = itemFrames();
  const auto items = items_;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!frames[i].contains(at)) continue;
    if (!items[i]->isSpace() && !items[i]->customView()) items[i]->sendAction();
    return;
  }
}

}  // namespace platform
