// The text-message composer: a view controller prepared with recipients, body, an
// optional subject and attachments, presented by the application, that tells its
// delegate how it ended (cancelled, sent, failed); the delegate dismisses it. What the
// device can send is the device's side (profile or tests); where it cannot send text,
// create() gives nullptr. The user's answer comes from the test controls.
//
// Main thread only (the can-send questions from any thread).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ViewController.h"

namespace platform {

enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

class MessageComposeViewController;

class MessageComposeViewControllerDelegate {
 public:
  virtual ~MessageComposeViewControllerDelegate() = default;
  virtual void messageComposeViewControllerDidFinishWithResult(MessageComposeViewController&, MessageComposeResult) {}
};

class MessageComposeViewController : public ViewController {
 public:
  struct Attachment {
    std::vector<std::uint8_t> data;
    std::string typeIdentifier;
    std::string fileName;
  };

  static bool canSendText();
  static bool canSendSubject();
  static bool canSendAttachments();
  static void setCanSendText(bool canSend);
  static void setCanSendSubject(bool canSend);
  static void setCanSendAttachments(bool canSend);
  // nullptr where the device cannot send text.
  static std::shared_ptr<MessageComposeViewController> create();

  std::shared_ptr<MessageComposeViewControllerDelegate> messageComposeDelegate() const { return delegate_.lock(); }
  void setMessageComposeDelegate(std::weak_ptr<MessageComposeViewControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  void setRecipients(std::vector<std::string> recipients) { recipients_ = std::move(recipients); }
  void setBody(std::optional<std::string> body) { body_ = std::move(body); }
  // Ignored where the device cannot send a subject.
  void setSubject(std::optional<std::string> subject);
  // False (nothing added) where the device cannot send attachments.
  [[nodiscard]] bool addAttachmentData(std::vector<std::uint8_t> data, std::string typeIdentifier,
                                       std::string fileName);

  const std::vector<std::string>& recipients() const { return recipients_; }
  const std::optional<std::string>& body() const { return body_; }
  const std::optional<std::string>& subject() const { return subject_; }
  const std::vector<Attachment>& attachments() const { return attachments_; }

  // The user ends the composition (test controls): the delegate hears the result.
  void finishWithResult(MessageComposeResult result);

 protected:
  MessageComposeViewController() = default;

 private:
  std::weak_ptr<MessageComposeViewControllerDelegate> delegate_;
  std::vector<std::string> recipients_;
  std::optional<std::string> body_;
  std::optional<std::string> subject_;
  std::vector<Attachment> attachments_;
};

}  // namespace platform
