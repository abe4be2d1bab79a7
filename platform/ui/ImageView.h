// A view that shows an image, placed in its bounds by the view's content mode (scale
// to fill by default). An image view takes no touches unless told to.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace platform {

class ImageView : public View {
 public:
  static std::shared_ptr<ImageView> create(const Rect& frame = {});
  // Sized to the image (in points).
  static std::shared_ptr<ImageView> create(std::shared_ptr<Image> image);

  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image);

  // The image's size in points; no intrinsic size without an image.
  Size intrinsicContentSize() const override;
  Size sizeThatFits(Size size) const override;
  void draw(DrawContext& context) const override;

 protected:
  explicit ImageView(const Rect& frame);

 private:
  std::shared_ptr<Image> image_;
};

}  // namespace platform
