#include "platform/ui/MailComposeViewController.h"

#include <atomic>

#include "platform/base/TestingReset.h"

namespace platform {

namespace {
std::atomic<bool> gCanSendMail{true};
[[maybe_unused]] const bool kCanSendMailResets = resetBetweenTests(gCanSendMail, true);
}  // namespace

bool MailComposeViewController::canSendMail() { return gCanSendMail; }
void MailComposeViewController::setCanSendMail(bool canSend) { gCanSendMail = canSend; }

std::shared_ptr<MailComposeViewController> MailComposeViewController::create() {
  if (!canSendMail()) return nullptr;
  return std::shared_ptr<MailComposeViewController>(new MailComposeViewController());
}

void MailComposeViewController::finishWithResult(MailComposeResult result, ErrorPtr error) {
  auto self = shared_from_this();  // the delegate may drop its last reference
  if (auto d = mailComposeDelegate()) d->mailComposeControllerDidFinishWithResult(*this, result, std::move(error));
}

}  // namespace platform
