// The in-app browser: an ad's landing page full screen inside the application, in a
// web ad view of its own, with a toolbar (back, forward, reload or a spinner while
// loading, "View in Safari", done). A URL given before the view first appears loads
// then, once; the referrer travels as the host name of the referring URL. "View in
// Safari" opens the page outside through a short-lived opener of its own (with the
// slot, so the click is recorded) and marks "pcbo"; "Done" gives the screen back
// through the full-screen session.
//
// Made and presented by the click handling; holds its page view, its delegate and its
// toolbar. Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "platform/base/URL.h"
#include "sdk/presentation/ZUMViewController.h"

namespace platform {
class ActivityIndicatorView;
class BarButtonItem;
class Image;
class Toolbar;
}  // namespace platform

class ZUMAdView;
class ZUMBrowserAdViewDelegate;

// The toolbar's arrows: dark triangles pointing left (A) and right (B), 27 points at
// scale 2. Each call makes a new image.
std::shared_ptr<platform::Image> ZUMBrowserToolbarImageA();
std::shared_ptr<platform::Image> ZUMBrowserToolbarImageB();

class ZUMBrowserViewController final : public ZUMViewController {
 public:
  static std::shared_ptr<ZUMBrowserViewController> create();

  void load(const std::optional<platform::URL>& url, const std::optional<platform::URL>& referringURL);

  // Actions of the toolbar.
  void back();
  void forward();
  void reload();
  void stop();
  void openInSafari();
  void doneButtonPressed();
  // Back and forward follow the page's history; a spinner stands in for reload, and
  // "View in Safari" is off, while the page loads.
  void refreshToolbar();

  const std::shared_ptr<ZUMAdView>& adView() const { return adView_; }
  const std::shared_ptr<platform::Toolbar>& toolbar() const { return toolbar_; }
  const std::shared_ptr<platform::BarButtonItem>& backButton() const { return backButton_; }
  const std::shared_ptr<platform::BarButtonItem>& forwardButton() const { return forwardButton_; }
  const std::shared_ptr<platform::BarButtonItem>& reloadButton() const { return reloadButton_; }
  const std::shared_ptr<platform::BarButtonItem>& safariButton() const { return safariButton_; }
  const std::shared_ptr<platform::BarButtonItem>& doneButton() const { return doneButton_; }
  const std::shared_ptr<platform::ActivityIndicatorView>& spinner() const { return spinner_; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) override;
  ~ZUMBrowserViewController() override;

 private:
  ZUMBrowserViewController() = default;
  void makePageView(double pageHeight);
  void createToolbarButtons();
  std::shared_ptr<platform::BarButtonItem> buttonWithImage(std::shared_ptr<platform::Image> image, const char* name,
                                                           double width, bool enabled,
                                                           void (ZUMBrowserViewController::*action)());

  std::optional<platform::URL> URLToLoad_;
  std::optional<platform::URL> referringURLToLoad_;
  std::shared_ptr<ZUMBrowserAdViewDelegate> adViewDelegate_;
  std::shared_ptr<ZUMAdView> adView_;
  std::shared_ptr<platform::Toolbar> toolbar_;
  std::shared_ptr<platform::BarButtonItem> flexibleSpaceButton_, backButton_, forwardButton_, reloadButton_,
      safariButton_, doneButton_, spinnerContainingButton_;
  std::shared_ptr<platform::ActivityIndicatorView> spinner_;
};
