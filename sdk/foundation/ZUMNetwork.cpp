#include "sdk/foundation/ZUMNetwork.h"

#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/Reachability.h"
#include "platform/ui/TelephonyNetworkInfo.h"

using nlohmann::ordered_json;

namespace {

int linkCode(platform::Reachability::Status status) {
  switch (status) {
    case platform::Reachability::Status::ReachableViaWiFi:
      return 1;
    case platform::Reachability::Status::ReachableViaWWAN:
      return 2;
    case platform::Reachability::Status::NotReachable:
      break;
  }
  return 0;
}

const char* linkName(platform::Reachability::Status status) {
  switch (status) {
    case platform::Reachability::Status::ReachableViaWiFi:
      return "wifi";
    case platform::Reachability::Status::ReachableViaWWAN:
      return "cell";
    case platform::Reachability::Status::NotReachable:
      break;
  }
  return "none";
}

// "CTRadioAccessTechnologyLTE" -> "LTE"; other names as they are.
std::string radioName(const std::string& technology) {
  constexpr std::string_view kPrefix = "CTRadioAccessTechnology";
  if (technology.size() > kPrefix.size() && technology.compare(0, kPrefix.size(), kPrefix) == 0) {
    return technology.substr(kPrefix.size());
  }
  return technology;
}

}  // namespace

std::shared_ptr<ZUMNetwork> ZUMNetwork::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMNetwork>([] {
    auto network = std::make_shared<ZUMNetwork>();
    network->start();
    return network;
  });
  return shared->get();
}

ZUMNetwork::ZUMNetwork()
    : queue_(platform::DispatchQueue::serial("com.vantor.morvane.network")),
      lastLink_(linkCode(platform::Reachability::shared().status())) {}

ZUMNetwork::~ZUMNetwork() {
  if (reachabilityToken_) platform::Reachability::shared().removeObserver(reachabilityToken_);
}

void ZUMNetwork::start() {
  std::weak_ptr<ZUMNetwork> weak = weak_from_this();
  reachabilityToken_ = platform::Reachability::shared().addObserver([weak](platform::Reachability::Status status) {
    auto self = weak.lock();
    if (!self) return;
    const int code = linkCode(status);
    self->queue_->async([self, code] { self->lastLink_ = code; });
  });
}

ordered_json ZUMNetwork::requestDictionary() const {
  const auto status = platform::Reachability::shared().status();
  ordered_json dictionary = ordered_json::object();
  dictionary["net"] = linkName(status);
  dictionary["net_last"] = queue_->syncResult([&] { return lastLink_; });
  auto& telephony = platform::TelephonyNetworkInfo::shared();
  if (auto radio = telephony.currentRadioAccessTechnology(); radio && !radio->empty()) {
    dictionary["radio"] = radioName(*radio);
  }
  if (auto carrier = telephony.subscriberCellularProvider()) {
    if (!carrier->mobileCountryCode.empty()) dictionary["mcc"] = carrier->mobileCountryCode;
    if (!carrier->mobileNetworkCode.empty()) dictionary["mnc"] = carrier->mobileNetworkCode;
    if (!carrier->isoCountryCode.empty()) dictionary["carrier_country"] = carrier->isoCountryCode;
  }
  return dictionary;
}

std::string ZUMNetwork::userAgentString() const {
  return queue_->syncResult([&] { return userAgent_; });
}

void ZUMNetwork::setUserAgentString(const std::string& userAgent) {
  if (userAgent.empty()) return;
  queue_->async([self = shared_from_this(), userAgent] { self->userAgent_ = userAgent; });
}
