// What draws a GLView's content. Called on the thread that calls GLView::display().
#pragma once

#include "platform/ui/Geometry.h"

namespace platform {

class GLView;

class GLViewDelegate {
 public:
  virtual ~GLViewDelegate() = default;
  // Draws into the view's drawable, which is bound, with the view's context current;
  // `rect` is the view's bounds in points.
  virtual void glViewDrawInRect(GLView& view, const Rect& rect) = 0;
};

}  // namespace platform
