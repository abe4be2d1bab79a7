// One button of an AlertController: a title, a style and the handler that runs once the
// user has tapped it and the alert has left the screen. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

enum class AlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };

class AlertAction {
 public:
  using Handler = std::function<void(AlertAction&)>;

  static std::shared_ptr<AlertAction> create(std::string title, AlertActionStyle style, Handler handler = {});

  const std::string& title() const { return title_; }
  AlertActionStyle style() const { return style_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  // Runs the handler (the alert controller, after its dismissal).
  void perform();

 private:
  AlertAction(std::string title, AlertActionStyle style, Handler handler)
      : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}

  std::string title_;
  AlertActionStyle style_;
  Handler handler_;
  bool enabled_ = true;
};

}  // namespace platform
