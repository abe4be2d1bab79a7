#include "platform/ui/MessageComposeViewController.h"

#include <atomic>

#include "platform/base/TestingReset.h"

namespace platform {

namespace {
std::atomic<bool> gCanSendText{true};
std::atomic<bool> gCanSendSubject{true};
std::atomic<bool> gCanSendAttachments{true};
[[maybe_unused]] const bool kCanSendResets = resetBetweenTests(gCanSendText, true) &&
                                             resetBetweenTests(gCanSendSubject, true) &&
                                             resetBetweenTests(gCanSendAttachments, true);
}  // namespace

bool MessageComposeViewController::canSendText() { return gCanSendText; }
bool MessageComposeViewController::canSendSubject() { return gCanSendSubject; }
bool MessageComposeViewController::canSendAttachments() { return gCanSendAttachments; }
void MessageComposeViewController::setCanSendText(bool canSend) { gCanSendText = canSend; }
void MessageComposeViewController::setCanSendSubject(bool canSend) { gCanSendSubject = canSend; }
void MessageComposeViewController::setCanSendAttachments(bool canSend) { gCanSendAttachments = canSend; }

std::shared_ptr<MessageComposeViewController> MessageComposeViewController::create() {
  if (!canSendText()) return nullptr;
  return std::shared_ptr<MessageComposeViewController>(new MessageComposeViewController());
}

void MessageComposeViewController::setSubject(std::optional<std::string> subject) {
  if (canSendSubject()) subject_ = std::move(subject);
}

bool MessageComposeViewController::addAttachmentData(std::vector<std::uint8_t> data, std::string typeIdentifier,
                                                     std::string fileName) {
  if (!canSendAttachments()) return false;
  attachments_.push_back({std::move(data), std::move(typeIdentifier), std::move(fileName)});
  return true;
}

void MessageComposeViewController::finishWithResult(MessageComposeResult result) {
  auto self = shared_from_this();  // the delegate may drop its last reference
  if (auto d = messageComposeDelegate()) d->messageComposeViewControllerDidFinishWithResult(*this, result);
}

}  // namespace platform
