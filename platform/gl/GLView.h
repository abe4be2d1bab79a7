// A view whose content is drawn with OpenGL ES, after the platform's GL kit view. Its
// drawable is a framebuffer object of the view's size times its content scale factor,
// made in the view's context when first bound. display() calls the delegate's draw on the
// calling thread (a render thread), then keeps the drawn pixels: the last frame drawn is
// what the view shows, in snapshots too, so tests read the pixels a user would see.
//
// View calls (geometry, hierarchy, snapshots, the content scale factor): main thread only.
// The drawable calls (context, delegate, bindDrawable, display, deleteDrawable, the
// drawable's size) may be called from any one thread at a time, usually the render thread.
// The drawable follows the size the view had at its last layout (or creation).
#pragma once

#include <memory>
#include <mutex>

#include "platform/ui/View.h"

namespace platform {

class GLContext;
class GLViewDelegate;
class Image;

class GLView : public View {
 public:
  static std::shared_ptr<GLView> create(const Rect& frame, std::shared_ptr<GLContext> context = nullptr);
  ~GLView() override;

  std::shared_ptr<GLContext> context() const;
  // A new context drops the drawable made in the old one.
  void setContext(std::shared_ptr<GLContext> context);
  std::shared_ptr<GLViewDelegate> delegate() const;
  void setDelegate(std::weak_ptr<GLViewDelegate> delegate);

  // Main thread. Pixels per point of the drawable; values that are not positive and
  // finite are refused. 1 by default.
  double contentScaleFactor() const { return contentScale_; }
  void setContentScaleFactor(double scale);

  // Binds the drawable as the framebuffer of the current context, making it first when
  // there is none or the view's size changed, and sets the viewport to it. The view's
  // context must be current on the calling thread. False, logged, when it is not, when
  // the view has no area, or when GL cannot complete the framebuffer.
  [[nodiscard]] bool bindDrawable();
  // Makes the context current, binds the drawable, has the delegate draw and keeps the
  // frame. Logged and skipped without a context, a delegate or a drawable.
  void display();
  // Frees the drawable (in the context it was made in); the last frame stays shown.
  void deleteDrawable();
  // The size in pixels of the drawable that bindDrawable() binds.
  int drawableWidth() const;
  int drawableHeight() const;

  // The last frame drawn, in pixels, top row first; nullptr before the first.
  std::shared_ptr<const Image> lastFrame() const;

  void draw(DrawContext& context) const override;
  void layoutSubviews() override;
  std::string description() const override;

 protected:
  GLView(const Rect& frame, std::shared_ptr<GLContext> context);

 private:
  struct Drawable {
    unsigned framebuffer = 0, colorTexture = 0;
    int width = 0, height = 0;
    std::shared_ptr<GLContext> context;  // the context it was made in
  };
  void updateDrawableSize();
  bool makeDrawable(int width, int height);
  void freeDrawable();
  void keepFrame(int width, int height);

  double contentScale_ = 1.0;
  mutable std::mutex mutex_;
  std::shared_ptr<GLContext> context_;
  std::weak_ptr<GLViewDelegate> delegate_;
  // The view's size and scale at its last layout, for the drawable's thread.
  Size pointSize_;
  double drawableScale_ = 1.0;
  int wantedWidth_ = 0, wantedHeight_ = 0;
  Drawable drawable_;
  std::shared_ptr<const Image> lastFrame_;
};

}  // namespace platform
