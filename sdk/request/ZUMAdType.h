// The format a slot loads: a banner of an ad size, an interstitial, or a reward-based
// video ad (the last two carry the invalid ad size). Slots, ad loaders, formats and
// mediation compare and print ad types.
//
// A value holder without a lock. isValid() resolves the size against the screen and
// belongs on the main thread; everything else may be used on any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "ZUMAdSize.h"

class ZUMAdType {
 public:
  // `initWithAdSize:`: a banner type of that size.
  static std::shared_ptr<ZUMAdType> create(const ZUMAdSize& adSize);
  static std::shared_ptr<ZUMAdType> createForInterstitial();
  static std::shared_ptr<ZUMAdType> createForRewardBasedVideoAd();
  static std::shared_ptr<ZUMAdType> bannerAdTypeForSize(const ZUMAdSize& adSize) { return create(adSize); }
  static std::shared_ptr<ZUMAdType> interstitialAdType() { return createForInterstitial(); }

  const ZUMAdSize& adSize() const { return adSize_; }
  void setAdSize(const ZUMAdSize& adSize) { adSize_ = adSize; }
  bool isInterstitial() const { return interstitial_; }
  bool isRewardBasedVideoAd() const { return rewardBasedVideo_; }

  // The same object; two interstitial types; else equal ad sizes (flags, width and
  // height). nullptr is never equal.
  bool isEqual(const ZUMAdType* other) const;
  bool isEqual(const std::shared_ptr<ZUMAdType>& other) const { return isEqual(other.get()); }
  // 1 for an interstitial; else the hash of the text "{width, height} flags".
  std::size_t hash() const;
  // An interstitial is valid; a banner when its ad size is (ZUMIsAdSizeValid).
  bool isValid() const;
  // "ZUMAdType interstitial type" or "ZUMAdType banner with size: 320x50".
  std::string description() const;

  explicit ZUMAdType(const ZUMAdSize& adSize) : adSize_(adSize) {}

 private:
  ZUMAdSize adSize_;
  bool interstitial_ = false;
  bool rewardBasedVideo_ = false;
};
