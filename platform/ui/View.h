// A rectangle of the user interface, after the phone platform's view: a place in its
// superview (frame, or center + bounds + transform), its own coordinate system (bounds;
// the bounds origin is the scroll offset), an ordered list of subviews drawn back to
// front, appearance (background colour, alpha, hidden, clipping), touch handling (hit
// testing, gesture recognizers, touch callbacks) and a snapshot into an RGBA bitmap.
//
// Views are shared objects made by View::create() (subclasses: a create() of their own
// that calls a protected constructor, then any set-up that needs shared_from_this()). A
// view holds its subviews and gesture recognizers strongly, its superview and window
// weakly. Subclasses customise by overriding the virtual hooks below.
//
// Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

namespace platform {

class Bitmap;
class Coder;
class Event;
class GestureRecognizer;
class Image;
class LayoutConstraint;
class LayoutSolver;
class Touch;
class Window;

using TouchList = std::vector<std::shared_ptr<Touch>>;

// How a view changes its frame when its superview's bounds size changes.
enum AutoresizingMask : std::uint32_t {
  AutoresizingNone = 0,
  AutoresizingFlexibleLeftMargin = 1 << 0,
  AutoresizingFlexibleWidth = 1 << 1,
  AutoresizingFlexibleRightMargin = 1 << 2,
  AutoresizingFlexibleTopMargin = 1 << 3,
  AutoresizingFlexibleHeight = 1 << 4,
  AutoresizingFlexibleBottomMargin = 1 << 5,
};

// How a view places content of its own size (an image view's image) in its bounds.
enum class ContentMode {
  ScaleToFill,
  ScaleAspectFit,
  ScaleAspectFill,
  Redraw,
  Center,
  Top,
  Bottom,
  Left,
  Right,
  TopLeft,
  TopRight,
  BottomLeft,
  BottomRight,
};

// "No intrinsic size along this axis".
inline constexpr double kViewNoIntrinsicMetric = -1.0;

enum class LayoutConstraintAxis { Horizontal, Vertical };

class View : public std::enable_shared_from_this<View> {
 public:
  static std::shared_ptr<View> create(const Rect& frame = {});
  // A view made from an archive (Coder.h); nullptr, logged, when it holds no usable frame.
  static std::shared_ptr<View> create(const Coder& coder);
  // Registers the class under its archive name, "View".
  static void registerClass();
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // --- Geometry ---------------------------------------------------------------------
  // The bounding box, in the superview's coordinates, of the bounds transformed about
  // the center. Setting it sets the center and, with an identity transform, the size
  // of the bounds (a non-identity transform keeps the bounds size).
  Rect frame() const;
  // Virtual, as are setBounds() and setAlpha(): a view may keep them in step with state
  // of its own (a banner's frame follows its ad size).
  virtual void setFrame(const Rect& frame);
  Rect bounds() const { return bounds_; }
  virtual void setBounds(const Rect& bounds);
  Point center() const { return center_; }
  void setCenter(Point center);
  const AffineTransform& transform() const { return transform_; }
  void setTransform(const AffineTransform& transform);
  // Each setter above refuses values that are not finite (the call does nothing).

  // --- Appearance -------------------------------------------------------------------
  double alpha() const { return alpha_; }
  virtual void setAlpha(double alpha);  // clamped to 0...1
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<Color> color) { backgroundColor_ = color; }
  // What assistive technologies read for the view; nullopt when none is set.
  const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::optional<std::string> label) { accessibilityLabel_ = std::move(label); }
  // The view's own tint, or the nearest ancestor's; nullopt when none is set.
  std::optional<Color> tintColor() const;
  void setTintColor(std::optional<Color> color) { tintColor_ = color; }
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double radius);
  ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode mode) { contentMode_ = mode; }
  std::int64_t tag() const { return tag_; }
  void setTag(std::int64_t tag) { tag_ = tag; }

  // --- Hierarchy --------------------------------------------------------------------
  std::shared_ptr<View> superview() const { return superview_.lock(); }
  // Back to front.
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // The window the view is in, through its superviews (a window is its own window).
  std::shared_ptr<Window> window() const;

  // Adding a view moves it from its present superview; adding the view itself or one of
  // its ancestors is refused. Hooks run in the platform's order: old superview's
  // willRemoveSubview, willMoveToSuperview, willMoveToWindow (down the subtree), the
  // move, didMoveToWindow (down the subtree), didMoveToSuperview, didAddSubview.
  void addSubview(const std::shared_ptr<View>& view);
  // `index` past the end appends.
  void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
  // A sibling that is not a subview appends (above) or prepends (below).
  void insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
  void insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
  void bringSubviewToFront(const std::shared_ptr<View>& view);
  void sendSubviewToBack(const std::shared_ptr<View>& view);
  void removeFromSuperview();
  // Whether the view is `view` or lies under it.
  bool isDescendantOfView(const View* view) const;
  // The view itself or the first descendant (depth first) with the tag.
  std::shared_ptr<View> viewWithTag(std::int64_t tag);

  // --- Layout -----------------------------------------------------------------------
  // Marks the view for layout; a view in a window is laid out on a coming turn of the
  // main run loop, otherwise at the next layoutIfNeeded(). A change of the bounds size
  // and adding or removing subviews mark it too.
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  // Lays out the view when marked, then its subviews, top down.
  void layoutIfNeeded();
  std::uint32_t autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(std::uint32_t mask) { autoresizingMask_ = mask; }
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool value) { autoresizesSubviews_ = value; }
  // The size that best fits `size`; the base answers the current bounds size.
  virtual Size sizeThatFits(Size size) const;
  // Resizes the bounds to sizeThatFits(current size).
  void sizeToFit();
  // kViewNoIntrinsicMetric along an axis without an intrinsic size (the base: both).
  virtual Size intrinsicContentSize() const;
  // Asks the superview's pass to read the intrinsic size again.
  void invalidateIntrinsicContentSize();
  // How much the view resists growing past (hugging) and shrinking below (compression
  // resistance) its intrinsic size along an axis: priorities 1-1000, by default 250 and
  // 750. A value out of range is clamped; one that is not finite is refused.
  float contentHuggingPriority(LayoutConstraintAxis axis) const;
  void setContentHuggingPriority(float priority, LayoutConstraintAxis axis);
  float contentCompressionResistancePriority(LayoutConstraintAxis axis) const;
  void setContentCompressionResistancePriority(float priority, LayoutConstraintAxis axis);

  // Before a view lays out its subviews, its hierarchy's constraints are solved and set
  // the subviews' frames (LayoutSolver.h); a view that translates its autoresizing mask
  // into constraints keeps its frame and autoresizing.
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool value);
  const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }
  void addConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
  void addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
  void removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
  void removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

  // --- Coordinates ------------------------------------------------------------------
  // Between this view's bounds coordinates and `view`'s, through every transform on
  // the way. nullptr stands for the window (for a view without a window: the top of
  // its hierarchy). Views of different windows convert through the screen. Rects
  // convert to the bounding box of the converted rect; the null rect stays null.
  Point convertPointToView(Point point, const View* view) const;
  Point convertPointFromView(Point point, const View* view) const;
  Rect convertRectToView(const Rect& rect, const View* view) const;
  Rect convertRectFromView(const Rect& rect, const View* view) const;

  // --- Touches ----------------------------------------------------------------------
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
  bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
  void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }
  // The deepest view under `point` (in this view's bounds coordinates) that takes
  // touches; nullptr when none. Hidden views, views with alpha below 0.01 and views that
  // do not take user interaction are skipped with their subtrees; subviews are tried
  // front to back, each only where its superview's pointInside() says yes.
  virtual std::shared_ptr<View> hitTest(Point point, const Event* event = nullptr);
  virtual bool pointInside(Point point, const Event* event = nullptr) const;

  // The view retains its recognizers; each recognizer knows its view weakly. A
  // recognizer moves from its previous view.
  void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
  void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
  const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return gestureRecognizers_; }

  // Touch callbacks, reached after the gesture recognizers have seen the touches. The
  // base passes them on to the superview.
  virtual void touchesBegan(const TouchList& touches, const Event& event);
  virtual void touchesMoved(const TouchList& touches, const Event& event);
  virtual void touchesEnded(const TouchList& touches, const Event& event);
  virtual void touchesCancelled(const TouchList& touches, const Event& event);

  // --- Drawing ----------------------------------------------------------------------
  // Where a view paints its own content during a snapshot: `transform` maps the view's
  // bounds coordinates to bitmap pixels (axis-aligned parts only: rotations paint
  // bounding boxes), `clip` is in pixels, `alpha` is the accumulated opacity.
  class DrawContext {
   public:
    DrawContext(Bitmap& bitmap, const AffineTransform& transform, const Rect& clip, double alpha);
    // Composites a colour (source over) on a rect of the view's bounds coordinates.
    void fillRect(const Rect& rect, const Color& color);
    // Draws an image scaled into a rect of the view's bounds coordinates.
    void drawImage(const Image& image, const Rect& rect);
    Bitmap& bitmap() { return bitmap_; }
    const AffineTransform& transform() const { return transform_; }
    const Rect& clip() const { return clip_; }
    double alpha() const { return alpha_; }

   private:
    Bitmap& bitmap_;
    AffineTransform transform_;
    Rect clip_;
    double alpha_;
  };
  // The bounds of the view, with its subviews, rendered at `scale` pixels per point
  // (transparent ground): background colours composited with alpha, clipping of
  // views that clip to bounds, each view's draw() between its background and its
  // subviews. Hidden views draw nothing; corner radii are not masked. Bitmaps larger
  // than 8192 pixels on a side are not made (an empty bitmap instead).
  Bitmap snapshot(double scale) const;

  // A readable summary for logs: class, address, frame.
  virtual std::string description() const;

  // --- Hooks for subclasses (called by the view system; the bases do nothing) --------
  // Paints the view's own content. The base paints nothing.
  virtual void draw(DrawContext& context) const;
  virtual void layoutSubviews();
  virtual void willMoveToSuperview(const std::shared_ptr<View>& newSuperview);
  virtual void didMoveToSuperview();
  virtual void willMoveToWindow(const std::shared_ptr<Window>& newWindow);
  virtual void didMoveToWindow();
  virtual void didAddSubview(const std::shared_ptr<View>& subview);
  virtual void willRemoveSubview(const std::shared_ptr<View>& subview);

 protected:
  explicit View(const Rect& frame);
  // The coder initializer's share of the base: the archived frame, and "hidden",
  // "alpha" and "tag" when present. False, with nothing changed, without a usable
  // frame. Subclasses made from archives call it from their create(const Coder&) before
  // their own set-up.
  [[nodiscard]] bool initWithCoder(const Coder& coder);

 private:
  friend class Window;
  friend class LayoutSolver;

  AffineTransform toSuperviewTransform() const;
  AffineTransform toRootTransform(bool includeRoot) const;
  void placeSubview(const std::shared_ptr<View>& view, std::size_t index);
  void detachFromSuperviewForMove();
  void propagateWillMoveToWindow(const std::shared_ptr<Window>& window);
  void propagateDidMoveToWindow(const std::shared_ptr<Window>& window);
  void resizeSubviewsWithOldSize(Size oldSize);
  void autoresizeWithOldSuperviewSize(Size oldSize, Size newSize);
  void boundsSizeChanged(Size oldSize);
  void render(Bitmap& bitmap, const AffineTransform& toPixels, const Rect& clip, double alpha) const;
  // From `from`'s bounds coordinates to `to`'s (nullptr: `from`'s window or root).
  static AffineTransform conversionTransform(const View* from, const View* to);

  Rect bounds_;
  Point center_;
  AffineTransform transform_;
  double alpha_ = 1.0;
  bool hidden_ = false;
  bool clipsToBounds_ = false;
  bool opaque_ = true;
  bool userInteractionEnabled_ = true;
  bool multipleTouchEnabled_ = false;
  bool needsLayout_ = false;
  bool autoresizesSubviews_ = true;
  bool translatesMask_ = true;
  std::uint32_t autoresizingMask_ = AutoresizingNone;
  std::optional<Color> backgroundColor_;
  std::optional<Color> tintColor_;
  std::optional<std::string> accessibilityLabel_;
  double cornerRadius_ = 0;
  ContentMode contentMode_ = ContentMode::ScaleToFill;
  std::int64_t tag_ = 0;
  std::weak_ptr<View> superview_;
  std::weak_ptr<Window> window_;
  std::vector<std::shared_ptr<View>> subviews_;
  std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers_;
  std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
  std::array<float, 2> huggingPriority_{250, 250};
  std::array<float, 2> compressionResistancePriority_{750, 750};
  // The solver of the hierarchy this view is the top of; made by the first pass.
  mutable std::unique_ptr<LayoutSolver> layoutSolver_;
};

}  // namespace platform
