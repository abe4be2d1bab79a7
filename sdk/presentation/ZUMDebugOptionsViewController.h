// The dialog a tester reaches by wiggling over an ad while the ad view's debug flag is
// on. It shows the ad's creative information (copy it, report the ad as bad), and,
// when the debug switches are on, links the device to the ad network's troubleshooting
// and creative-preview tools: two status endpoints and a device-linking page shown in
// the platform's browser controller inside the dialog.
//
// The dialog starts with the debug options alert (a switch is on and a linking page is
// configured) or the creative information alert, runs at most one status fetch of each
// kind at a time, and ends by dismissing itself (finishedDebugFlow): its overlay proxy,
// when it has one, gives the screen back, so the slot's full-screen session ends when
// the dialog goes, not when the object is released. The status fetches hold the dialog
// weakly. What it learns (the device identifier, troubleshooting mode, the preview
// token) outlives it.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/SafariViewController.h"
#include "platform/ui/ViewController.h"

namespace platform {
class Button;
}

class ZUMDebugOptionsViewControllerDelegate;

class ZUMDebugOptionsViewController final : public platform::ViewController,
                                            public platform::AlertViewDelegate,
                                            public platform::SafariViewControllerDelegate {
 public:
  static std::shared_ptr<ZUMDebugOptionsViewController> debugOptionsViewControllerWithAdUnitID(
      std::optional<std::string> adUnitID);

  const std::optional<std::string>& adDebugDialogString() const { return adDebugDialogString_; }
  void setAdDebugDialogString(std::optional<std::string> string) { adDebugDialogString_ = std::move(string); }
  const std::optional<std::string>& adUnitID() const { return adUnitID_; }
  std::shared_ptr<ZUMDebugOptionsViewControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMDebugOptionsViewControllerDelegate>& d) { delegate_ = d; }
  const std::shared_ptr<platform::Button>& closeButton() const { return closeButton_; }

  void viewDidLoad() override;
  void alertViewClickedButtonAtIndex(platform::AlertView& alertView, std::int64_t buttonIndex) override;
  void safariViewControllerDidFinish(platform::SafariViewController& controller) override;
  void closeButtonPressed();

 private:
  explicit ZUMDebugOptionsViewController(std::optional<std::string> adUnitID) : adUnitID_(std::move(adUnitID)) {}
  std::shared_ptr<ZUMDebugOptionsViewController> self();

  void showDebugOptionsAlertView();
  void showCreativeInformationAlertView();
  void debugOptionsAlertViewClickedButtonAtIndex(std::int64_t buttonIndex);
  void creativeInfoAlertViewClickedButtonAtIndex(std::int64_t buttonIndex);
  void showFeatureNotEnabledAlertView();
  void showSystemErrorAlertView();
  void showAlertViewWithTitle(const std::string& title);
  nlohmann::ordered_json debugDeviceQueryParameters() const;
  std::optional<platform::URLRequest> debugURLRequestForString(const std::optional<std::string>& string) const;
  void startDeviceLinking();
  void createDeviceIdentifierAndStartDeviceLinking();
  void startDebugSignalLinking();
  void debugSignalStatusReceivedResponse(const platform::HTTPURLResponse& response, const std::string& data);
  void startInAppPreviewLinking();
  void inAppPreviewSignalStatusReceivedResponse(const platform::HTTPURLResponse& response, const std::string& data);
  // One status fetch: `received` with an HTTP answer, else the running mark is cleared
  // and the system-error status shown. Nothing when the dialog has gone by then.
  void fetchStatus(platform::URLRequest request, bool ZUMDebugOptionsViewController::*running,
                   void (ZUMDebugOptionsViewController::*received)(const platform::HTTPURLResponse&,
                                                                   const std::string&));
  void finishedDebugFlow();

  std::optional<std::string> adDebugDialogString_;
  std::shared_ptr<platform::AlertView> creativeInformationAlertView_;
  std::shared_ptr<platform::AlertView> debugOptionsAlertView_;
  std::shared_ptr<platform::AlertView> statusAlertView_;
  std::optional<platform::URL> debugDeviceLinkingURL_;
  std::shared_ptr<platform::Button> closeButton_;
  bool debugSignalStatusFetchInProgress_ = false;
  bool inAppPreviewTokenFetchInProgress_ = false;
  const std::optional<std::string> adUnitID_;
  bool shouldEnableInAppPreview_ = false;
  bool shouldEnableDebugSignal_ = false;
  std::weak_ptr<ZUMDebugOptionsViewControllerDelegate> delegate_;
};
