#include "sdk/foundation/ZUMViewUtilities.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMGeometry.h"

std::optional<nlohmann::ordered_json> ZUMViewUtilities::positionOfView(const std::shared_ptr<platform::View>& view,
                                                                       const platform::Screen& screen) {
  if (!view) return std::nullopt;
  const auto superview = view->superview();
  const auto window = view->window();
  if (!superview || !window) return std::nullopt;

  const platform::Rect inWindow = superview->convertRectToView(view->frame(), nullptr);
  nlohmann::ordered_json position = ZUMDictionaryFromRect(inWindow);

  // The application frame: the screen below the status bar, in screen coordinates.
  platform::Rect applicationFrame = screen.bounds();
  const double statusBarHeight = platform::Application::shared().statusBarFrame().height();
  applicationFrame.origin.y += statusBarHeight;
  applicationFrame.size.height = std::max(0.0, applicationFrame.size.height - statusBarHeight);
  const platform::Point topLeft = window->convertPointToScreen({inWindow.minX(), inWindow.minY()});
  const platform::Point bottomRight = window->convertPointToScreen({inWindow.maxX(), inWindow.maxY()});
  const platform::Rect onScreen = platform::Rect(topLeft, {0, 0}).unionWith(platform::Rect(bottomRight, {0, 0}));
  const bool visible = !view->isHidden() && !onScreen.intersection(applicationFrame).isEmpty();
  position["visible"] = visible ? 1 : 0;
  return position;
}
