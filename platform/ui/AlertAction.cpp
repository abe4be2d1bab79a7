#include "platform/ui/AlertAction.h"

namespace platform {

std::shared_ptr<AlertAction> AlertAction::create(std::string title, AlertActionStyle style, Handler handler) {
  return std::shared_ptr<AlertAction>(new AlertAction(std::move(title), style, std::move(handler)));
}

void AlertAction::perform() {
  if (handler_) handler_(*this);
}

}  // namespace platform
