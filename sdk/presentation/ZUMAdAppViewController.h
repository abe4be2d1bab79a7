// An SDK full-screen controller that shows one web ad (ZUMAdView) filling its view,
// with the SDK's close button on top: the page of an interstitial, a web app opened by a
// click, an MRAID expand. It honours MRAID custom close and close positions and the
// orientations the ad asks for, and it lets ad audio play in applications whose audio
// session only records (play-and-record while it is up, their own category back after).
// Its ad view talks to native code through a ZUMAdAppAdViewDelegate.
//
// Created (content possibly kept) -> first will-appear (view configured once, content
// loaded, audio category possibly replaced) -> shown -> relinquishing (audio category
// restored) -> dismissed.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/URL.h"
#include "sdk/presentation/ZUMAdOrientationControlling.h"
#include "sdk/presentation/ZUMViewController.h"

namespace platform {
class Button;
}

class ZUMAdAppAdViewDelegate;
class ZUMAdView;

class ZUMAdAppViewController : public ZUMViewController, public ZUMAdOrientationControlling {
 public:
  // Hosts `adView`; without one, a new zero-frame ad view whose view controller this is.
  static std::shared_ptr<ZUMAdAppViewController> create(std::shared_ptr<ZUMAdView> adView = nullptr);
  ~ZUMAdAppViewController() override;

  // --- Content (ignored when empty) ---------------------------------------------------------
  // Into the ad view at once once the view is configured; kept until then.
  void load(const std::optional<platform::URL>& url);
  void loadHTML(const std::optional<std::string>& html, const std::optional<platform::URL>& baseURL);

  // --- Close button ---------------------------------------------------------------------
  bool useCustomClose() const { return useCustomClose_; }
  // Updates the close button when the value changes.
  void setUseCustomClose(bool use);
  std::int64_t customClosePosition() const { return customClosePosition_; }
  // For MRAID ads, moves the close button there.
  void setCustomClosePosition(std::int64_t position);
  const std::shared_ptr<platform::Button>& closeButton() const { return closeButton_; }
  // Relinquishes the screen.
  void closeButtonPressed();

  // --- Orientations ---------------------------------------------------------------------
  platform::InterfaceOrientationMask adOrientations() const override { return adOrientations_; }
  // Ignored in split screen and when unchanged. After the first appearance the presenter
  // re-orients; before the view is configured the supported orientations follow what the
  // application supports.
  void setAdOrientations(platform::InterfaceOrientationMask mask);
  platform::InterfaceOrientation forcedAdOrientation() const override { return forcedAdOrientation_; }
  void setForcedAdOrientation(platform::InterfaceOrientation orientation) override {
    forcedAdOrientation_ = orientation;
  }
  double orientationUpdateAnimationDuration() const override { return orientationUpdateAnimationDuration_; }
  void setOrientationUpdateAnimationDuration(double seconds) { orientationUpdateAnimationDuration_ = seconds; }
  bool adOrientationsOverridesLockedOrientation() const { return adOrientationsOverridesLockedOrientation_; }
  void setAdOrientationsOverridesLockedOrientation(bool value) { adOrientationsOverridesLockedOrientation_ = value; }

  // --- Parts ----------------------------------------------------------------------------
  const std::shared_ptr<ZUMAdView>& adView() const { return adView_; }
  void setAdView(std::shared_ptr<ZUMAdView> adView) { adView_ = std::move(adView); }
  const std::shared_ptr<ZUMAdAppAdViewDelegate>& adViewDelegate() const { return adViewDelegate_; }
  // The audio category replaced while the controller is up; nullopt otherwise.
  const std::optional<std::string>& originalAudioSessionCategory() const { return originalAudioSessionCategory_; }
  // The ad-view delegate has seen a page load.
  virtual bool isLoaded() const;

  // --- Steps, overridable -----------------------------------------------------------------
  // Once, at the first will-appear: the ad view fills the view, the close button, the
  // ad-view delegate, the kept content.
  virtual void configureView();
  void updateCloseButtonVisibilityAndImage();
  void positionCloseButton();
  void positionMRAIDCloseButton();

  // --- ZUMViewController ------------------------------------------------------------------
  // Custom close: yes. Once after a click left the application: no (the flag is cleared).
  bool shouldDismissOnApplicationEnteringForeground() override;
  // Gives a replaced audio category back first.
  void relinquishScreenWithCompletion(std::function<void()> completion) override;
  // The first time the page is forced into `orientation`; afterwards told of a rotation.
  void viewChangedToOrientation(platform::InterfaceOrientation orientation) override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) override;

 protected:
  explicit ZUMAdAppViewController(std::shared_ptr<ZUMAdView> adView);
  // Makes the default ad view and the close button (needs shared_from_this()).
  void setUp();
  bool isMRAIDAd() const;

 private:
  void swapAudioCategoryIfNeeded();

  std::shared_ptr<ZUMAdView> adView_;
  std::shared_ptr<platform::Button> closeButton_;
  std::int64_t customClosePosition_ = 0;
  std::shared_ptr<ZUMAdAppAdViewDelegate> adViewDelegate_;
  bool useCustomClose_ = false;
  platform::InterfaceOrientationMask adOrientations_ = 0;
  bool viewHasAppearedAtLeastOnce_ = false;
  bool viewWasConfigured_ = false;
  std::optional<std::string> originalAudioSessionCategory_;
  std::optional<platform::URL> URLToLoad_;
  std::optional<std::string> HTMLToLoad_;
  std::optional<platform::URL> HTMLBaseURLToLoad_;
  platform::InterfaceOrientation forcedAdOrientation_ = 0;
  bool orientationNotifiedToTheAdViewAtLeastOnce_ = false;
  double orientationUpdateAnimationDuration_ = 0;
  bool adOrientationsOverridesLockedOrientation_ = false;
};
