// An item of a toolbar: a system item (done, refresh, action, spaces...), an image, a
// title or a custom view, with a style, a width, an enabled flag, accessibility values
// and a target action that runs when the item is tapped.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Color.h"

namespace platform {

class Image;
class View;

class BarButtonItem : public std::enable_shared_from_this<BarButtonItem> {
 public:
  enum class SystemItem {
    Done,
    Cancel,
    Edit,
    Save,
    Add,
    FlexibleSpace,
    FixedSpace,
    Compose,
    Reply,
    Action,
    Organize,
    Bookmarks,
    Search,
    Refresh,
    Stop,
    Camera,
    Trash,
    Play,
    Pause,
    Rewind,
    FastForward,
    Undo,
    Redo,
  };
  enum class Style { Plain, Done };
  using ActionBlock = std::function<void(BarButtonItem&)>;

  // The action runs while `target` lives (an empty target: always). The done item has
  // the done style.
  static std::shared_ptr<BarButtonItem> create(SystemItem item, std::weak_ptr<void> target = {},
                                               ActionBlock action = {});
  static std::shared_ptr<BarButtonItem> create(std::shared_ptr<Image> image, Style style,
                                               std::weak_ptr<void> target = {}, ActionBlock action = {});
  static std::shared_ptr<BarButtonItem> create(std::string title, Style style, std::weak_ptr<void> target = {},
                                               ActionBlock action = {});
  static std::shared_ptr<BarButtonItem> create(std::shared_ptr<View> customView);

  std::optional<SystemItem> systemItem() const { return systemItem_; }
  bool isSpace() const { return systemItem_ == SystemItem::FlexibleSpace || systemItem_ == SystemItem::FixedSpace; }
  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image) { image_ = std::move(image); }
  const std::optional<std::string>& title() const { return title_; }
  void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
  const std::shared_ptr<View>& customView() const { return customView_; }
  void setCustomView(std::shared_ptr<View> view) { customView_ = std::move(view); }
  Style style() const { return style_; }
  void setStyle(Style style) { style_ = style; }
  // 0: the width of the content.
  double width() const { return width_; }
  void setWidth(double width);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  std::optional<Color> tintColor() const { return tintColor_; }
  void setTintColor(std::optional<Color> color) { tintColor_ = color; }
  bool isAccessibilityElement() const { return accessibilityElement_; }
  void setIsAccessibilityElement(bool value) { accessibilityElement_ = value; }
  const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::optional<std::string> label) { accessibilityLabel_ = std::move(label); }

  void setTarget(std::weak_ptr<void> target, ActionBlock action);
  bool hasAction() const { return static_cast<bool>(action_); }
  // Runs the action as a tap on the item does: only for an enabled item whose target
  // still lives. Returns whether it ran.
  bool sendAction();

 private:
  BarButtonItem() = default;

  std::optional<SystemItem> systemItem_;
  std::shared_ptr<Image> image_;
  std::optional<std::string> title_;
  std::shared_ptr<View> customView_;
  Style style_ = Style::Plain;
  double width_ = 0;
  bool enabled_ = true;
  std::optional<Color> tintColor_;
  bool accessibilityElement_ = false;
  std::optional<std::string> accessibilityLabel_;
  std::weak_ptr<void> target_;
  bool hadTarget_ = false;
  ActionBlock action_;
};

}  // namespace platform
