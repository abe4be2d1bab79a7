#include "platform/ui/TelephonyNetworkInfo.h"

namespace platform {

TelephonyNetworkInfo& TelephonyNetworkInfo::shared() {
  static TelephonyNetworkInfo* info = new TelephonyNetworkInfo();
  return *info;
}

std::optional<TelephonyNetworkInfo::Carrier> TelephonyNetworkInfo::subscriberCellularProvider() const {
  std::lock_guard lock(mutex_);
  return carrier_;
}

std::optional<std::string> TelephonyNetworkInfo::currentRadioAccessTechnology() const {
  std::lock_guard lock(mutex_);
  return radio_;
}

void TelephonyNetworkInfo::setSubscriberCellularProvider(std::optional<Carrier> carrier) {
  std::lock_guard lock(mutex_);
  carrier_ = std::move(carrier);
}

void TelephonyNetworkInfo::setCurrentRadioAccessTechnology(std::optional<std::string> technology) {
  std::lock_guard lock(mutex_);
  radio_ = std::move(technology);
}

}  // namespace platform
