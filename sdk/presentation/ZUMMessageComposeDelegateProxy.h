// Sits between a message composer and whoever hears how it ended (the opener): the
// composer's delegate is this proxy, which forwards the finish to that delegate while it
// lives and, once it is gone, takes the composer off the screen by itself (through the
// composer's overlay proxy when it has one, so the full-screen session ends) and then
// detaches. The composer holds its delegate weakly, so the proxy keeps itself alive
// while attached; it lets go when it stops proxying.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/MessageComposeViewController.h"

class ZUMMessageComposeDelegateProxy final : public platform::MessageComposeViewControllerDelegate,
                                             public std::enable_shared_from_this<ZUMMessageComposeDelegateProxy> {
 public:
  // A new proxy attached to `controller` (nullptr: a proxy that is not attached and
  // does not keep itself).
  static std::shared_ptr<ZUMMessageComposeDelegateProxy> associatedDelegateProxyForController(
      const std::shared_ptr<platform::MessageComposeViewController>& controller);

  const std::shared_ptr<platform::MessageComposeViewController>& messageComposeViewController() const {
    return controller_;
  }
  // Detaches from the composer it had (and lets go of itself), then attaches to the new
  // one (and keeps itself while attached).
  void setMessageComposeViewController(const std::shared_ptr<platform::MessageComposeViewController>& controller);
  // Held weakly.
  std::shared_ptr<platform::MessageComposeViewControllerDelegate> messageComposeDelegate() const {
    return delegate_.lock();
  }
  void setMessageComposeDelegate(std::weak_ptr<platform::MessageComposeViewControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  void messageComposeViewControllerDidFinishWithResult(platform::MessageComposeViewController& controller,
                                                       platform::MessageComposeResult result) override;
  // Detaches from the composer and forgets the delegate.
  void stopProxying();

 private:
  ZUMMessageComposeDelegateProxy() = default;

  std::shared_ptr<ZUMMessageComposeDelegateProxy> strongSelf_;
  std::weak_ptr<platform::MessageComposeViewControllerDelegate> delegate_;
  std::shared_ptr<platform::MessageComposeViewController> controller_;
};
