// Sits between a mail composer and whoever hears how it ended (the opener): the
// composer's delegate is this proxy, which forwards the finish to that delegate while it
// lives and, once it is gone, takes the composer off the screen by itself (through the
// composer's overlay proxy when it has one, so the full-screen session ends) and then
// detaches. The composer holds its delegate weakly, so the proxy keeps itself alive
// while attached; it lets go when it stops proxying.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/MailComposeViewController.h"

class ZUMMailComposeDelegateProxy final : public platform::MailComposeViewControllerDelegate,
                                          public std::enable_shared_from_this<ZUMMailComposeDelegateProxy> {
 public:
  // A new proxy attached to `controller` (nullptr: a proxy that is not attached and
  // does not keep itself).
  static std::shared_ptr<ZUMMailComposeDelegateProxy> associatedDelegateProxyForController(
      const std::shared_ptr<platform::MailComposeViewController>& controller);

  const std::shared_ptr<platform::MailComposeViewController>& mailComposeViewController() const { return controller_; }
  // Detaches from the composer it had (and lets go of itself), then attaches to the new
  // one (and keeps itself while attached).
  void setMailComposeViewController(const std::shared_ptr<platform::MailComposeViewController>& controller);
  // Held weakly.
  std::shared_ptr<platform::MailComposeViewControllerDelegate> mailComposeDelegate() const { return delegate_.lock(); }
  void setMailComposeDelegate(std::weak_ptr<platform::MailComposeViewControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  void mailComposeControllerDidFinishWithResult(platform::MailComposeViewController& controller,
                                                platform::MailComposeResult result, platform::ErrorPtr error) override;
  // Detaches from the composer and forgets the delegate.
  void stopProxying();

 private:
  ZUMMailComposeDelegateProxy() = default;

  std::shared_ptr<ZUMMailComposeDelegateProxy> strongSelf_;
  std::weak_ptr<platform::MailComposeViewControllerDelegate> delegate_;
  std::shared_ptr<platform::MailComposeViewController> controller_;
};
