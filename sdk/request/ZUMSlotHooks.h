// Where the areas that stand above the slot plug into its load cycle: rendering (the ad
// view and its delegate), response processing, event logging and MRAID page events,
// mediation, load timings and the formats' owner classes. Each hook is empty until its
// area registers it, once, at start-up; the slot skips an empty hook, except where a
// comment says what it does instead. Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/ui/Geometry.h"

namespace platform {
class View;
}

class ZUMAd;
class ZUMAdType;
class ZUMCSITimeRecorder;
class ZUMSlot;
class ZUMSlotDelegate;

struct ZUMSlotAdViewParts {
  std::shared_ptr<platform::View> adView;
  // The ad view's delegate, owned by the slot (may be nullptr).
  std::shared_ptr<void> adViewDelegate;
};

struct ZUMSlotHooks {
  // --- Rendering ----------------------------------------------------------------------
  // A new slot's ad view with the frame, its banner ad-view delegate made with the slot,
  // and the slot as the observer of its active-view reporter. Empty: a plain view.
  std::function<ZUMSlotAdViewParts(ZUMSlot& slot, const platform::Rect& frame)> makeAdView;
  // The placement (nullptr: none) moved to the ad view.
  std::function<void(platform::View& adView, const std::shared_ptr<void>& placement)> adViewDidMoveToPlacement;
  // A full screen is about to cover the host: pause the ad view's video.
  std::function<void(platform::View& adView)> pauseVideo;
  // The ad's page has loaded: clear the ad view's touched flag.
  std::function<void(platform::View& adView)> clearTouched;
  // The slot is invalidated: clear the ad view's delegate.
  std::function<void(platform::View& adView)> detachAdView;

  // --- Response processing --------------------------------------------------------------
  // Dispatches a fetched ad by its response type. Empty: the load fails with code 11.
  std::function<void(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad)> processAdResponse;
  // Runs an ad-network script ad. Empty: the load fails with code 11.
  std::function<void(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad)> loadAdNetworkJavaScriptRequest;
  // The loading ad becomes the shown ad. Empty: the slot only records it as shown.
  std::function<void(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad)> finishedLoadingAdResponse;
  // A placement arrived while a custom-rendering ad waits for one.
  std::function<void(ZUMSlot& slot)> renderPendingCustomRenderingAd;
  // Whether a mediated ad took the new type without a new request.
  std::function<bool(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType)> changeMediatedAdType;
  // Stops the slot's mediation waterfall.
  std::function<void(ZUMSlot& slot)> cancelMediation;

  // --- Events ---------------------------------------------------------------------------
  // One event of the slot's event log ("loading_started", "url_fetching_failed" ...).
  std::function<void(ZUMSlot& slot, const std::string& name, const nlohmann::ordered_json& info)> logEvent;
  // The shown ad's page is gone: tell its MRAID event handler.
  std::function<void(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad)> MRAIDAdDidUnload;
  // A load succeeded: start impression monitoring.
  std::function<void(ZUMSlot& slot)> startImpressionMonitoring;
  // The volume notification after an ad page loaded.
  std::function<void(ZUMSlot& slot)> postVolumeNotification;

  // --- Telemetry ------------------------------------------------------------------------
  // A time recorder for an action, or nullptr when timings are not sampled in.
  std::function<std::shared_ptr<ZUMCSITimeRecorder>(const std::string& action)> makeTimeRecorder;
  // Reports a load's timings ("bqi" already set).
  std::function<void(const std::shared_ptr<ZUMCSITimeRecorder>& recorder)> reportTimeRecorder;
  // The request parameters' telemetry (added for ZUMSlot+Parameters.cpp):
  // The hub's current content fingerprint (nullopt: none now). Empty: none.
  std::function<std::optional<std::string>()> contentFingerprint;
  // Whether the crash reporter reports. Empty: no reporter, so no.
  std::function<bool()> crashReportingEnabled;
  // When the analytics bridge exists: adds "kqp_app_id", "lvn_aiid" and "lvn_aeid" (each
  // when known) and answers true; false without a bridge. Empty: no bridge.
  std::function<bool(nlohmann::ordered_json& parameters)> addAnalyticsIdentifiers;
  // Logs an event (name, ad event id) through the analytics bridge.
  std::function<void(const std::string& name, const std::string& adEventID)> logAnalyticsEvent;

  // --- Formats --------------------------------------------------------------------------
  // 1 when the owner is a banner view, 2 when it is an interstitial, else 0.
  std::function<std::int64_t(const ZUMSlotDelegate& owner)> requestedAdTypeForOwner;
};

// Fills the hooks that `fill` sets; earlier fillings of other hooks stay.
void ZUMRegisterSlotHooks(const std::function<void(ZUMSlotHooks&)>& fill);
// A copy of the hooks as registered so far.
ZUMSlotHooks ZUMCurrentSlotHooks();
