// A bar of items (BarButtonItem) laid out left to right: fixed widths first, flexible
// spaces sharing what is left. Items with a custom view show that view; tapping any
// other enabled item runs its action.
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace platform {

class BarButtonItem;

class Toolbar : public View {
 public:
  static std::shared_ptr<Toolbar> create(const Rect& frame = {});

  const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
  // Installs the items' custom views (removing those of the previous items).
  void setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);

  // Where item `index` lies, in the toolbar's coordinates; the null rect past the end.
  Rect frameForItemAtIndex(std::size_t index) const;

  static constexpr double kEdgeMargin = 8.0;
  static constexpr double kItemSpacing = 8.0;
  // The width of an item without a width of its own and without content to measure.
  static constexpr double kDefaultItemWidth = 30.0;

  Size sizeThatFits(Size size) const override;
  void layoutSubviews() override;
  void touchesBegan(const TouchList& touches, const Event& event) override;
  void touchesEnded(const TouchList& touches, const Event& event) override;

 protected:
  explicit Toolbar(const Rect& frame);

 private:
  std::vector<Rect> itemFrames() const;

  std::vector<std::shared_ptr<BarButtonItem>> items_;
  std::vector<std::shared_ptr<View>> installedViews_;
};

}  // namespace platform
