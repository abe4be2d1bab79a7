// The composers of ZUMOpenerScreens: "mailto:" and "sms:" links.
#include "sdk/presentation/ZUMOpenerScreens.h"

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/MessageComposeViewController.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/presentation/ZUMMailComposeDelegateProxy.h"
#include "sdk/presentation/ZUMMessageComposeDelegateProxy.h"
#include "sdk/presentation/ZUMOverlayProxy.h"
#include "sdk/presentation/ZUMViewController.h"
#include "sdk/rendering/ZUMOpener.h"

namespace {

using Json = nlohmann::ordered_json;
using platform::URL;

constexpr platform::TimeInterval kComposerRetryInterval = 0.25;

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1) {
    parts.push_back(text.substr(start, comma - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

// A composer link: the recipients' text after the scheme (up to the first "?"), and the
// query's parameters with lower-cased keys.
struct ComposerLink {
  std::string recipients;
  Json parameters = Json::object();
};

ComposerLink parseLink(const URL& url, std::size_t schemeLength) {
  const auto& text = url.absoluteString();
  const std::string rest = text.size() > schemeLength ? text.substr(schemeLength) : "";
  const auto question = rest.find('?');
  if (question == std::string::npos) return {rest};
  return {rest.substr(0, question), ZUMQueryParametersFromURL(url, true)};
}

// The composer's proxy, attached to it with the opener's slot.
std::shared_ptr<ZUMOverlayProxy> attachProxy(ZUMOpener& opener,
                                             const std::shared_ptr<platform::ViewController>& composer) {
  auto proxy = ZUMOverlayProxy::create(composer);
  if (proxy) proxy->setSlot(opener.slot());
  return proxy;
}

// Lets the delegate proxy of a composer that will not be shown go.
void stopProxying(platform::ViewController& composer) {
  if (auto* mail = dynamic_cast<platform::MailComposeViewController*>(&composer)) {
    if (auto proxy = std::dynamic_pointer_cast<ZUMMailComposeDelegateProxy>(mail->mailComposeDelegate()))
      proxy->stopProxying();
  } else if (auto* message = dynamic_cast<platform::MessageComposeViewController*>(&composer)) {
    if (auto proxy = std::dynamic_pointer_cast<ZUMMessageComposeDelegateProxy>(message->messageComposeDelegate())) {
      proxy->stopProxying();
    }
  }
}

}  // namespace

void ZUMOpenerScreens::openEmailComposer(ZUMOpener& opener, const URL& url) {
  auto composer = platform::MailComposeViewController::create();
  if (!composer) return;
  attachProxy(opener, composer);
  auto delegateProxy = ZUMMailComposeDelegateProxy::associatedDelegateProxyForController(composer);
  delegateProxy->setMailComposeDelegate(opener.weak_from_this());
  const auto link = parseLink(url, std::string_view("mailto:").size());
  composer->setToRecipients({link.recipients});
  if (auto cc = ZUMStringForKey(link.parameters, "cc")) composer->setCcRecipients(split(*cc));
  if (auto bcc = ZUMStringForKey(link.parameters, "bcc")) composer->setBccRecipients(split(*bcc));
  if (auto subject = ZUMStringForKey(link.parameters, "subject")) composer->setSubject(*subject);
  if (auto body = ZUMStringForKey(link.parameters, "body")) composer->setMessageBody(*body, false);
  composer->setModalTransitionStyle(platform::ModalTransitionStyle::CoverVertical);
  presentComposerController(opener, composer, url);
}

void ZUMOpenerScreens::openSmsComposer(ZUMOpener& opener, const URL& url) {
  const auto link = parseLink(url, std::string_view("sms:").size());
  auto composer = platform::MessageComposeViewController::create();
  if (!composer) return;
  attachProxy(opener, composer);
  auto delegateProxy = ZUMMessageComposeDelegateProxy::associatedDelegateProxyForController(composer);
  delegateProxy->setMessageComposeDelegate(opener.weak_from_this());
  composer->setRecipients(split(link.recipients));
  composer->setBody(ZUMStringForKey(link.parameters, "body"));
  if (platform::MessageComposeViewController::canSendSubject())
    composer->setSubject(ZUMStringForKey(link.parameters, "subject"));
  composer->setModalTransitionStyle(platform::ModalTransitionStyle::CoverVertical);
  presentComposerController(opener, composer, url);
}

void ZUMOpenerScreens::presentComposerController(ZUMOpener& opener,
                                                 const std::shared_ptr<platform::ViewController>& composer,
                                                 const URL& url, int retriesLeft) {
  platform::assertMainThread();
  if (!composer) return;
  if (!opener.shouldPerformOpenAction()) {
    stopProxying(*composer);
    return;
  }
  auto top = opener.topViewController();
  auto busy = std::dynamic_pointer_cast<ZUMViewController>(top);
  if (busy && !busy->view()->isUserInteractionEnabled()) {
    // A full-screen ad controller in transition: wait for it, but not for ever, and not
    // for an ad that has gone.
    if (retriesLeft <= 0 || !opener.adView()) {
      ZUMLog(kZUMLogLevelDefault, "Composer for " + url.absoluteString() + " not shown: the screen stayed busy.");
      stopProxying(*composer);
      return;
    }
    platform::DispatchQueue::main()->after(kComposerRetryInterval,
                                           [weak = opener.weak_from_this(), composer, url, retriesLeft] {
                                             if (auto strong = weak.lock())
                                               presentComposerController(*strong, composer, url, retriesLeft - 1);
                                             else
                                               stopProxying(*composer);
                                           });
    return;
  }
  auto proxy = ZUMOverlayProxy::overlayProxyForViewController(composer);
  if (!proxy) proxy = attachProxy(opener, composer);
  if (!proxy) return;
  proxy->setOpener(opener.shared_from_this());
  proxy->presentFromViewController(top, nullptr);
  opener.didClickURL(url);
}

void ZUMOpenerScreens::composerDidFinish(ZUMOpener&, const std::shared_ptr<platform::ViewController>& composer) {
  auto done = [weak = std::weak_ptr<platform::ViewController>(composer)] {
    if (auto strong = weak.lock()) stopProxying(*strong);
  };
  if (auto proxy = ZUMOverlayProxy::overlayProxyForViewController(composer)) {
    proxy->relinquishScreenWithCompletion(std::move(done));
  } else if (auto presenting = composer->presentingViewController()) {
    presenting->dismissViewControllerAnimated(true, std::move(done));
  } else {
    done();
  }
}
