// The mail composer: a view controller prepared with recipients, subject, body and
// attachments, presented by the application, that tells its delegate how it ended
// (cancelled, saved, sent, failed); the delegate dismisses it. Whether the device can
// send mail is the device's side (profile or tests); where it cannot, create() gives
// nullptr. The user's answer comes from the test controls.
//
// Main thread only (canSendMail() from any thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/Error.h"
#include "platform/ui/ViewController.h"

namespace platform {

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

class MailComposeViewController;

class MailComposeViewControllerDelegate {
 public:
  virtual ~MailComposeViewControllerDelegate() = default;
  virtual void mailComposeControllerDidFinishWithResult(MailComposeViewController&, MailComposeResult,
                                                        ErrorPtr /*error*/) {}
};

class MailComposeViewController : public ViewController {
 public:
  struct Attachment {
    std::vector<std::uint8_t> data;
    std::string mimeType;
    std::string fileName;
  };

  static bool canSendMail();
  static void setCanSendMail(bool canSend);
  // nullptr where the device cannot send mail.
  static std::shared_ptr<MailComposeViewController> create();

  std::shared_ptr<MailComposeViewControllerDelegate> mailComposeDelegate() const { return delegate_.lock(); }
  void setMailComposeDelegate(std::weak_ptr<MailComposeViewControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  void setToRecipients(std::vector<std::string> recipients) { to_ = std::move(recipients); }
  void setCcRecipients(std::vector<std::string> recipients) { cc_ = std::move(recipients); }
  void setBccRecipients(std::vector<std::string> recipients) { bcc_ = std::move(recipients); }
  void setSubject(std::string subject) { subject_ = std::move(subject); }
  void setMessageBody(std::string body, bool isHTML) {
    body_ = std::move(body);
    bodyIsHTML_ = isHTML;
  }
  void addAttachmentData(std::vector<std::uint8_t> data, std::string mimeType, std::string fileName) {
    attachments_.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
  }

  const std::vector<std::string>& toRecipients() const { return to_; }
  const std::vector<std::string>& ccRecipients() const { return cc_; }
  const std::vector<std::string>& bccRecipients() const { return bcc_; }
  const std::string& subject() const { return subject_; }
  const std::string& messageBody() const { return body_; }
  bool isMessageBodyHTML() const { return bodyIsHTML_; }
  const std::vector<Attachment>& attachments() const { return attachments_; }

  // The user ends the composition (test controls): the delegate hears the result.
  void finishWithResult(MailComposeResult result, ErrorPtr error = nullptr);

 protected:
  MailComposeViewController() = default;

 private:
  std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
  std::vector<std::string> to_, cc_, bcc_;
  std::string subject_;
  std::string body_;
  bool bodyIsHTML_ = false;
  std::vector<Attachment> attachments_;
};

}  // namespace platform
