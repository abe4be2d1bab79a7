#include "platform/ui/AlertController.h"

#include <algorithm>

namespace platform {

std::shared_ptr<AlertController> AlertController::create(std::optional<std::string> title,
                                                         std::optional<std::string> message,
                                                         AlertControllerStyle style) {
  auto alert = std::shared_ptr<AlertController>(new AlertController());
  alert->title_ = std::move(title);
  alert->message_ = std::move(message);
  alert->style_ = style;
  alert->setModalPresentationStyle(ModalPresentationStyle::Custom);
  return alert;
}

void AlertController::addAction(const std::shared_ptr<AlertAction>& action) {
  if (action) actions_.push_back(action);
}

void AlertController::tapActionAtIndex(std::size_t index) {
  if (index < actions_.size()) tapAction(actions_[index]);
}

void AlertController::tapAction(const std::shared_ptr<AlertAction>& action) {
  if (!action || !action->isEnabled() || answered_ || isInTransition()) return;
  if (std::find(actions_.begin(), actions_.end(), action) == actions_.end()) return;
  answered_ = true;
  auto self = std::static_pointer_cast<AlertController>(shared_from_this());
  if (!presentingViewController()) {
    action->perform();
    return;
  }
  dismissViewControllerAnimated(true, [self, action] { action->perform(); });
}

}  // namespace platform
