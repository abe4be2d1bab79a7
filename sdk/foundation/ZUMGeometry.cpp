#include "sdk/foundation/ZUMGeometry.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/ui/Application.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace {

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

nlohmann::ordered_json ZUMDictionaryFromRect(const platform::Rect& rect) {
  nlohmann::ordered_json dictionary = nlohmann::ordered_json::object();
  dictionary["x"] = finiteOrZero(rect.origin.x);
  dictionary["y"] = finiteOrZero(rect.origin.y);
  dictionary["width"] = finiteOrZero(rect.size.width);
  dictionary["height"] = finiteOrZero(rect.size.height);
  return dictionary;
}

platform::Rect ZUMRectInInterfaceOrientation(const platform::Rect& rect) { return rect; }

platform::Rect ZUMVisibleRectInWindow(const std::shared_ptr<platform::View>& view) {
  const platform::Rect zero = platform::Rect::zero();
  if (!view || !platform::Application::shared().isActive()) return zero;
  const auto window = view->window();
  if (!window || window->isHidden()) return zero;

  platform::Rect visible = view->convertRectToView(view->bounds(), nullptr);
  // A window moved off its screen shows nothing of what lies outside the screen.
  const platform::Rect screen = window->screen().bounds();
  visible = visible.intersection({window->convertPointFromScreen(screen.origin), screen.size});
  for (auto current = view; current; current = current->superview()) {
    // Views too transparent to be touched are not seen either.
    if (current->isHidden() || current->alpha() < kZUMMinimumVisibleAlpha) return zero;
    // The window always bounds what can be seen in it, whether it clips or not.
    if (current != view && (current->clipsToBounds() || current == window)) {
      visible = visible.intersection(current->convertRectToView(current->bounds(), nullptr));
    }
    if (visible.isEmpty()) return zero;
  }
  return visible;
}

platform::Rect ZUMVisibleRectInView(const std::shared_ptr<platform::View>& view) {
  const platform::Rect inWindow = ZUMVisibleRectInWindow(view);
  if (inWindow == platform::Rect::zero()) return inWindow;
  const platform::Rect inView = view->convertRectFromView(inWindow, nullptr);
  return inView.isEmpty() ? platform::Rect::zero() : inView;
}

std::shared_ptr<platform::Image> ZUMScreenshotOfView(const std::shared_ptr<platform::View>& view) {
  if (!view) return nullptr;
  const auto window = view->window();
  const double scale = window ? window->screen().scale() : platform::Screen::main().scale();
  return platform::Image::create(view->snapshot(scale), scale);
}

void ZUMCenterInSuperview(const std::shared_ptr<platform::View>& view) {
  if (!view) return;
  const auto superview = view->superview();
  if (!superview) return;
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  using Attribute = platform::LayoutConstraint::Attribute;
  for (const Attribute attribute : {Attribute::CenterX, Attribute::CenterY, Attribute::Width, Attribute::Height}) {
    auto constraint = platform::LayoutConstraint::create(view, attribute, platform::LayoutConstraint::Relation::Equal,
                                                         superview, attribute, 1.0, 0.0);
    if (!constraint) continue;
    constraint->setActive(true);
    superview->addConstraint(constraint);
  }
  view->setFrame(superview->bounds());
  view->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
}
