// The newer alert: a view controller with a title, a message and actions, presented by
// another controller like any other (custom style: the presenting controller stays on
// screen). When the user taps an action (the test controls' answer), the alert
// dismisses itself, animated, and the action's handler runs after the dismissal.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/AlertAction.h"
#include "platform/ui/ViewController.h"

namespace platform {

enum class AlertControllerStyle { ActionSheet = 0, Alert = 1 };

class AlertController : public ViewController {
 public:
  static std::shared_ptr<AlertController> create(std::optional<std::string> title, std::optional<std::string> message,
                                                 AlertControllerStyle style);

  const std::optional<std::string>& title() const { return title_; }
  const std::optional<std::string>& message() const { return message_; }
  AlertControllerStyle preferredStyle() const { return style_; }

  void addAction(const std::shared_ptr<AlertAction>& action);
  const std::vector<std::shared_ptr<AlertAction>>& actions() const { return actions_; }

  // The user taps an action (test controls); a disabled action, or an index out of
  // range, does nothing.
  void tapActionAtIndex(std::size_t index);
  void tapAction(const std::shared_ptr<AlertAction>& action);

 protected:
  AlertController() = default;

 private:
  std::optional<std::string> title_;
  std::optional<std::string> message_;
  AlertControllerStyle style_ = AlertControllerStyle::Alert;
  std::vector<std::shared_ptr<AlertAction>> actions_;
  bool answered_ = false;
};

}  // namespace platform
