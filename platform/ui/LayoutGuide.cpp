#include "platform/ui/LayoutGuide.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/base/TestingReset.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"

namespace platform {

namespace {

constexpr double kStatusBarHeight = 20;

// Every guide made, so a status-bar change can reach their views. Kept for the life of
// the process; tests drop the entries between them.
std::vector<std::weak_ptr<LayoutGuide>>& guides() {
  static auto* list = [] {
    auto* made = new std::vector<std::weak_ptr<LayoutGuide>>();
    registerTestingReset(made, [made] { made->clear(); });
    return made;
  }();
  return *list;
}

void markForLayout(View& view) {
  if (view.subviews().empty()) return;
  view.setNeedsLayout();
  for (const auto& subview : view.subviews()) markForLayout(*subview);
}

}  // namespace

std::shared_ptr<LayoutGuide> LayoutGuide::create(const std::shared_ptr<ViewController>& controller) {
  std::shared_ptr<LayoutGuide> guide(new LayoutGuide());
  guide->controller_ = controller;
  auto& list = guides();
  list.erase(std::remove_if(list.begin(), list.end(), [](const auto& g) { return g.expired(); }), list.end());
  list.push_back(guide);
  return guide;
}

double LayoutGuide::length() const {
  if (Application::shared().isStatusBarHidden()) return 0;
  auto owner = controller();
  if (owner && owner->isUnderFullScreenPresentation()) return 0;
  return kStatusBarHeight;
}

std::shared_ptr<View> LayoutGuide::ownerView() const {
  auto owner = controller();
  return owner ? owner->viewIfLoaded() : nullptr;
}

std::optional<Rect> LayoutGuide::rectInOwnerView() const {
  auto view = ownerView();
  if (!view) return std::nullopt;
  const Rect bounds = view->bounds();
  return Rect(bounds.minX(), bounds.minY(), bounds.width(), length());
}

void LayoutGuide::statusBarDidChange() {
  for (const auto& weak : guides()) {
    auto guide = weak.lock();
    if (!guide) continue;
    if (auto view = guide->ownerView()) markForLayout(*view);
  }
}

std::string LayoutGuide::description() const {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "<LayoutGuide: length = %g>", length());
  return buffer;
}

}  // namespace platform
