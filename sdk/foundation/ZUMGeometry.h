// Rectangles and views: what part of a view is visible, rectangles as dictionaries,
// screenshots, and centring a view in its superview.
//
// ZUMDictionaryFromRect and ZUMRectInInterfaceOrientation are pure and usable on any
// thread; the view functions are main thread only, like the views.
#pragma once

#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "platform/ui/Geometry.h"

namespace platform {
class Image;
class View;
}  // namespace platform

// {"x", "y", "width", "height"} as double numbers; a value that is not finite (the
// null rectangle's origin) is written as 0, so the dictionary always serialises.
nlohmann::ordered_json ZUMDictionaryFromRect(const platform::Rect& rect);

// A screen rectangle in interface-orientation coordinates: the same rectangle, as the
// screen's coordinates follow the interface orientation.
platform::Rect ZUMRectInInterfaceOrientation(const platform::Rect& rect);

// Below this alpha a view counts as hidden, as it does for touches.
inline constexpr double kZUMMinimumVisibleAlpha = 0.01;

// The part of the view visible in its window, in window coordinates: the view's bounds
// clipped by every ancestor that clips to its bounds, by the window's bounds and by the
// screen. The zero rectangle when the application is not active, the view has no
// window, the window or any view on the way up is hidden or (nearly) transparent, or
// nothing is left.
platform::Rect ZUMVisibleRectInWindow(const std::shared_ptr<platform::View>& view);

// The same visible part in the view's own coordinates (zero rectangle in the same cases).
platform::Rect ZUMVisibleRectInView(const std::shared_ptr<platform::View>& view);

// The view (with its subviews) rendered at its screen's scale; nullptr for no view or
// a view too large or too small to render.
std::shared_ptr<platform::Image> ZUMScreenshotOfView(const std::shared_ptr<platform::View>& view);

// When the view has a superview: turns off its autoresizing-mask constraints and adds to
// the superview active constraints that make its centre X, centre Y, width and height
// equal to the superview's, which the superview's layout passes solve. The view is also
// given the superview's bounds as its frame at once, and follows its size between passes.
void ZUMCenterInSuperview(const std::shared_ptr<platform::View>& view);
