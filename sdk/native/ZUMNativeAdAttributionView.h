// Draws a native ad's attribution: a rounded strip of the label (between two paddings
// of 0.37 x its height) and an icon area on the right in which the icons take turns
// (ZUMPushTransitionView). The icon area is as wide as the widest icon and as tall as
// the tallest. A view made for an attribution with neither icons nor text is hidden.
//
// Holds its subviews strongly, its attribution not at all. Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace platform {
class Label;
class LayoutConstraint;
}  // namespace platform

class ZUMNativeAdAttribution;
class ZUMPushTransitionView;

class ZUMNativeAdAttributionView final : public platform::View {
 public:
  static std::shared_ptr<ZUMNativeAdAttributionView> create(const platform::Rect& frame = {});
  // nullptr without an attribution.
  static std::shared_ptr<ZUMNativeAdAttributionView> create(const std::shared_ptr<ZUMNativeAdAttribution>& attribution);

  // Shows the attribution's text, colours and downloaded icons; restarts the icons' turns.
  void setAttribution(const ZUMNativeAdAttribution& attribution);

  std::shared_ptr<platform::View> iconView() const;
  std::shared_ptr<platform::View> textView() const;
  // The icon area's width and height constraints now installed.
  const std::vector<std::shared_ptr<platform::LayoutConstraint>>& dynamicConstraints() const {
    return dynamicConstraints_;
  }

  // Lays out, then rounds the corners (3 points); the view clips to them.
  void layoutSubviews() override;

 private:
  explicit ZUMNativeAdAttributionView(const platform::Rect& frame);
  void commonInit();

  std::shared_ptr<ZUMPushTransitionView> iconView_;
  std::shared_ptr<platform::Label> textView_;
  std::shared_ptr<platform::View> textPaddingLeft_;
  std::shared_ptr<platform::View> textPaddingRight_;
  std::vector<std::shared_ptr<platform::LayoutConstraint>> dynamicConstraints_;
};
