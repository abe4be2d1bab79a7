// A view whose content is larger than itself: the content offset is the bounds origin,
// so moving it moves every subview; the content size and inset bound what can be seen.
// Scrolling by the finger is not modelled; the offset is set by code.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace platform {

class ScrollView : public View {
 public:
  static std::shared_ptr<ScrollView> create(const Rect& frame = {});

  Size contentSize() const { return contentSize_; }
  // Negative or non-finite sizes are refused.
  void setContentSize(Size size);
  Point contentOffset() const { return bounds().origin; }
  void setContentOffset(Point offset);
  EdgeInsets contentInset() const { return contentInset_; }
  void setContentInset(const EdgeInsets& insets);

  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool value) { scrollEnabled_ = value; }
  bool bounces() const { return bounces_; }
  void setBounces(bool value) { bounces_ = value; }
  bool scrollsToTop() const { return scrollsToTop_; }
  void setScrollsToTop(bool value) { scrollsToTop_ = value; }

 protected:
  explicit ScrollView(const Rect& frame);

 private:
  Size contentSize_;
  EdgeInsets contentInset_;
  bool scrollEnabled_ = true;
  bool bounces_ = true;
  bool scrollsToTop_ = true;
};

}  // namespace platform
