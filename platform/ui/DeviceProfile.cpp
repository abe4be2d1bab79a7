#include "platform/ui/DeviceProfile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/base/Locale.h"
#include "platform/ui/AdvertisingIdentifierManager.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/Device.h"
#include "platform/ui/LocationManager.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/MessageComposeViewController.h"
#include "platform/ui/MotionManager.h"
#include "platform/ui/Reachability.h"
#include "platform/ui/TelephonyNetworkInfo.h"

namespace platform {

namespace {

using Json = nlohmann::ordered_json;

const Json* member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

template <class F>
void withString(const Json& object, const char* key, F&& f) {
  if (const Json* v = member(object, key); v && v->is_string()) f(v->get<std::string>());
}

template <class F>
void withBool(const Json& object, const char* key, F&& f) {
  if (const Json* v = member(object, key); v && v->is_boolean()) f(v->get<bool>());
}

template <class F>
void withFinite(const Json& object, const char* key, F&& f) {
  if (const Json* v = member(object, key); v && v->is_number()) {
    const double d = v->get<double>();
    if (std::isfinite(d)) f(d);
  }
}

void applyCarrier(const Json& profile) {
  const Json* carrier = member(profile, "carrier");
  if (!carrier) return;
  if (carrier->is_null()) {
    TelephonyNetworkInfo::shared().setSubscriberCellularProvider(std::nullopt);
    return;
  }
  if (!carrier->is_object()) return;
  TelephonyNetworkInfo::Carrier c;
  withString(*carrier, "name", [&](std::string s) { c.carrierName = std::move(s); });
  withString(*carrier, "mobileCountryCode", [&](std::string s) { c.mobileCountryCode = std::move(s); });
  withString(*carrier, "mobileNetworkCode", [&](std::string s) { c.mobileNetworkCode = std::move(s); });
  withString(*carrier, "isoCountryCode", [&](std::string s) { c.isoCountryCode = std::move(s); });
  withBool(*carrier, "allowsVOIP", [&](bool b) { c.allowsVOIP = b; });
  TelephonyNetworkInfo::shared().setSubscriberCellularProvider(c);
}

void applyAudio(const Json& profile) {
  const Json* audio = member(profile, "audio");
  if (!audio || !audio->is_object()) return;
  auto& session = AudioSession::shared();
  withFinite(*audio, "outputVolume",
             [&](double v) { session.setOutputVolume(static_cast<float>(std::clamp(v, 0.0, 1.0))); });
  if (const Json* names = member(*audio, "outputPortNames")) {
    if (names->is_null()) {
      session.setCurrentRouteOutputPortNames(std::nullopt);
    } else if (names->is_array()) {
      std::vector<std::string> list;
      for (const auto& n : *names) {
        if (n.is_string()) list.push_back(n.get<std::string>());
      }
      session.setCurrentRouteOutputPortNames(std::move(list));
    }
  }
  withBool(*audio, "otherAudioPlaying", [&](bool b) { session.setOtherAudioPlaying(b); });
  if (const Json* hint = member(*audio, "secondaryAudioShouldBeSilenced")) {
    if (hint->is_null()) session.setSecondaryAudioShouldBeSilencedHint(std::nullopt);
    if (hint->is_boolean()) session.setSecondaryAudioShouldBeSilencedHint(hint->get<bool>());
  }
  // An unknown category leaves the session's as it is, as a value of the wrong type does.
  withString(*audio, "category", [&](const std::string& s) { static_cast<void>(session.setCategory(s)); });
}

void applyLocation(const Json& profile) {
  const Json* location = member(profile, "location");
  if (!location || !location->is_object()) return;
  withBool(*location, "servicesEnabled", [](bool b) { LocationManager::setLocationServicesEnabled(b); });
  withFinite(*location, "authorizationStatus", [](double d) {
    if (d >= 0 && d <= 4 && d == std::floor(d)) {
      LocationManager::setAuthorizationStatus(static_cast<LocationAuthorizationStatus>(static_cast<int>(d)));
    }
  });
  const Json* lat = member(*location, "latitude");
  const Json* lon = member(*location, "longitude");
  if (lat && lon && lat->is_number() && lon->is_number()) {
    Location fix;
    fix.latitude = lat->get<double>();
    fix.longitude = lon->get<double>();
    if (!std::isfinite(fix.latitude) || !std::isfinite(fix.longitude) || std::fabs(fix.latitude) > 90 ||
        std::fabs(fix.longitude) > 180) {
      return;
    }
    fix.horizontalAccuracy = 10;
    withFinite(*location, "accuracy", [&](double d) { fix.horizontalAccuracy = d; });
    fix.timestamp = clock().wallNow();
    LocationManager::setDeviceLocation(fix);
  }
}

// "motion": {"available": true, "attitude": [m11, m12, m13, m21, ..., m33]}: an attitude
// of anything but nine finite numbers is ignored.
void applyMotion(const Json& profile) {
  const Json* motion = member(profile, "motion");
  if (!motion || !motion->is_object()) return;
  withBool(*motion, "available", [](bool b) { MotionManager::setDeviceMotionAvailable(b); });
  const Json* attitude = member(*motion, "attitude");
  if (!attitude || !attitude->is_array() || attitude->size() != 9) return;
  RotationMatrix matrix;
  for (std::size_t i = 0; i < 9; ++i) {
    const Json& v = (*attitude)[i];
    if (!v.is_number()) return;
    matrix.m[i / 3][i % 3] = v.get<double>();
  }
  static_cast<void>(MotionManager::setAttitudeRotationMatrix(matrix));
}

}  // namespace

bool DeviceProfile::apply(const Json& profile) {
  if (!profile.is_object()) return false;

  auto& ads = AdvertisingIdentifierManager::shared();
  withString(profile, "advertisingIdentifier", [&](std::string s) { ads.setAdvertisingIdentifier(std::move(s)); });
  withBool(profile, "advertisingTrackingEnabled", [&](bool b) { ads.setAdvertisingTrackingEnabled(b); });

  applyCarrier(profile);
  if (const Json* radio = member(profile, "radioAccessTechnology")) {
    if (radio->is_null()) TelephonyNetworkInfo::shared().setCurrentRadioAccessTechnology(std::nullopt);
    if (radio->is_string()) TelephonyNetworkInfo::shared().setCurrentRadioAccessTechnology(radio->get<std::string>());
  }
  withString(profile, "reachability", [](const std::string& s) {
    if (s == "wifi") Reachability::shared().setStatus(Reachability::Status::ReachableViaWiFi);
    if (s == "wwan") Reachability::shared().setStatus(Reachability::Status::ReachableViaWWAN);
    if (s == "none") Reachability::shared().setStatus(Reachability::Status::NotReachable);
  });

  auto& device = Device::current();
  withString(profile, "model", [&](std::string s) { device.setModel(std::move(s)); });
  withString(profile, "systemName", [&](std::string s) { device.setSystemName(std::move(s)); });
  withString(profile, "systemVersion", [&](std::string s) { device.setSystemVersion(std::move(s)); });
  withString(profile, "hardwareModel", [&](std::string s) { device.setHardwareModel(std::move(s)); });
  withString(profile, "localeIdentifier", [](std::string s) { Locale::setCurrentLocaleIdentifier(std::move(s)); });
  withString(profile, "idiom", [&](const std::string& s) {
    if (s == "phone") device.setUserInterfaceIdiom(Device::UserInterfaceIdiom::Phone);
    if (s == "pad") device.setUserInterfaceIdiom(Device::UserInterfaceIdiom::Pad);
  });
  withBool(profile, "simulator", [&](bool b) { device.setSimulator(b); });
  withBool(profile, "canSendMail", [](bool b) { MailComposeViewController::setCanSendMail(b); });
  withBool(profile, "canSendText", [](bool b) { MessageComposeViewController::setCanSendText(b); });

  applyAudio(profile);
  applyLocation(profile);
  applyMotion(profile);
  return true;
}

bool DeviceProfile::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  const auto parsed = Json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) return false;
  return apply(parsed);
}

}  // namespace platform
