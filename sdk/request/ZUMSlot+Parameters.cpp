// The slot's request parameters: the request's own dictionary overlaid with the slot's
// keys, in the order the SDK-core page expects them.
#include "sdk/request/ZUMSlot.h"

#include <any>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMAdSize.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdKeyDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMLocation.h"
#include "sdk/foundation/ZUMLocationService.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/foundation/ZUMViewUtilities.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlotTelemetry.h"

using nlohmann::ordered_json;

namespace {

constexpr const char* kContentFingerprintKey = "/vantor/ads/content_url_fingerprint";

bool isNonEmptyObject(const ordered_json& value) { return value.is_object() && !value.empty(); }

// One side of a size text; nullopt for a side that is not a finite, non-negative number
// that fits the text's unsigned integer (hosts may hand over any double).
std::optional<std::uint64_t> sizeTextSide(double points) {
  if (!std::isfinite(points) || points < 0 || points >= 4294967296.0) return std::nullopt;
  return static_cast<std::uint64_t>(points);  // fractions cut, as the text always did
}

// "320x50" of the concrete size, or nullopt when the size does not resolve to one.
std::optional<std::string> sizeText(const ZUMAdSize& adSize) {
  const platform::Size size = ZUMCGSizeFromAdSize(adSize);
  const auto width = sizeTextSide(size.width);
  const auto height = sizeTextSide(size.height);
  if (!width || !height) return std::nullopt;
  return std::to_string(*width) + "x" + std::to_string(*height);
}

// "sz" and "sz_array" from the owner's valid sizes: boxed ad sizes other than the invalid
// size, in list order; anything else in the list is skipped. Answers whether it wrote them.
bool addValidAdSizes(ordered_json& result, const std::vector<std::any>& validAdSizes) {
  std::string sz;
  ordered_json sizes = ordered_json::array();
  for (const std::any& element : validAdSizes) {
    const ZUMAdSize adSize = ZUMAdSizeFromValue(element);
    if (ZUMAdSizeEqualToSize(adSize, kZUMAdSizeInvalid)) continue;
    const auto text = sizeText(adSize);
    if (!text) continue;
    if (!sz.empty()) sz += "|";
    sz += *text;
    sizes.push_back(ZUMAdSizeIsFluid(adSize) ? std::string("fluid") : *text);
  }
  if (sz.empty()) return false;
  result["sz"] = sz;
  result["sz_array"] = std::move(sizes);
  return true;
}

// The hub's content fingerprint, remembered across launches; the stored one when the hub
// has none now.
std::optional<std::string> contentFingerprint(ZUMSlotTelemetry* telemetry) {
  auto& defaults = platform::UserDefaults::standard();
  if (telemetry) {
    if (auto fingerprint = telemetry->contentFingerprint()) {
      // Every write saves the defaults file: skip it when nothing changed.
      if (defaults.stringForKey(kContentFingerprintKey) != fingerprint) {
        // A string is always a property list: the write cannot be refused.
        static_cast<void>(defaults.setObject(*fingerprint, kContentFingerprintKey));
      }
      return fingerprint;
    }
  }
  return ZUMUserDefaults::stringForKey(kContentFingerprintKey);
}

}  // namespace

std::optional<std::string> ZUMSlot::experimentIDString() {
  return ZUMUserDefaults::stringForKey("/vantor/ads/experiment_id_string");
}

nlohmann::ordered_json ZUMSlot::requestParameters() { return requestParametersForRequest(loadingRequest()); }

nlohmann::ordered_json ZUMSlot::requestParametersForRequest(const std::shared_ptr<ZUMRequest>& request) {
  const auto telemetry = ZUMSlotTelemetry::shared();
  const auto application = ZUMApplication::sharedInstance();
  const auto owner = slotDelegate();

  // The base: the request's own keys (targeting, device and network signals, the signal).
  ordered_json result = request ? request->parameters() : ordered_json::object();
  if (!result.is_object()) result = ordered_json::object();

  if (const auto& correlatorObject = correlator()) {
    if (const std::uint32_t correlationID = correlatorObject->correlationID(); correlationID != 0) {
      result["correlation_id"] = correlationID;
    }
  }

  ordered_json qualitySignals = ordered_json::object();
  if (ordered_json app = applicationStatistics(); isNonEmptyObject(app)) qualitySignals["app"] = std::move(app);
  if (const auto stats = slotStats()) {
    if (ordered_json slots = stats->statistics(); isNonEmptyObject(slots)) {
      qualitySignals["slots"] = std::move(slots);
    }
  }
  if (request) {
    if (auto extras = request->privateMediationExtras(); extras && isNonEmptyObject(*extras)) {
      qualitySignals["request"] = std::move(*extras);
    }
  }
  // Statistics taken by an earlier request that was dropped before it could send or hand
  // them back go back to the hub first, so that they are not lost.
  if (!pendingAdStatistics().empty()) application->didNotSendAdStatistics(pendingAdStatistics());
  setPendingAdStatistics(application->pendingAdStatistics());
  ordered_json ads = ordered_json::array();
  for (const auto& statistics : pendingAdStatistics()) {
    if (statistics) ads.push_back(statistics->dictionary());
  }
  if (!ads.empty()) qualitySignals["ads"] = std::move(ads);
  if (!qualitySignals.empty()) result["quality_signals"] = std::move(qualitySignals);

  if (auto unitID = adUnitID(); unitID && !unitID->empty()) result["slotname"] = std::move(*unitID);

  const auto type = adType();
  const auto view = adView();
  const bool interstitial = type && type->isInterstitial();
  const ZUMAdSize adSize = type ? type->adSize() : kZUMAdSizeInvalid;
  if (interstitial) {
    result["format"] = "interstitial_mb";
  } else {
    bool wroteSizes = false;
    if (owner) {
      if (auto validAdSizes = owner->validAdSizes(); validAdSizes && !validAdSizes->empty()) {
        wroteSizes = addValidAdSizes(result, *validAdSizes);
      }
    }
    if (!wroteSizes && ZUMAdSizeIsFluid(adSize)) {
      result["format"] = "320x50_mb";
      result["fluid"] = "height";
    }
    std::optional<platform::Rect> frame = owner ? owner->frame() : std::nullopt;
    std::optional<platform::Rect> bounds = owner ? owner->bounds() : std::nullopt;
    if (!frame) frame = view ? view->frame() : platform::Rect::zero();
    if (!bounds) bounds = view ? view->bounds() : platform::Rect::zero();
    result["ad_frame"] = ZUMDictionaryFromRect(frame->standardized());
    result["ad_bounds"] = ZUMDictionaryFromRect(bounds->standardized());
  }
  if (ZUMAdSizeIsFullWidth(adSize)) {
    result["smart_w"] = "full";
    if (ZUMAdSizeIsSmartBanner(adSize)) result["smart_h"] = "auto";
  }

  if (auto identifier = requestID()) result["request_id"] = std::move(*identifier);
  if (view) {
    if (auto position = ZUMViewUtilities::positionOfView(view, platform::Screen::main())) {
      result["ad_pos"] = std::move(*position);
    }
  }
  if (manualImpressionsEnabled()) result["d_imp_hdr"] = "1";
  if (ZUMUserDefaults::boolForKey("/vantor/ads/use_https").value_or(true)) result["force_https"] = "1";
  if (auto fingerprint = contentFingerprint(telemetry.get())) {
    result["content_info"] = ordered_json{{"fingerprint", std::move(*fingerprint)}, {"v", 1}};
  }
  if (const auto keyDelegate = adKeyDelegate()) {
    if (auto hierarchy = keyDelegate->viewHierarchyInformationForSlot(*this); hierarchy && hierarchy->is_object()) {
      result["view_hierarchy"] = std::move(*hierarchy);
    }
  }
  if (auto experiments = experimentIDString()) {
    result["eid"] = std::move(*experiments);
  }
  if (ZUMUserDefaults::boolForKey("/vantor/ads/prefetch_enabled").value_or(false)) result["_forcePrefetch"] = "1";
  // Without a crash reporter installed, crash reporting is off.
  if (!(telemetry && telemetry->crashReportingEnabled())) result["cre"] = "0";
  if (const auto location = ZUMLocationService::sharedInstance()->location()) {
    if (auto uule = location->dictionaryRepresentation()) result["uule"] = std::move(*uule);
  }
  result["sai"] = ZUMStringFromBOOL(ZUMUserDefaults::boolForKey("/vantor/ads/zums:sai:enabled").value_or(false));

  if (telemetry && telemetry->addAnalyticsIdentifiers(result)) {
    if (const auto adEventID = ZUMStringForKey(result, "lvn_aeid")) {
      telemetry->logAnalyticsEvent("_aq", *adEventID);
    }
  }

  if (auto caps = platform::UserDefaults::standard().objectForKey("/vantor/ads/zums:sdk_core_constants:caps")) {
    result["extra_caps"] = std::move(*caps);
  }
  return result;
}
