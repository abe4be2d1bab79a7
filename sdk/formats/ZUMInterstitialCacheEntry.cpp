#include "sdk/formats/ZUMInterstitialCacheEntry.h"

#include <string_view>
#include <utility>

#include "ZUMInterstitial.h"
#include "ZUMRequest.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr const char* kLoadTiming = "cache:load";
constexpr const char* kFailTiming = "cache:fail";
constexpr const char* kPopTiming = "cache:pop";
constexpr const char* kDiscardTiming = "cache:discard";
constexpr const char* kCacheOrigin = "cache";

// Each comma-separated part of `ids` becomes an experiment id of the beacon.
void addExperimentIDs(ZUMCSITimeRecorder& recorder, std::string_view ids) {
  for (std::string_view::size_type start = 0;;) {
    const auto comma = ids.find(',', start);
    recorder.addExperimentID(std::string(ids.substr(start, comma - start)));
    if (comma == std::string_view::npos) return;
    start = comma + 1;
  }
}

// Ends one of two rival timings and drops the other.
void endTiming(ZUMCSITimeRecorder& recorder, const char* ended, const char* cancelled) {
  recorder.endTimingVariableWithName(ended);
  recorder.cancelTimingVariableWithName(cancelled);
}

}  // namespace

std::shared_ptr<ZUMInterstitialCacheEntry> ZUMInterstitialCacheEntry::create(const std::shared_ptr<ZUMRequest>& request,
                                                                             const std::string& adUnitID) {
  platform::assertMainThread();
  auto recorder = ZUMCSITimeRecorder::create(kZUMInterstitialCacheEntryAction);
  recorder->setCustomizedParameterValue(ZUMRequest::sdkVersion(), "sdkVersion");
  for (const char* name : {kLoadTiming, kFailTiming, kPopTiming, kDiscardTiming}) {
    recorder->startTimingVariableWithName(name);
  }
  auto slot = ZUMSlot::create(ZUMDevice::sharedInstance()->standardizedOrientedScreenBounds());
  std::shared_ptr<ZUMInterstitialCacheEntry> entry(new ZUMInterstitialCacheEntry(std::move(recorder), slot));
  slot->setSlotDelegate(entry);
  slot->setAdLoadDelegate(entry);
  slot->setAdResponseDelegate(entry);
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView())) adView->configureAsInterstitialAdView();
  slot->setAdUnitID(adUnitID);
  entry->load(request);
  return entry;
}

ZUMInterstitialCacheEntry::ZUMInterstitialCacheEntry(std::shared_ptr<ZUMCSITimeRecorder> recorder,
                                                     std::shared_ptr<ZUMSlot> slot)
    : timeRecorder_(std::move(recorder)), slot_(std::move(slot)) {}

ZUMInterstitialCacheEntry::~ZUMInterstitialCacheEntry() {
  // A slot an interstitial took is its own now; an untaken one is torn down. Either way
  // the entry's hold on it ends on the main thread, whichever thread let the entry go.
  if (taken_) {
    ZUMReleaseOnMainThread(std::move(slot_));
  } else {
    ZUMInterstitial::releaseSlot(std::move(slot_));
  }
  if (auto recorder = takeTimeRecorder()) {
    endTiming(*recorder, kDiscardTiming, kPopTiming);
    ZUMRunOnMainThread([recorder = std::move(recorder)] { sendCSIPingForTimeRecorder(recorder); });
  }
}

void ZUMInterstitialCacheEntry::load(const std::shared_ptr<ZUMRequest>& request) {
  auto copy = request ? request->copy() : ZUMRequest::create();
  copy->setOrigin(kCacheOrigin);
  // The slot's own "eid", which its request parameters carry.
  if (auto ids = ZUMSlot::experimentIDString()) addExperimentIDs(*timeRecorder_, *ids);
  slot_->loadRequest(copy);
}

std::shared_ptr<ZUMCSITimeRecorder> ZUMInterstitialCacheEntry::takeTimeRecorder() {
  std::lock_guard lock(recorderMutex_);
  return std::exchange(timeRecorder_, nullptr);
}

void ZUMInterstitialCacheEntry::slotDidMoveToPlacement() {
  platform::assertMainThread();
  taken_ = true;
  auto recorder = takeTimeRecorder();
  if (!recorder) return;
  endTiming(*recorder, kPopTiming, kDiscardTiming);
  sendCSIPingForTimeRecorder(recorder);
}

void ZUMInterstitialCacheEntry::sendCSIPingForTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder) {
  if (!recorder) return;
  if (auto reporter = ZUMCSIReporter::create(ZUMCSIConfiguration::defaultConfiguration())) {
    reporter->reportTimeRecorder(recorder, {});
  }
}

// --- Slot callbacks ----------------------------------------------------------------------------

std::optional<bool> ZUMInterstitialCacheEntry::slotShouldLoadRequest(ZUMSlot&, const std::shared_ptr<ZUMRequest>&,
                                                                     platform::ErrorPtr*) {
  return true;
}

void ZUMInterstitialCacheEntry::slotFinishedLoadingAdContent(ZUMSlot& slot) {
  if (&slot != slot_.get()) return;
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMInterstitialCacheEntry::didLoad));
}

void ZUMInterstitialCacheEntry::slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) {
  if (&slot != slot_.get()) return;
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMInterstitialCacheEntry::didFail, error));
}

void ZUMInterstitialCacheEntry::didLoad() {
  loaded_ = true;
  std::lock_guard lock(recorderMutex_);
  if (timeRecorder_) endTiming(*timeRecorder_, kLoadTiming, kFailTiming);
}

void ZUMInterstitialCacheEntry::didFail(const platform::ErrorPtr& error) {
  error_ = error;
  std::lock_guard lock(recorderMutex_);
  if (timeRecorder_) endTiming(*timeRecorder_, kFailTiming, kLoadTiming);
}

bool ZUMInterstitialCacheEntry::slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad,
                                                            platform::ErrorPtr* error) {
  return ZUMInterstitial::canProcessAdResponse(ad, error);
}

void ZUMInterstitialCacheEntry::slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) {
  if (ad) ad->setMediationDelegate(shared_from_this());
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMInterstitialCacheEntry::mediationConnectorForConfiguration(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  return ZUMMAdNetworkConnectorInterstitial::create(config, networkConfig);
}
