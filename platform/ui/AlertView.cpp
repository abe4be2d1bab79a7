#include "platform/ui/AlertView.h"

#include <algorithm>

#include "platform/base/TestingReset.h"
#include "platform/ui/Animation.h"

namespace platform {

namespace {
// The alerts on screen; the system keeps them alive until they are dismissed.
std::vector<std::shared_ptr<AlertView>>& onScreen() {
  static auto* alerts = [] {
    auto* made = new std::vector<std::shared_ptr<AlertView>>();
    registerTestingReset(made, [made] { made->clear(); });  // a test's alerts end with it
    return made;
  }();
  return *alerts;
}
}  // namespace

std::shared_ptr<AlertView> AlertView::create(std::string title, std::string message,
                                             std::weak_ptr<AlertViewDelegate> delegate,
                                             std::optional<std::string> cancelButtonTitle,
                                             std::vector<std::string> otherButtonTitles) {
  auto alert = std::shared_ptr<AlertView>(new AlertView());
  alert->title_ = std::move(title);
  alert->message_ = std::move(message);
  alert->delegate_ = std::move(delegate);
  if (cancelButtonTitle) alert->cancelButtonIndex_ = alert->addButtonWithTitle(std::move(*cancelButtonTitle));
  for (auto& other : otherButtonTitles) alert->addButtonWithTitle(std::move(other));
  return alert;
}

std::int64_t AlertView::addButtonWithTitle(std::string title) {
  buttons_.push_back(std::move(title));
  return numberOfButtons() - 1;
}

std::optional<std::string> AlertView::buttonTitleAtIndex(std::int64_t index) const {
  if (index < 0 || index >= numberOfButtons()) return std::nullopt;
  return buttons_[static_cast<std::size_t>(index)];
}

std::int64_t AlertView::firstOtherButtonIndex() const {
  for (std::int64_t i = 0; i < numberOfButtons(); ++i) {
    if (i != cancelButtonIndex_) return i;
  }
  return -1;
}

void AlertView::show() {
  if (visible_) return;
  visible_ = true;
  onScreen().push_back(shared_from_this());
}

void AlertView::dismissWithClickedButtonIndex(std::int64_t index, bool animated) {
  if (!visible_) return;
  auto self = shared_from_this();
  if (auto d = delegate()) d->alertViewWillDismissWithButtonIndex(*this, index);
  visible_ = false;
  std::erase(onScreen(), self);
  Animation::animate(animated ? Animation::kDefaultDuration : 0, nullptr, [self, index](bool) {
    if (auto d = self->delegate()) d->alertViewDidDismissWithButtonIndex(*self, index);
  });
}

void AlertView::tapButtonAtIndex(std::int64_t index) {
  if (!visible_ || index < 0 || index >= numberOfButtons()) return;
  auto self = shared_from_this();
  if (auto d = delegate()) d->alertViewClickedButtonAtIndex(*this, index);
  dismissWithClickedButtonIndex(index, true);
}

std::vector<std::shared_ptr<AlertView>> AlertView::visibleAlerts() { return onScreen(); }

}  // namespace platform
