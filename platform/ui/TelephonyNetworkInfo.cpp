#include "platform/ui/TelephonyNetworkInfo.h"

#include "platform/base/TestingReset.h"

namespace platform {

TelephonyNetworkInfo& TelephonyNetworkInfo::shared() {
  static TelephonyNetworkInfo* info = [] {
    auto* made = new TelephonyNetworkInfo();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~TelephonyNetworkInfo();
      new (made) TelephonyNetworkInfo();
    });
    return made;
  }();
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
