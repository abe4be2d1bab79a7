#include "sdk/presentation/ZUMDebugOptionsViewController.h"

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/PropertyList.h"
#include "platform/base/Random.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLConnection.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Pasteboard.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/presentation/ZUMDebugOptionsViewControllerDelegate.h"
#include "sdk/presentation/ZUMImages.h"
#include "sdk/presentation/ZUMOverlayProxy.h"
#include "sdk/presentation/ZUMReportBadAd.h"
#include "sdk/rendering/ZUMSafariViewControllerSupport.h"

using json = nlohmann::ordered_json;

namespace {

std::string key(std::string_view name) { return ZUMUserDefaults::keyForName(name); }

constexpr const char* kFeatureNotEnabled = "Feature Not Enabled";
constexpr const char* kLinkedForTroubleshooting = "The device is successfully linked for troubleshooting.";
constexpr const char* kLinkedForPreview = "The device is successfully linked for creative preview.";
constexpr const char* kNoCreativePushed = "There was no creative pushed from PXR to the device.";
constexpr const char* kSystemError = "In-app preview failed to load because of a system error. Please try again later.";

// The debug options alert's buttons after "Dismiss".
enum DebugOption : std::int64_t { AdInformation = 1, CreativePreview = 2, Troubleshooting = 3 };
// The creative information alert's buttons after "OK".
enum CreativeOption : std::int64_t { Copy = 1, Report = 2 };

std::optional<json> decodedDictionary(const std::string& data) {
  auto value = zum_decodedJSONObjectError(data, nullptr);
  if (!value || !value->is_object()) return std::nullopt;
  return value;
}

bool isSuccess(const platform::HTTPURLResponse& response) {
  return response.statusCode() >= 200 && response.statusCode() <= 299;
}

}  // namespace

std::shared_ptr<ZUMDebugOptionsViewController> ZUMDebugOptionsViewController::debugOptionsViewControllerWithAdUnitID(
    std::optional<std::string> adUnitID) {
  return std::shared_ptr<ZUMDebugOptionsViewController>(new ZUMDebugOptionsViewController(std::move(adUnitID)));
}

std::shared_ptr<ZUMDebugOptionsViewController> ZUMDebugOptionsViewController::self() {
  return std::static_pointer_cast<ZUMDebugOptionsViewController>(shared_from_this());
}

void ZUMDebugOptionsViewController::viewDidLoad() {
  platform::assertMainThread();
  platform::ViewController::viewDidLoad();
  view()->setBackgroundColor(platform::Color::white());
  closeButton_ = platform::Button::create(platform::Button::Type::Custom, {30, 30, 25, 25});
  closeButton_->setImage(ZUMCloseButtonImage(), platform::Button::Normal);
  closeButton_->setAccessibilityLabel("Close Debug Options");
  std::weak_ptr<ZUMDebugOptionsViewController> weak = self();
  closeButton_->addTarget(
      weak,
      [weak](platform::Button&) {
        if (auto dialog = weak.lock()) dialog->closeButtonPressed();
      },
      platform::Button::TouchUpInside);
  view()->addSubview(closeButton_);

  shouldEnableInAppPreview_ = ZUMUserDefaults::boolForKey(key("enable_in_app_preview")).value_or(false);
  shouldEnableDebugSignal_ = ZUMUserDefaults::boolForKey(key("enable_debug_signals")).value_or(false);
  const auto linking = ZUMUserDefaults::stringForKey(key("debug_device_linking_url"));
  const auto linkingURL = linking ? platform::URL::fromString(*linking) : std::nullopt;
  if ((shouldEnableInAppPreview_ || shouldEnableDebugSignal_) && linkingURL) {
    debugDeviceLinkingURL_ = linkingURL;
    showDebugOptionsAlertView();
  } else {
    showCreativeInformationAlertView();
  }
}

void ZUMDebugOptionsViewController::showDebugOptionsAlertView() {
  auto application = ZUMApplication::sharedInstance();
  std::string message;
  if (application->debugModeEnabled()) message = "Troubleshooting mode is enabled.";
  if (application->inAppPreviewCreativeToken())
    message += (message.empty() ? "" : "\n") + std::string("Creative preview is enabled.");
  debugOptionsAlertView_ = platform::AlertView::create("Debug Options", message, self(), "Dismiss",
                                                       {"Ad Information", "Creative Preview", "Troubleshooting"});
  debugOptionsAlertView_->show();
}

void ZUMDebugOptionsViewController::showCreativeInformationAlertView() {
  const bool hasInformation = adDebugDialogString_ && !adDebugDialogString_->empty();
  creativeInformationAlertView_ = platform::AlertView::create(
      "Debug Ad Information", hasInformation ? *adDebugDialogString_ : "Creative information is not available", self(),
      "OK", hasInformation ? std::vector<std::string>{"Copy", "Report"} : std::vector<std::string>{});
  creativeInformationAlertView_->show();
}

void ZUMDebugOptionsViewController::alertViewClickedButtonAtIndex(platform::AlertView& alertView,
                                                                  std::int64_t buttonIndex) {
  platform::assertMainThread();
  if (&alertView == debugOptionsAlertView_.get()) {
    debugOptionsAlertViewClickedButtonAtIndex(buttonIndex);
  } else if (&alertView == creativeInformationAlertView_.get()) {
    creativeInfoAlertViewClickedButtonAtIndex(buttonIndex);
  } else {
    finishedDebugFlow();
  }
}

void ZUMDebugOptionsViewController::debugOptionsAlertViewClickedButtonAtIndex(std::int64_t buttonIndex) {
  switch (buttonIndex) {
    case AdInformation:
      return showCreativeInformationAlertView();
    case CreativePreview:
      return startInAppPreviewLinking();
    case Troubleshooting:
      return startDebugSignalLinking();
    default:
      return finishedDebugFlow();
  }
}

void ZUMDebugOptionsViewController::creativeInfoAlertViewClickedButtonAtIndex(std::int64_t buttonIndex) {
  if (adDebugDialogString_ && !adDebugDialogString_->empty()) {
    if (buttonIndex == Copy) platform::Pasteboard::general().setString(adDebugDialogString_);
    if (buttonIndex == Report) ZUMReportBadAd(adDebugDialogString_);
  }
  finishedDebugFlow();
}

void ZUMDebugOptionsViewController::showFeatureNotEnabledAlertView() { showAlertViewWithTitle(kFeatureNotEnabled); }

void ZUMDebugOptionsViewController::showSystemErrorAlertView() { showAlertViewWithTitle(kSystemError); }

void ZUMDebugOptionsViewController::showAlertViewWithTitle(const std::string& title) {
  statusAlertView_ = platform::AlertView::create(title, "", self(), "Dismiss");
  statusAlertView_->show();
}

json ZUMDebugOptionsViewController::debugDeviceQueryParameters() const {
  json parameters = json::object();
  if (auto device = ZUMUserDefaults::stringForKey(key("debug_device_identifier")))
    parameters["linkedDeviceId"] = *device;
  if (adUnitID_) parameters["adSlotPath"] = *adUnitID_;
  return parameters;
}

std::optional<platform::URLRequest> ZUMDebugOptionsViewController::debugURLRequestForString(
    const std::optional<std::string>& string) const {
  const auto url = string ? platform::URL::fromString(*string) : std::nullopt;
  if (!url) return std::nullopt;
  return ZUMURLRequestWithBody(ZUMURLByAppendingQueryParameters(*url, debugDeviceQueryParameters()), std::nullopt,
                               std::nullopt, std::nullopt);
}

void ZUMDebugOptionsViewController::startDeviceLinking() {
  const auto url = debugDeviceLinkingURL_
                       ? ZUMURLByAppendingQueryParameters(*debugDeviceLinkingURL_, debugDeviceQueryParameters())
                       : std::nullopt;
  if (!url) return finishedDebugFlow();
  const auto factory = platform::ClassRegistry::shared().create<platform::SafariViewController::Factory>(
      platform::SafariViewController::kClassName);
  auto browser = factory && ZUMSafariViewControllerSupportsURL(*url) ? factory->create(*url) : nullptr;
  if (!browser) {
    finishedDebugFlow();
    ZUMApplication::sharedInstance()->openURL(*url);
    return;
  }
  browser->setDelegate(self());
  auto browserView = browser->view();
  browserView->setCenter(view()->center());
  browserView->setBounds({0, 0, view()->bounds().size.width, view()->bounds().size.height});
  addChildViewController(browser);
  view()->addSubview(browserView);
  browser->didMoveToParentViewController(self());
}

void ZUMDebugOptionsViewController::createDeviceIdentifierAndStartDeviceLinking() {
  if (!debugDeviceLinkingURL_) return finishedDebugFlow();
  (void)platform::UserDefaults::standard().setObject(platform::Random::uuidString(), key("debug_device_identifier"));
  startDeviceLinking();
}

void ZUMDebugOptionsViewController::fetchStatus(
    platform::URLRequest request, bool ZUMDebugOptionsViewController::*running,
    void (ZUMDebugOptionsViewController::*received)(const platform::HTTPURLResponse&, const std::string&)) {
  this->*running = true;
  std::weak_ptr<ZUMDebugOptionsViewController> weak = self();
  platform::URLConnection::sendAsynchronousRequest(
      std::move(request), platform::OperationQueue::main(),
      [weak, running, received](std::optional<platform::HTTPURLResponse> response, std::string data,
                                platform::ErrorPtr error) {
        auto dialog = weak.lock();
        if (!dialog) return;
        if (!error && response) return ((*dialog).*received)(*response, data);
        (*dialog).*running = false;
        dialog->showSystemErrorAlertView();
      });
}

void ZUMDebugOptionsViewController::startDebugSignalLinking() {
  if (!shouldEnableDebugSignal_) return showFeatureNotEnabledAlertView();
  if (!ZUMUserDefaults::stringForKey(key("debug_device_identifier")))
    return createDeviceIdentifierAndStartDeviceLinking();
  auto request = debugURLRequestForString(ZUMUserDefaults::stringForKey(key("debug_signal_status_url")));
  if (!request || debugSignalStatusFetchInProgress_) return finishedDebugFlow();
  fetchStatus(std::move(*request), &ZUMDebugOptionsViewController::debugSignalStatusFetchInProgress_,
              &ZUMDebugOptionsViewController::debugSignalStatusReceivedResponse);
}

void ZUMDebugOptionsViewController::debugSignalStatusReceivedResponse(const platform::HTTPURLResponse& response,
                                                                      const std::string& data) {
  debugSignalStatusFetchInProgress_ = false;
  const auto status = isSuccess(response) ? decodedDictionary(data) : std::nullopt;
  if (status && status->contains("debug_mode") && (*status)["debug_mode"] == "1") {
    ZUMApplication::sharedInstance()->setDebugModeEnabled(true);
    return showAlertViewWithTitle(kLinkedForTroubleshooting);
  }
  ZUMApplication::sharedInstance()->setDebugModeEnabled(false);
  startDeviceLinking();
}

void ZUMDebugOptionsViewController::startInAppPreviewLinking() {
  if (!shouldEnableInAppPreview_) return showFeatureNotEnabledAlertView();
  if (!ZUMUserDefaults::stringForKey(key("debug_device_identifier")))
    return createDeviceIdentifierAndStartDeviceLinking();
  auto request = debugURLRequestForString(ZUMUserDefaults::stringForKey(key("in_app_preview_status_url")));
  if (!request || inAppPreviewTokenFetchInProgress_) return finishedDebugFlow();
  fetchStatus(std::move(*request), &ZUMDebugOptionsViewController::inAppPreviewTokenFetchInProgress_,
              &ZUMDebugOptionsViewController::inAppPreviewSignalStatusReceivedResponse);
}

void ZUMDebugOptionsViewController::inAppPreviewSignalStatusReceivedResponse(const platform::HTTPURLResponse& response,
                                                                             const std::string& data) {
  inAppPreviewTokenFetchInProgress_ = false;
  const auto status = isSuccess(response) ? decodedDictionary(data) : std::nullopt;
  if (!status) return showSystemErrorAlertView();
  auto application = ZUMApplication::sharedInstance();
  if (const auto token = status->find("gct"); token != status->end()) {
    application->setInAppPreviewCreativeToken(platform::stringValue(*token));
    return showAlertViewWithTitle(kLinkedForPreview);
  }
  const auto code = status->contains("status") ? platform::stringValue((*status)["status"]) : std::nullopt;
  if (code == "1") {
    application->setInAppPreviewCreativeToken(std::nullopt);
    return startDeviceLinking();
  }
  if (code == "2") return showAlertViewWithTitle(kNoCreativePushed);
  showSystemErrorAlertView();
}

void ZUMDebugOptionsViewController::safariViewControllerDidFinish(platform::SafariViewController&) {
  finishedDebugFlow();
}

void ZUMDebugOptionsViewController::closeButtonPressed() { finishedDebugFlow(); }

void ZUMDebugOptionsViewController::finishedDebugFlow() {
  platform::assertMainThread();
  std::weak_ptr<ZUMDebugOptionsViewController> weak = self();
  auto didDismiss = [weak] {
    auto dialog = weak.lock();
    if (!dialog) return;
    if (auto delegate = dialog->delegate()) delegate->debugOptionsViewControllerDidDismiss(*dialog);
  };
  // Through the proxy, the slot's session ends with the dialog.
  if (auto proxy = ZUMOverlayProxy::overlayProxyForViewController(self())) {
    proxy->relinquishScreenWithCompletion(didDismiss);
  } else {
    dismissViewControllerAnimated(true, didDismiss);
  }
}
