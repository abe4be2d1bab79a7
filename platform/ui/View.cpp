#include "platform/ui/View.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Coder.h"
#include "platform/ui/Event.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutSolver.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

bool isFinite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }
bool isFinite(const Rect& r) {
  return isFinite(r.origin) && std::isfinite(r.size.width) && std::isfinite(r.size.height);
}
bool isFinite(const AffineTransform& t) {
  return std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c) && std::isfinite(t.d) && std::isfinite(t.tx) &&
         std::isfinite(t.ty);
}

const View* rootOf(const View* view) {
  const View* v = view;
  while (auto s = v->superview()) v = s.get();
  return v;
}

}  // namespace

std::shared_ptr<View> View::create(const Rect& frame) { return std::shared_ptr<View>(new View(frame)); }

std::shared_ptr<View> View::create(const Coder& coder) {
  auto view = std::shared_ptr<View>(new View(Rect()));
  if (!view->initWithCoder(coder)) return nullptr;
  return view;
}

void View::registerClass() {
  Coder::registerViewClass("View", [](const Coder& coder) { return View::create(coder); });
}

bool View::initWithCoder(const Coder& coder) {
  const auto archivedFrame = coder.decodeRectForKey("frame");
  if (!archivedFrame) return false;
  setFrame(*archivedFrame);
  if (auto hidden = coder.decodeBoolForKey("hidden")) setHidden(*hidden);
  if (auto alpha = coder.decodeDoubleForKey("alpha")) setAlpha(*alpha);
  if (auto tag = coder.decodeDoubleForKey("tag"); tag && *tag >= -9e15 && *tag <= 9e15) {
    setTag(static_cast<std::int64_t>(*tag));
  }
  return true;
}

View::View(const Rect& frame) {
  const Rect f = isFinite(frame) ? frame.standardized() : Rect();
  bounds_ = {0, 0, f.size.width, f.size.height};
  center_ = {f.midX(), f.midY()};
}

View::~View() {
  for (auto& recognizer : gestureRecognizers_) recognizer->view_.reset();
}

// --- Geometry ---------------------------------------------------------------------------

Rect View::frame() const {
  const double w = bounds_.width(), h = bounds_.height();
  Rect local{-w / 2, -h / 2, w, h};
  if (!transform_.isIdentity()) local = transform_.apply(local);
  return local.offsetBy(center_.x, center_.y);
}

void View::setFrame(const Rect& frame) {
  if (!isFinite(frame)) return;
  const Rect f = frame.standardized();
  if (transform_.isIdentity() && f == this->frame()) return;
  LayoutSolver::geometryDidChange(*this);
  center_ = {f.midX(), f.midY()};
  if (transform_.isIdentity()) {
    const Size old = bounds_.size;
    bounds_.size = f.size;
    if (old != bounds_.size) boundsSizeChanged(old);
  }
}

void View::setBounds(const Rect& bounds) {
  if (!isFinite(bounds)) return;
  LayoutSolver::geometryDidChange(*this);
  const Size old = bounds_.size;
  bounds_ = bounds.standardized();
  if (old != bounds_.size) boundsSizeChanged(old);
}

void View::setCenter(Point center) {
  if (!isFinite(center) || center == center_) return;
  LayoutSolver::geometryDidChange(*this);
  center_ = center;
}

void View::setTransform(const AffineTransform& transform) {
  if (!isFinite(transform)) return;
  LayoutSolver::geometryDidChange(*this);
  transform_ = transform;
}

void View::setAlpha(double alpha) {
  if (std::isnan(alpha)) return;
  alpha_ = std::clamp(alpha, 0.0, 1.0);
}

void View::setCornerRadius(double radius) {
  if (std::isfinite(radius) && radius >= 0) cornerRadius_ = radius;
}

std::optional<Color> View::tintColor() const {
  for (const View* v = this; v;) {
    if (v->tintColor_) return v->tintColor_;
    auto s = v->superview();
    v = s.get();
  }
  return std::nullopt;
}

AffineTransform View::toSuperviewTransform() const {
  const double w = bounds_.width(), h = bounds_.height();
  return AffineTransform::makeTranslation(-bounds_.origin.x - w / 2, -bounds_.origin.y - h / 2)
      .concat(transform_)
      .concat(AffineTransform::makeTranslation(center_.x, center_.y));
}

AffineTransform View::toRootTransform(bool includeRoot) const {
  AffineTransform m;
  const View* v = this;
  while (auto s = v->superview()) {
    m = m.concat(v->toSuperviewTransform());
    v = s.get();
  }
  if (includeRoot) m = m.concat(v->toSuperviewTransform());
  return m;
}

// --- Hierarchy --------------------------------------------------------------------------

std::shared_ptr<Window> View::window() const {
  if (dynamic_cast<const Window*>(this)) {
    // weak_from_this: also safe before a shared pointer owns the window.
    return std::static_pointer_cast<Window>(std::const_pointer_cast<View>(weak_from_this().lock()));
  }
  return window_.lock();
}

void View::addSubview(const std::shared_ptr<View>& view) { placeSubview(view, subviews_.size()); }

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) { placeSubview(view, index); }

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
  auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
  if (it == subviews_.end() || !sibling) return placeSubview(view, subviews_.size());
  std::size_t index = static_cast<std::size_t>(it - subviews_.begin()) + 1;
  // Moving a subview from below the sibling shifts the sibling down by one.
  auto own = std::find(subviews_.begin(), subviews_.end(), view);
  if (own != subviews_.end() && own < it) --index;
  placeSubview(view, index);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
  auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
  if (it == subviews_.end() || !sibling) return placeSubview(view, 0);
  std::size_t index = static_cast<std::size_t>(it - subviews_.begin());
  auto own = std::find(subviews_.begin(), subviews_.end(), view);
  if (own != subviews_.end() && own < it) --index;
  placeSubview(view, index);
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
  auto it = std::find(subviews_.begin(), subviews_.end(), view);
  if (it == subviews_.end()) return;
  std::rotate(it, it + 1, subviews_.end());
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
  auto it = std::find(subviews_.begin(), subviews_.end(), view);
  if (it == subviews_.end()) return;
  std::rotate(subviews_.begin(), it, it + 1);
}

void View::placeSubview(const std::shared_ptr<View>& view, std::size_t index) {
  if (!view || view.get() == this || isDescendantOfView(view.get())) return;
  auto self = shared_from_this();
  const std::shared_ptr<View> keep = view;

  auto oldSuperview = view->superview();
  if (oldSuperview.get() == this) {
    // Only the order changes.
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    subviews_.erase(it);
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
    return;
  }

  const auto newWindow = window();
  const auto oldWindow = view->window();
  if (oldSuperview) oldSuperview->willRemoveSubview(view);
  view->willMoveToSuperview(self);
  if (oldWindow != newWindow) view->propagateWillMoveToWindow(newWindow);

  // The hooks may have rearranged things; what counts is the state now.
  view->detachFromSuperviewForMove();
  if (isDescendantOfView(view.get())) return;
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
  view->superview_ = self;
  view->layoutSolver_.reset();  // its hierarchy's solver is now the new top's

  const auto windowNow = window();
  if (view->window_.lock() != windowNow) view->propagateDidMoveToWindow(windowNow);
  view->didMoveToSuperview();
  didAddSubview(view);
  setNeedsLayout();
  view->setNeedsLayout();
}

void View::detachFromSuperviewForMove() {
  if (auto current = superview()) {
    auto& list = current->subviews_;
    list.erase(std::remove(list.begin(), list.end(), shared_from_this()), list.end());
    current->setNeedsLayout();
  }
  superview_.reset();
}

void View::removeFromSuperview() {
  auto oldSuperview = superview();
  if (!oldSuperview) return;
  auto self = shared_from_this();
  const auto oldWindow = window();
  oldSuperview->willRemoveSubview(self);
  willMoveToSuperview(nullptr);
  if (oldWindow) propagateWillMoveToWindow(nullptr);
  detachFromSuperviewForMove();
  if (window_.lock()) propagateDidMoveToWindow(nullptr);
  didMoveToSuperview();
}

void View::propagateWillMoveToWindow(const std::shared_ptr<Window>& window) {
  auto self = shared_from_this();
  willMoveToWindow(window);
  // Taken after the hook, which may add subviews.
  const auto subviews = subviews_;
  for (const auto& subview : subviews) subview->propagateWillMoveToWindow(window);
}

void View::propagateDidMoveToWindow(const std::shared_ptr<Window>& window) {
  auto self = shared_from_this();
  std::vector<std::shared_ptr<View>> moved;
  // Every view of the subtree knows its new window before any hook runs.
  std::vector<View*> stack{this};
  while (!stack.empty()) {
    View* v = stack.back();
    stack.pop_back();
    v->window_ = window;
    moved.push_back(v->shared_from_this());
    for (auto it = v->subviews_.rbegin(); it != v->subviews_.rend(); ++it) stack.push_back(it->get());
  }
  for (const auto& v : moved) {
    v->didMoveToWindow();
    if (window && v->needsLayout_) window->scheduleLayout();
  }
}

bool View::isDescendantOfView(const View* view) const {
  if (!view) return false;
  for (const View* v = this; v;) {
    if (v == view) return true;
    auto s = v->superview();
    v = s.get();
  }
  return false;
}

std::shared_ptr<View> View::viewWithTag(std::int64_t tag) {
  if (tag_ == tag) return shared_from_this();
  for (const auto& subview : subviews_) {
    if (auto found = subview->viewWithTag(tag)) return found;
  }
  return nullptr;
}

// --- Layout -----------------------------------------------------------------------------

void View::setNeedsLayout() {
  LayoutSolver::geometryDidChange(*this);
  needsLayout_ = true;
  if (auto w = window()) w->scheduleLayout();
}

void View::layoutIfNeeded() {
  auto self = shared_from_this();
  if (needsLayout_) {
    needsLayout_ = false;
    LayoutSolver::layOutSubviews(*this);
    layoutSubviews();
  }
  const auto subviews = subviews_;
  for (const auto& subview : subviews) subview->layoutIfNeeded();
}

Size View::sizeThatFits(Size) const { return bounds_.size; }

void View::sizeToFit() {
  const Size fit = sizeThatFits(bounds_.size);
  if (!std::isfinite(fit.width) || !std::isfinite(fit.height)) return;
  Rect b = bounds_;
  b.size = {std::max(0.0, fit.width), std::max(0.0, fit.height)};
  setBounds(b);
}

Size View::intrinsicContentSize() const { return {kViewNoIntrinsicMetric, kViewNoIntrinsicMetric}; }

void View::invalidateIntrinsicContentSize() {
  setNeedsLayout();
  if (auto s = superview()) s->setNeedsLayout();
}

namespace {
std::size_t indexOf(LayoutConstraintAxis axis) { return axis == LayoutConstraintAxis::Horizontal ? 0 : 1; }
}  // namespace

float View::contentHuggingPriority(LayoutConstraintAxis axis) const { return huggingPriority_[indexOf(axis)]; }

void View::setContentHuggingPriority(float priority, LayoutConstraintAxis axis) {
  if (!std::isfinite(priority)) return;
  huggingPriority_[indexOf(axis)] = std::clamp(priority, 1.0f, LayoutConstraint::kPriorityRequired);
  invalidateIntrinsicContentSize();
}

float View::contentCompressionResistancePriority(LayoutConstraintAxis axis) const {
  return compressionResistancePriority_[indexOf(axis)];
}

void View::setContentCompressionResistancePriority(float priority, LayoutConstraintAxis axis) {
  if (!std::isfinite(priority)) return;
  compressionResistancePriority_[indexOf(axis)] = std::clamp(priority, 1.0f, LayoutConstraint::kPriorityRequired);
  invalidateIntrinsicContentSize();
}

void View::setTranslatesAutoresizingMaskIntoConstraints(bool value) {
  if (value == translatesMask_) return;
  translatesMask_ = value;
  if (auto s = superview()) s->setNeedsLayout();
}

void View::addConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
  if (!constraint) return;
  auto holder = constraint->holder_.lock();
  if (holder.get() == this) return;
  if (holder) holder->removeConstraint(constraint);
  constraints_.push_back(constraint);
  constraint->holder_ = weak_from_this();
  constraint->active_ = true;
  constraint->invalidateLayout();
}

void View::addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
  for (const auto& c : constraints) addConstraint(c);
}

void View::removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
  auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
  if (it == constraints_.end()) return;
  const auto keep = *it;
  constraints_.erase(it);
  keep->holder_.reset();
  keep->active_ = false;
  keep->invalidateLayout();
}

void View::removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
  for (const auto& c : constraints) removeConstraint(c);
}

void View::boundsSizeChanged(Size oldSize) {
  setNeedsLayout();
  if (autoresizesSubviews_) resizeSubviewsWithOldSize(oldSize);
}

void View::resizeSubviewsWithOldSize(Size oldSize) {
  const auto subviews = subviews_;
  for (const auto& subview : subviews) subview->autoresizeWithOldSuperviewSize(oldSize, bounds_.size);
}

namespace {

// Shares `delta` among the flexible parts of one axis (leading margin, size, trailing
// margin) in proportion to their present lengths, equally when they have none.
void distribute(double delta, bool flexible[3], double lengths[3], double out[3]) {
  int count = 0;
  double sum = 0;
  bool negative = false;
  for (int i = 0; i < 3; ++i) {
    out[i] = 0;
    if (!flexible[i]) continue;
    ++count;
    sum += lengths[i];
    if (lengths[i] < 0) negative = true;
  }
  if (count == 0) return;
  for (int i = 0; i < 3; ++i) {
    if (!flexible[i]) continue;
    out[i] = (sum > 0 && !negative) ? delta * lengths[i] / sum : delta / count;
  }
}

}  // namespace

void View::autoresizeWithOldSuperviewSize(Size oldSize, Size newSize) {
  const std::uint32_t m = autoresizingMask_;
  if (m == AutoresizingNone) return;
  Rect f = frame();
  {
    bool flexible[3] = {(m & AutoresizingFlexibleLeftMargin) != 0, (m & AutoresizingFlexibleWidth) != 0,
                        (m & AutoresizingFlexibleRightMargin) != 0};
    double lengths[3] = {f.minX(), f.width(), oldSize.width - f.maxX()};
    double out[3];
    distribute(newSize.width - oldSize.width, flexible, lengths, out);
    f.origin.x += out[0];
    f.size.width = std::max(0.0, f.size.width + out[1]);
  }
  {
    bool flexible[3] = {(m & AutoresizingFlexibleTopMargin) != 0, (m & AutoresizingFlexibleHeight) != 0,
                        (m & AutoresizingFlexibleBottomMargin) != 0};
    double lengths[3] = {f.minY(), f.height(), oldSize.height - f.maxY()};
    double out[3];
    distribute(newSize.height - oldSize.height, flexible, lengths, out);
    f.origin.y += out[0];
    f.size.height = std::max(0.0, f.size.height + out[1]);
  }
  setFrame(f);
}

// --- Coordinates ------------------------------------------------------------------------

AffineTransform View::conversionTransform(const View* from, const View* to) {
  std::shared_ptr<Window> window;
  if (!to) {
    window = from->window();
    to = window ? static_cast<const View*>(window.get()) : rootOf(from);
  }
  const bool sameRoot = rootOf(from) == rootOf(to);
  return from->toRootTransform(!sameRoot).concat(to->toRootTransform(!sameRoot).inverted());
}

Point View::convertPointToView(Point point, const View* view) const {
  return conversionTransform(this, view).apply(point);
}

Point View::convertPointFromView(Point point, const View* view) const {
  std::shared_ptr<Window> window;
  if (!view) {
    window = this->window();
    view = window ? static_cast<const View*>(window.get()) : rootOf(this);
  }
  return conversionTransform(view, this).apply(point);
}

Rect View::convertRectToView(const Rect& rect, const View* view) const {
  return conversionTransform(this, view).apply(rect);
}

Rect View::convertRectFromView(const Rect& rect, const View* view) const {
  std::shared_ptr<Window> window;
  if (!view) {
    window = this->window();
    view = window ? static_cast<const View*>(window.get()) : rootOf(this);
  }
  return conversionTransform(view, this).apply(rect);
}

// --- Touches ----------------------------------------------------------------------------

std::shared_ptr<View> View::hitTest(Point point, const Event* event) {
  if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01) return nullptr;
  if (!pointInside(point, event)) return nullptr;
  const auto subviews = subviews_;
  for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
    const Point local = (*it)->toSuperviewTransform().inverted().apply(point);
    if (auto hit = (*it)->hitTest(local, event)) return hit;
  }
  return shared_from_this();
}

bool View::pointInside(Point point, const Event*) const { return bounds_.contains(point); }

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
  if (!recognizer) return;
  auto current = recognizer->view();
  if (current.get() == this) return;
  if (current) current->removeGestureRecognizer(recognizer);
  gestureRecognizers_.push_back(recognizer);
  recognizer->view_ = weak_from_this();
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
  auto it = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
  if (it == gestureRecognizers_.end()) return;
  const auto keep = *it;
  gestureRecognizers_.erase(it);
  keep->view_.reset();
}

void View::touchesBegan(const TouchList& touches, const Event& event) {
  if (auto s = superview()) s->touchesBegan(touches, event);
}
void View::touchesMoved(const TouchList& touches, const Event& event) {
  if (auto s = superview()) s->touchesMoved(touches, event);
}
void View::touchesEnded(const TouchList& touches, const Event& event) {
  if (auto s = superview()) s->touchesEnded(touches, event);
}
void View::touchesCancelled(const TouchList& touches, const Event& event) {
  if (auto s = superview()) s->touchesCancelled(touches, event);
}

// --- Drawing ----------------------------------------------------------------------------

View::DrawContext::DrawContext(Bitmap& bitmap, const AffineTransform& transform, const Rect& clip, double alpha)
    : bitmap_(bitmap), transform_(transform), clip_(clip), alpha_(alpha) {}

void View::DrawContext::fillRect(const Rect& rect, const Color& color) {
  const Rect pixels = transform_.apply(rect).intersection(clip_);
  if (pixels.isNull()) return;
  bitmap_.fillRect(pixels, color, alpha_);
}

void View::DrawContext::drawImage(const Image& image, const Rect& rect) {
  bitmap_.drawBitmap(image.bitmap(), transform_.apply(rect), clip_, alpha_);
}

Bitmap View::snapshot(double scale) const {
  if (!std::isfinite(scale) || scale <= 0) scale = 1;
  const double w = std::ceil(bounds_.width() * scale - 1e-9);
  const double h = std::ceil(bounds_.height() * scale - 1e-9);
  if (!(w >= 0 && w <= Bitmap::kMaxSide && h >= 0 && h <= Bitmap::kMaxSide)) return Bitmap();
  Bitmap bitmap(static_cast<int>(w), static_cast<int>(h));
  if (bitmap.isEmpty()) return bitmap;
  const AffineTransform toPixels = AffineTransform::makeTranslation(-bounds_.origin.x, -bounds_.origin.y)
                                       .concat(AffineTransform::makeScale(scale, scale));
  render(bitmap, toPixels, Rect(0, 0, w, h), 1.0);
  return bitmap;
}

void View::render(Bitmap& bitmap, const AffineTransform& toPixels, const Rect& clip, double alpha) const {
  if (hidden_) return;
  const double opacity = alpha * alpha_;
  if (opacity <= 0) return;
  DrawContext context(bitmap, toPixels, clip, opacity);
  if (backgroundColor_) context.fillRect(bounds_, *backgroundColor_);
  draw(context);
  Rect childClip = clip;
  if (clipsToBounds_) childClip = clip.intersection(toPixels.apply(bounds_));
  if (childClip.isNull()) return;
  for (const auto& subview : subviews_) {
    subview->render(bitmap, subview->toSuperviewTransform().concat(toPixels), childClip, opacity);
  }
}

std::string View::description() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  if (name.rfind("platform::", 0) == 0) name.erase(0, 10);
  const Rect f = frame();
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, ": %p; frame = (%g %g; %g %g)", static_cast<const void*>(this), f.origin.x,
                f.origin.y, f.size.width, f.size.height);
  return "<" + name + buffer + ">";
}

// --- Hooks ------------------------------------------------------------------------------

void View::draw(DrawContext&) const {}
void View::layoutSubviews() {}
void View::willMoveToSuperview(const std::shared_ptr<View>&) {}
void View::didMoveToSuperview() {}
void View::willMoveToWindow(const std::shared_ptr<Window>&) {}
void View::didMoveToWindow() {}
void View::didAddSubview(const std::shared_ptr<View>&) {}
void View::willRemoveSubview(const std::shared_ptr<View>&) {}

}  // namespace platform
