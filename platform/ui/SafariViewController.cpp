#include "platform/ui/SafariViewController.h"

#include <algorithm>
#include <cctype>

#include "platform/base/ClassRegistry.h"

namespace platform {

std::shared_ptr<SafariViewController> SafariViewController::Factory::create(const URL& url) const {
  return SafariViewController::create(url);
}

std::shared_ptr<SafariViewController> SafariViewController::create(const URL& url) {
  std::string scheme = url.scheme().value_or("");
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (scheme != "http" && scheme != "https") return nullptr;
  return std::shared_ptr<SafariViewController>(new SafariViewController(url));
}

void SafariViewController::registerClass() {
  ClassRegistry::shared().registerClass<Factory>(kClassName, [] { return std::make_shared<Factory>(); });
}

void SafariViewController::tapDone() {
  auto self = std::static_pointer_cast<SafariViewController>(shared_from_this());
  auto tell = [self] {
    if (auto d = self->delegate()) d->safariViewControllerDidFinish(*self);
  };
  if (presentingViewController() && !isInTransition()) {
    dismissViewControllerAnimated(true, tell);
  } else {
    tell();
  }
}

}  // namespace platform
