// The banner's ad size, frame and bounds, kept in step with the slot's ad type. Every
// change from outside (the host's size, frame or bounds, the page's content size) ends in
// setAdSize(size, reload), which alone sets the frame: one pass, never a loop.
#include "ZUMBannerView.h"

#include <cmath>

#include "ZUMAdSizeDelegate.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"

namespace {

// Beyond any screen: a side above it is no size a banner can take.
constexpr double kMaximumSide = 100000;

constexpr const char* kInvalidSizeText = "Invalid ad size.";

bool isSaneSide(double side) { return std::isfinite(side) && side >= 0 && side <= kMaximumSide; }

// Sizes from hosts and pages are untrusted: NaN, infinities, negative and huge sides never
// reach a frame or the rounding below. The invalid size stays what it is, for validation
// to name.
bool isSaneSize(const ZUMAdSize& size) {
  return ZUMAdSizeEqualToSize(size, kZUMAdSizeInvalid) || (isSaneSide(size.size.width) && isSaneSide(size.size.height));
}

void refuseSize(const std::string& reason) {
  ZUMLogger::sharedInstance()->logPublicMessage("Unable to set adSize property. " + reason);
}

}  // namespace

ZUMAdSize ZUMBannerView::adSize() const {
  const auto type = slot_ ? slot_->adType() : nullptr;
  return type ? type->adSize() : kZUMAdSizeInvalid;
}

void ZUMBannerView::setAdSize(ZUMAdSize size) {
  platform::assertMainThread();
  if (!isSaneSize(size)) {
    refuseSize(kInvalidSizeText);
    return;
  }
  const ZUMAdSize old = adSize();
  const bool sizeChanged = std::round(old.size.width) != std::round(size.size.width) ||
                           std::round(old.size.height) != std::round(size.size.height);
  const bool zeroSide = std::round(size.size.width) == 0 || std::round(size.size.height) == 0;
  const bool flagsChanged = old.flags != size.flags;
  if (ZUMAdSizeIsFluid(size) && size.size == platform::Size{0, 0}) {
    const platform::Rect shown = bounds().standardized();
    size = ZUMFluidAdSizeWithSize(shown.width(), shown.height());
  }
  const bool reload = (sizeChanged && !ZUMAdSizeIsFluid(size)) || (flagsChanged && zeroSide);
  setAdSize(size, reload);
}

ZUMImplemented ZUMBannerView::setAdSize(const ZUMAdSize& size, bool reload) {
  platform::assertMainThread();
  if (!hasInitialized_) return kZUMImplemented;
  // Every slot starts with the interstitial type, which has no banner size: only a banner
  // type of the same size leaves the size unchanged, so a banner made with the invalid
  // size is validated (and refused) like any other.
  const auto type = slot_ ? slot_->adType() : nullptr;
  const bool bannerType = type && !type->isInterstitial() && !type->isRewardBasedVideoAd();
  if (bannerType && ZUMAdSizeEqualToSize(size, type->adSize())) return kZUMImplemented;
  platform::ErrorPtr error;
  if (!isSaneSize(size)) {
    refuseSize(kInvalidSizeText);
    return kZUMImplemented;
  }
  if (!ZUMValidateAdSize(size, &error)) {
    refuseSize(error ? error->localizedDescription() : kInvalidSizeText);
    return kZUMImplemented;
  }
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView()))
    adView->setIsFluidAdView(ZUMAdSizeIsFluid(size));
  setAdSizeAndReloadWasCalled_ = true;
  setFrame({frame().origin, ZUMCGSizeFromAdSize(size)});
  setAdSizeAndReloadWasCalled_ = false;  // also when the frame was refused
  slot_->setAdType(ZUMAdType::bannerAdTypeForSize(size), reload);
  invalidateIntrinsicContentSize();
  if (rootAdView_) rootAdView_->setNeedsLayout();
  return kZUMImplemented;
}

void ZUMBannerView::setFrame(const platform::Rect& frame) {
  const platform::Size size = frame.standardized().size;
  if (!setAdSizeAndReloadWasCalled_ && hasInitialized_ && size != ZUMCGSizeFromAdSize(adSize())) {
    setAdSizeFromExternalCGSize(size);
    return;
  }
  platform::View::setFrame(frame);
  layoutRootAdView();
  setAdSizeAndReloadWasCalled_ = false;
}

void ZUMBannerView::setBounds(const platform::Rect& bounds) {
  const platform::Size size = bounds.standardized().size;
  if (hasInitialized_ && !(isSaneSide(size.width) && isSaneSide(size.height))) {
    refuseSize(kInvalidSizeText);  // before the bounds take it, not after
    return;
  }
  platform::View::setBounds(bounds);
  if (hasInitialized_) setAdSizeFromExternalCGSize(bounds.standardized().size);
}

void ZUMBannerView::setAdSizeFromExternalCGSize(platform::Size size) {
  const ZUMAdSize current = adSize();
  if (ZUMAdSizeIsFluid(current)) {
    setAdSize(ZUMFluidAdSizeWithSize(size.width, current.size.height));
  } else {
    setAdSize(ZUMAdSizeFromSize(size));
  }
}

platform::Size ZUMBannerView::intrinsicContentSize() const {
  const ZUMAdSize current = adSize();
  platform::Size size = ZUMCGSizeFromAdSize(current);
  if (ZUMAdSizeIsFluid(current)) size.width = platform::kViewNoIntrinsicMetric;
  return size;
}

ZUMImplemented ZUMBannerView::slotContentSizeDidChange(ZUMSlot&, const platform::Size& size) {
  platform::assertMainThread();
  if (!ZUMAdSizeIsFluid(adSize())) return kZUMImplemented;
  const ZUMAdSize candidate = ZUMFluidAdSizeWithSize(size.width, size.height);
  if (!isSaneSize(candidate)) {
    refuseSize(kInvalidSizeText);
    return kZUMImplemented;
  }
  if (ZUMAdSizeEqualToSize(candidate, adSize())) return kZUMImplemented;
  if (auto delegate = adSizeDelegate()) delegate->adViewWillChangeAdSizeTo(*this, candidate);
  setAdSize(candidate);
  return kZUMImplemented;
}

// --- Layout --------------------------------------------------------------------------------------

void ZUMBannerView::layoutSubviews() {
  platform::View::layoutSubviews();
  layoutRootAdView();
}

ZUMImplemented ZUMBannerView::layoutSubviewsIfNeeded() {
  layoutRootAdView();
  return kZUMImplemented;
}

void ZUMBannerView::layoutRootAdView() {
  // A mediated network's view stays where its adapter put it.
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(rootAdView_);
  if (!adView) return;
  const platform::Rect shown = bounds().standardized();
  const platform::Size response = adView->adResponseSize();
  if (response == platform::Size{0, 0}) {
    adView->setFrame(shown);
    return;
  }
  adView->setFrame({{0, 0}, response});
  adView->setCenter({shown.midX(), shown.midY()});
}
