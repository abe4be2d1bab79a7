#include "sdk/request/ZUMAdType.h"

#include <functional>

#include "platform/base/StringConversions.h"

std::shared_ptr<ZUMAdType> ZUMAdType::create(const ZUMAdSize& adSize) { return std::make_shared<ZUMAdType>(adSize); }

std::shared_ptr<ZUMAdType> ZUMAdType::createForInterstitial() {
  auto type = create(kZUMAdSizeInvalid);
  type->interstitial_ = true;
  return type;
}

std::shared_ptr<ZUMAdType> ZUMAdType::createForRewardBasedVideoAd() {
  auto type = create(kZUMAdSizeInvalid);
  type->rewardBasedVideo_ = true;
  return type;
}

bool ZUMAdType::isEqual(const ZUMAdType* other) const {
  if (other == this) return true;
  if (!other) return false;
  if (interstitial_ && other->interstitial_) return true;
  return ZUMAdSizeEqualToSize(adSize_, other->adSize_);
}

std::size_t ZUMAdType::hash() const {
  if (interstitial_) return 1;
  const std::string text = "{" + platform::doubleString(adSize_.size.width) + ", " +
                           platform::doubleString(adSize_.size.height) + "} " + platform::unsignedString(adSize_.flags);
  return std::hash<std::string>{}(text);
}

bool ZUMAdType::isValid() const { return interstitial_ || ZUMIsAdSizeValid(adSize_); }

std::string ZUMAdType::description() const {
  if (interstitial_) return "ZUMAdType interstitial type";
  return "ZUMAdType banner with size: " + ZUMAdSizeDescription(adSize_);
}
