#include "platform/ui/ImageView.h"

#include <algorithm>

#include "platform/ui/Image.h"

namespace platform {

std::shared_ptr<ImageView> ImageView::create(const Rect& frame) {
  return std::shared_ptr<ImageView>(new ImageView(frame));
}

std::shared_ptr<ImageView> ImageView::create(std::shared_ptr<Image> image) {
  const Size size = image ? image->size() : Size{};
  auto view = create(Rect({0, 0}, size));
  view->setImage(std::move(image));
  return view;
}

ImageView::ImageView(const Rect& frame) : View(frame) { setUserInteractionEnabled(false); }

void ImageView::setImage(std::shared_ptr<Image> image) {
  image_ = std::move(image);
  invalidateIntrinsicContentSize();
}

Size ImageView::intrinsicContentSize() const {
  if (!image_) return {kViewNoIntrinsicMetric, kViewNoIntrinsicMetric};
  return image_->size();
}

Size ImageView::sizeThatFits(Size) const { return image_ ? image_->size() : Size{}; }

void ImageView::draw(DrawContext& context) const {
  if (!image_) return;
  const Rect b = bounds();
  const Size s = image_->size();
  if (s.width <= 0 || s.height <= 0) return;
  Rect target = b;
  switch (contentMode()) {
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw:
      break;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
      const double fx = b.width() / s.width, fy = b.height() / s.height;
      const double f = contentMode() == ContentMode::ScaleAspectFit ? std::min(fx, fy) : std::max(fx, fy);
      const double w = s.width * f, h = s.height * f;
      target = Rect(b.midX() - w / 2, b.midY() - h / 2, w, h);
      break;
    }
    default: {
      const ContentMode m = contentMode();
      double x = b.midX() - s.width / 2, y = b.midY() - s.height / 2;
      if (m == ContentMode::Left || m == ContentMode::TopLeft || m == ContentMode::BottomLeft) x = b.minX();
      if (m == ContentMode::Right || m == ContentMode::TopRight || m == ContentMode::BottomRight) {
        x = b.maxX() - s.width;
      }
      if (m == ContentMode::Top || m == ContentMode::TopLeft || m == ContentMode::TopRight) y = b.minY();
      if (m == ContentMode::Bottom || m == ContentMode::BottomLeft || m == ContentMode::BottomRight) {
        y = b.maxY() - s.height;
      }
      target = Rect(x, y, s.width, s.height);
      break;
    }
  }
  context.drawImage(*image_, target);
}

}  // namespace platform
