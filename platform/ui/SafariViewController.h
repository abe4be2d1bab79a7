// The system browser's view controller, shown inside the application for one http(s)
// URL. Like the platform's, it is an optional class found by name: the SDK asks the
// class registry for kClassName, which is registered at start-up where the system has
// it (registerClass(); tests register or leave it out). When the user taps "Done" (the
// test controls), a presented browser dismisses itself, animated, and then tells its
// delegate; a browser shown as a child just tells its delegate.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/base/URL.h"
#include "platform/ui/ViewController.h"

namespace platform {

class SafariViewController;

class SafariViewControllerDelegate {
 public:
  virtual ~SafariViewControllerDelegate() = default;
  virtual void safariViewControllerDidFinish(SafariViewController&) {}
};

class SafariViewController : public ViewController {
 public:
  static constexpr const char* kClassName = "SFSafariViewController";

  // What the class registry hands out under kClassName.
  class Factory {
   public:
    // nullptr unless the URL's scheme is http or https.
    std::shared_ptr<SafariViewController> create(const URL& url) const;
  };

  // nullptr unless the URL's scheme is http or https.
  static std::shared_ptr<SafariViewController> create(const URL& url);
  // Registers the class under kClassName in the shared class registry.
  static void registerClass();

  const URL& url() const { return url_; }
  std::shared_ptr<SafariViewControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<SafariViewControllerDelegate> delegate) { delegate_ = std::move(delegate); }

  // The user taps "Done" (test controls).
  void tapDone();

 protected:
  explicit SafariViewController(URL url) : url_(std::move(url)) {}

 private:
  URL url_;
  std::weak_ptr<SafariViewControllerDelegate> delegate_;
};

}  // namespace platform
