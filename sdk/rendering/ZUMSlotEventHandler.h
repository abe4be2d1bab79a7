// The event side of one slot: it forwards the ad's screen, click and video events to
// the slot's owner and delegates, counts clicks and impressions and sends their pings,
// rewrites the click URL of a tapped link, posts the MRAID events of the slot's
// creative into its page (screen info, device features, ready, visibility, position,
// errors), tells the page of volume changes and follows the interface orientation while
// an MRAID creative is loaded.
//
// One per slot, made with the slot's ad view (forSlot()) and kept by the slot as its
// MRAID event handling. It holds the slot weakly and observes, for it, the host's
// application-volume changes and (while listening) the status bar's orientation.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/ui/Geometry.h"
#include "sdk/request/ZUMMRAIDEventHandling.h"

class ZUMAdView;
class ZUMSlot;

// Posted (object: the slot) when the interface orientation its MRAID creative sees
// changed.
inline constexpr const char* kZUMSlotCreativeOrientationChangedNotification = "zum_slot_creative_orientation_changed";

class ZUMSlotEventHandler final : public ZUMMRAIDEventHandling,
                                  public std::enable_shared_from_this<ZUMSlotEventHandler> {
 public:
  // The slot's handler, made and stored in the slot on first use.
  static std::shared_ptr<ZUMSlotEventHandler> forSlot(ZUMSlot& slot);
  ~ZUMSlotEventHandler() override;

  // --- Event forwarding -------------------------------------------------------------
  // The hub's click count, and the shown ad's "tclickcurr" and "pcc".
  void adWasClicked();
  // (The full-screen notices are the slot's own: ZUMSlot::adWillPresentScreen() ...)
  void adWillLeaveApplication();
  void adDidLoadVideoWithSize(platform::Size size);
  // The shown ad's "pclb"; the hub is told.
  void willLeaveAppDueToClick();

  // --- Impressions and pings ----------------------------------------------------------
  // Once per shown ad: the hub's "pimp", the ad's impression pings.
  void didMakeAdImpression();
  // The shown ad pings its click URLs every time; the owner is told.
  void pingClickURLs();
  void pingImpressionURLs();
  // The shown ad's manual-impression pings; a mediated ad's network is told as well.
  void pingManualTrackingURLs();

  // --- Click URL ----------------------------------------------------------------------
  // A tapped link's URL: message URLs and "about:blank" unchanged; otherwise "pit" is
  // recorded from the path and, for the ad network's click URLs with an "ai" value, the
  // click signal is appended (an "adurl=" tail stays last).
  platform::URL gestureClickURLWithURL(const platform::URL& url);
  // Whether the URL's host is one of the click-serving domains ("/vantor/ads/as_domains",
  // comma-separated, else the built-in ones) or a subdomain of one; an entry with a
  // leading dot (".example.com") takes its subdomains only. Empty entries never match.
  static bool isVantorAdURL(const platform::URL& url);

  // --- ZUMMRAIDEventHandling ----------------------------------------------------------
  // Screen info (once), device features, ready, then the owner's slotDidLoadMRAIDAd.
  void MRAIDAdDidLoad() override;
  void MRAIDAdDidUnload() override;
  void updateVisibility(bool visible) override;
  // Posts only what changed since the last post.
  void updatePositionFromView(platform::View& view) override;
  void notifyOrientationToMRAIDCreative() override;
  void handleError(const std::string& message, const std::string& action) override;

  bool isMRAIDEnabled() const;
  // What the controller showing `adView` forces its ad into (ZUMAdViewPresentation):
  // "p" (portrait or upside down), "l" (either landscape) or std::nullopt for none.
  [[nodiscard]] static std::optional<std::string> forcedAdOrientation(const ZUMAdView& adView);
  void notifyDeviceFeatures();
  void SDKDidBecomeReady();

  // --- Audio, volume and orientation --------------------------------------------------
  // The owner's answer, else true.
  bool shouldChangeAudioSessionCategoryTo(const std::string& category);
  // Sends "volume" to the slot's ad view (on the main thread).
  void postVolumeNotification();
  // The volume payload as it stands now.
  static nlohmann::ordered_json volumePayload();
  void beginListeningToDeviceOrientationChangeEvent();
  void endListeningToDeviceOrientationChangeEvent();
  bool isListeningToDeviceOrientationChangeEvent() const { return listening_; }
  void didChangeDeviceOrientation();

 private:
  explicit ZUMSlotEventHandler(const std::shared_ptr<ZUMSlot>& slot);
  void observeApplicationVolume();

  const std::weak_ptr<ZUMSlot> slot_;
  bool listening_ = false;
  std::optional<platform::NotificationCenter::Token> volumeObserver_;
  std::optional<platform::NotificationCenter::Token> statusBarObserver_;
  std::optional<platform::NotificationCenter::Token> creativeOrientationObserver_;
};
