// The older alert: a title, a message and buttons in one list (the cancel button, when
// there is one, first), shown in its own layer above every window, answered through a
// delegate with the index of the button the user tapped. A shown alert is kept alive by
// the system until it is dismissed.
//
// When the user taps a button (the test controls' answer), the delegate hears
// clickedButtonAtIndex, then willDismissWithButtonIndex; the alert leaves the screen, and
// didDismissWithButtonIndex follows once the dismissal has run (Animation's default
// duration of run-loop time).
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class AlertView;

class AlertViewDelegate {
 public:
  virtual ~AlertViewDelegate() = default;
  virtual void alertViewClickedButtonAtIndex(AlertView&, std::int64_t /*buttonIndex*/) {}
  virtual void alertViewWillDismissWithButtonIndex(AlertView&, std::int64_t /*buttonIndex*/) {}
  virtual void alertViewDidDismissWithButtonIndex(AlertView&, std::int64_t /*buttonIndex*/) {}
};

class AlertView : public std::enable_shared_from_this<AlertView> {
 public:
  static std::shared_ptr<AlertView> create(std::string title, std::string message,
                                           std::weak_ptr<AlertViewDelegate> delegate,
                                           std::optional<std::string> cancelButtonTitle,
                                           std::vector<std::string> otherButtonTitles = {});

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::string& message() const { return message_; }
  void setMessage(std::string message) { message_ = std::move(message); }
  std::shared_ptr<AlertViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<AlertViewDelegate> delegate) { delegate_ = std::move(delegate); }

  // Returns the new button's index.
  std::int64_t addButtonWithTitle(std::string title);
  std::int64_t numberOfButtons() const { return static_cast<std::int64_t>(buttons_.size()); }
  // nullopt for an index out of range.
  std::optional<std::string> buttonTitleAtIndex(std::int64_t index) const;
  // -1 when there is none.
  std::int64_t cancelButtonIndex() const { return cancelButtonIndex_; }
  void setCancelButtonIndex(std::int64_t index) { cancelButtonIndex_ = index; }
  // The first button that is not the cancel button; -1 when there is none.
  std::int64_t firstOtherButtonIndex() const;

  void show();
  bool isVisible() const { return visible_; }
  // Takes the alert off the screen as if the button had been tapped, without
  // clickedButtonAtIndex.
  void dismissWithClickedButtonIndex(std::int64_t index, bool animated);

  // The user taps a button (test controls): an index out of range does nothing.
  void tapButtonAtIndex(std::int64_t index);

  // The alerts on screen, the front-most last.
  static std::vector<std::shared_ptr<AlertView>> visibleAlerts();

 private:
  AlertView() = default;

  std::string title_;
  std::string message_;
  std::weak_ptr<AlertViewDelegate> delegate_;
  std::vector<std::string> buttons_;
  std::int64_t cancelButtonIndex_ = -1;
  bool visible_ = false;
};

}  // namespace platform
