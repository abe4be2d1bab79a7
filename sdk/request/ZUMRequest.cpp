#include "ZUMRequest.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include <nlohmann/json.hpp>

#include "PXRRequest.h"
#include "ZUMDynamicHeightSearchRequest.h"
#include "ZUMExtras.h"
#include "ZUMSearchRequest.h"
#include "platform/base/CivilDate.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StringConversions.h"
#include "platform/base/TestingReset.h"
#include "platform/base/WhiteSpace.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLocation.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"

using json = nlohmann::ordered_json;

namespace {

constexpr double kSecondsPerDay = 86400.0;

std::atomic<bool> validAdSizesSetterUsed{false};
std::atomic<bool> resizeUsed{false};
std::atomic<bool> classInitialized{false};
// Each test starts as a fresh process would.
[[maybe_unused]] const bool kFlagsReset = platform::resetBetweenTests(validAdSizesSetterUsed, false) &&
                                          platform::resetBetweenTests(resizeUsed, false) &&
                                          platform::resetBetweenTests(classInitialized, false);

// The first use of the class starts the hub's early activities, once. The flag is set
// before they run, so a request made while they run does not start them again.
void initializeClass() {
  if (classInitialized.exchange(true)) return;
  ZUMRunOnMainThread([] { ZUMApplication::sharedInstance()->runEarlyActivities(); });
}

// The request classes that parameters may name, registered on first need.
void registerRequestClasses() {
  static auto* once = new platform::ResettableOnceFlag();
  once->call([] {
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<ZUMRequest>(ZUMRequest::kClassName, [] { return ZUMRequest::create(); });
    registry.registerClass<ZUMRequest>(PXRRequest::kClassName,
                                       []() -> std::shared_ptr<ZUMRequest> { return PXRRequest::create(); });
    registry.registerClass<ZUMRequest>(ZUMSearchRequest::kClassName,
                                       []() -> std::shared_ptr<ZUMRequest> { return ZUMSearchRequest::create(); });
    registry.registerClass<ZUMRequest>(ZUMDynamicHeightSearchRequest::kClassName, []() -> std::shared_ptr<ZUMRequest> {
      return ZUMDynamicHeightSearchRequest::create();
    });
  });
}

std::unique_ptr<json> keepIf(std::optional<json> value, bool (json::*kind)() const noexcept) {
  if (!value || !((*value).*kind)()) return nullptr;
  return std::make_unique<json>(std::move(*value));
}

std::optional<json> valueOf(const std::unique_ptr<json>& value) {
  if (!value) return std::nullopt;
  return *value;
}

// Dates far outside any birthday are refused before they reach integer arithmetic.
constexpr double kLargestDate = 1e13;  // about 300 000 years either side of 1970

// "yyyyMMdd", strictly: eight digits of an existing date.
std::optional<platform::TimeInterval> dateFromBirthdayString(std::string_view text) {
  if (text.size() != 8) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  auto number = [&](std::size_t from, std::size_t count) {
    std::int64_t result = 0;
    for (std::size_t i = from; i < from + count; ++i) result = result * 10 + (text[i] - '0');
    return result;
  };
  const std::int64_t y = number(0, 4), m = number(4, 2), d = number(6, 2);
  if (m < 1 || m > 12 || d < 1 || d > platform::daysInMonth(y, m)) return std::nullopt;
  return static_cast<double>(platform::daysFromCivil({y, m, d})) * kSecondsPerDay;
}

std::optional<std::string> birthdayText(std::optional<platform::TimeInterval> birthday) {
  if (!birthday || !std::isfinite(*birthday) || std::fabs(*birthday) > kLargestDate) return std::nullopt;
  const auto date = platform::civilFromDays(static_cast<std::int64_t>(std::floor(*birthday / kSecondsPerDay)));
  char buffer[80];  // room for any 64-bit fields, as the optimiser checks
  std::snprintf(buffer, sizeof buffer, "%04lld%02lld%02lld", static_cast<long long>(date.year),
                static_cast<long long>(date.month), static_cast<long long>(date.day));
  return std::string(buffer);
}

std::string dateDescription(platform::TimeInterval date) {
  if (!std::isfinite(date) || std::fabs(date) > kLargestDate) return platform::doubleString(date);
  const auto seconds = static_cast<std::int64_t>(std::floor(date));
  std::int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    days -= 1;
  }
  const auto civil = platform::civilFromDays(days);
  char buffer[160];  // room for any 64-bit fields, as the optimiser checks
  std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld +0000",
                static_cast<long long>(civil.year), static_cast<long long>(civil.month),
                static_cast<long long>(civil.day), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return buffer;
}

}  // namespace

// --- Process-wide flags and the request signal ------------------------------------------

void ZUMNoteValidAdSizesSetterUsed() { validAdSizesSetterUsed = true; }
void ZUMNoteResizeUsed() { resizeUsed = true; }

// --- ZUMRequest -------------------------------------------------------------------------

struct ZUMRequest::Values {
  std::unique_ptr<json> testDevices;
  std::unique_ptr<json> keywords;
  std::unique_ptr<json> customTargeting;
  std::unique_ptr<json> privateMediationExtras;
  std::unique_ptr<json> formatParameters;
  std::unique_ptr<json> adConfigurationParameters;
};

ZUMRequest::ZUMRequest() : values_(std::make_unique<Values>()), origin_("pub") { initializeClass(); }

ZUMRequest::~ZUMRequest() = default;

std::shared_ptr<ZUMRequest> ZUMRequest::create() { return std::shared_ptr<ZUMRequest>(new ZUMRequest()); }

std::shared_ptr<ZUMRequest> ZUMRequest::createWithParameters(const json& parameters) {
  return createWithParameters([] { return create(); }, parameters);
}

std::shared_ptr<ZUMRequest> ZUMRequest::createWithParameters(const std::function<std::shared_ptr<ZUMRequest>()>& make,
                                                             const json& parameters) {
  std::shared_ptr<ZUMRequest> request = make();
  const json* properties = ZUMJSONValueForKey(parameters, "_request_object_properties");
  auto className = properties ? ZUMJSONStringForKey(*properties, "class") : std::nullopt;
  if (className && *className != request->className()) {
    registerRequestClasses();
    if (auto named = platform::ClassRegistry::shared().create<ZUMRequest>(*className)) {
      request = std::move(named);
    }
  }
  request->readParameters(parameters);
  return request;
}

const std::string& ZUMRequest::sdkVersion() {
  initializeClass();
  static const std::string version = kZUMSDKVersion;
  return version;
}

std::string ZUMRequest::extendedSDKVersionNumber() {
  static constexpr const char* kPreReleaseLabel = "rc.1";
  static constexpr const char* kBuildLabel = "0";
  std::string result = sdkVersion();
  if (*kPreReleaseLabel) result += std::string("-") + kPreReleaseLabel;
  if (*kBuildLabel) result += std::string("+") + kBuildLabel;
  return result;
}

std::int64_t ZUMRequest::requestTypeFromString(std::string_view name) {
  initializeClass();
  if (name == "morvane") return 2;
  if (name == "vrk") return 3;
  if (name == "quistel") return 1;
  return 0;
}

std::shared_ptr<ZUMRequest> ZUMRequest::copy() const {
  auto result = create();
  copyInto(*result);
  return result;
}

void ZUMRequest::copyInto(ZUMRequest& copy) const {
  copy.networkExtras_ = networkExtras_;
  copy.setTestDevices(testDevices());
  copy.setFormatParameters(formatParameters());
  copy.setPrivateMediationExtras(privateMediationExtras());
  copy.setGender(gender());
  copy.setBirthday(birthday());
  copy.setLocation(location());
  copy.setKeywords(keywords());
  copy.setChildDirectedTreatment(childDirectedTreatment());
  copy.setContentURL(contentURL());
  copy.setResponseType(responseType());
  copy.setRequestAgent(requestAgent());
  copy.setCustomTargeting(customTargeting());
  copy.setAdConfigurationParameters(adConfigurationParameters());
  copy.setOrigin(origin());
  copy.setNativeExpressEnabled(nativeExpressEnabled());
}

std::string ZUMRequest::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::string text = "<" + className() + " " + address + ": ";
  if (gender_ == kZUMGenderMale) text += "\ngender:Male";
  if (gender_ == kZUMGenderFemale) text += "\ngender:Female";
  if (birthday_) text += "\nbirthday:" + dateDescription(*birthday_);
  if (location_) text += "\nlocation:" + location_->description();
  // Host text need not be UTF-8: a strict dump would throw.
  constexpr auto kReplace = json::error_handler_t::replace;
  if (values_->keywords) text += "\nkeywords:" + values_->keywords->dump(-1, ' ', false, kReplace);
  if (auto extras = extrasParameters()) text += "\nadditionalParameters:" + extras->dump(-1, ' ', false, kReplace);
  return text + ">";
}

// --- Network extras -------------------------------------------------------------------

void ZUMRequest::registerAdNetworkExtras(std::shared_ptr<ZUMAdNetworkExtras> extras) {
  if (!extras) {
    ZUMLogger::sharedInstance()->logPublicMessage("Must specify extras for registerAdNetworkExtras:.");
    return;
  }
  networkExtras_[extras->className()] = std::move(extras);
}

std::shared_ptr<ZUMAdNetworkExtras> ZUMRequest::adNetworkExtrasFor(std::string_view className) const {
  auto it = networkExtras_.find(className);
  return it == networkExtras_.end() ? nullptr : it->second;
}

void ZUMRequest::removeAdNetworkExtrasFor(std::string_view className) {
  auto it = networkExtras_.find(className);
  if (it != networkExtras_.end()) networkExtras_.erase(it);
}

std::optional<json> ZUMRequest::extrasParameters() const {
  auto extras = adNetworkExtrasFor<ZUMExtras>();
  return extras ? extras->additionalParameters() : std::nullopt;
}

std::optional<json> ZUMRequest::networkExtrasAdditionalParameters() {
  std::optional<json> result = extrasParameters();
  if (result && ZUMJSONBoolForKey(*result, "_useOnce", false, ZUMJSONStrings::Read)) {
    removeAdNetworkExtrasFor(ZUMExtras::kClassName);
  }
  return result;
}

bool ZUMRequest::cacheable() const {
  for (const auto& [name, extras] : networkExtras_) {
    auto own = name == ZUMExtras::kClassName ? std::dynamic_pointer_cast<ZUMExtras>(extras) : nullptr;
    if (!own || own->hasAd()) return false;
  }
  return true;
}

// --- Targeting ------------------------------------------------------------------------

std::optional<std::string> ZUMRequest::genderString() const {
  if (gender_ == kZUMGenderMale) return "1";
  if (gender_ == kZUMGenderFemale) return "2";
  return std::nullopt;
}

std::optional<std::string> ZUMRequest::birthdayString() const { return birthdayText(birthday_); }

std::optional<std::string> ZUMRequest::contentURLString() const {
  return contentURL_ ? trimmedString(*contentURL_) : std::nullopt;
}

std::optional<std::string> ZUMRequest::trimmedString(std::string_view text) {
  text = platform::trimmingWhitespaceAndNewlines(text);
  if (text.empty()) return std::nullopt;
  return std::string(text);
}

bool ZUMRequest::isATestDevice() const {
  if (!values_->testDevices) return false;
  auto device = ZUMDevice::sharedInstance();
  const std::string current = device->isSimulator() ? std::string(kZUMSimulatorID) : device->deviceIdentifier();
  for (const json& element : *values_->testDevices) {
    if (element.is_string() && !element.get_ref<const std::string&>().empty() &&
        element.get_ref<const std::string&>() == current) {
      return true;
    }
  }
  return false;
}

// --- Properties -----------------------------------------------------------------------

std::optional<json> ZUMRequest::testDevices() const { return valueOf(values_->testDevices); }
void ZUMRequest::setTestDevices(std::optional<json> value) {
  values_->testDevices = keepIf(std::move(value), &json::is_array);
}
std::optional<json> ZUMRequest::keywords() const { return valueOf(values_->keywords); }
void ZUMRequest::setKeywords(std::optional<json> value) {
  values_->keywords = keepIf(std::move(value), &json::is_array);
}
std::optional<json> ZUMRequest::customTargeting() const { return valueOf(values_->customTargeting); }
void ZUMRequest::setCustomTargeting(std::optional<json> value) {
  values_->customTargeting = keepIf(std::move(value), &json::is_object);
}
std::optional<json> ZUMRequest::privateMediationExtras() const { return valueOf(values_->privateMediationExtras); }
void ZUMRequest::setPrivateMediationExtras(std::optional<json> value) {
  values_->privateMediationExtras = keepIf(std::move(value), &json::is_object);
}
std::optional<json> ZUMRequest::formatParameters() const { return valueOf(values_->formatParameters); }
void ZUMRequest::setFormatParameters(std::optional<json> value) {
  values_->formatParameters = keepIf(std::move(value), &json::is_array);
}
std::optional<json> ZUMRequest::adConfigurationParameters() const {
  return valueOf(values_->adConfigurationParameters);
}
void ZUMRequest::setAdConfigurationParameters(std::optional<json> value) {
  values_->adConfigurationParameters = keepIf(std::move(value), &json::is_object);
}

void ZUMRequest::setBirthday(std::optional<platform::TimeInterval> birthday) {
  if (birthday && (!std::isfinite(*birthday) || std::fabs(*birthday) > kLargestDate)) birthday.reset();
  birthday_ = birthday;
}

void ZUMRequest::setBirthdayWithMonth(std::int64_t month, std::int64_t day, std::int64_t year) {
  // Out-of-range components roll over as the calendar does (month 13 is January of the
  // next year, day 0 the last day of the month before); values no birthday could have
  // leave none.
  constexpr std::int64_t kLimit = 100'000'000;
  if (month < -kLimit || month > kLimit || day < -kLimit || day > kLimit || year < -kLimit || year > kLimit) {
    birthday_.reset();
    return;
  }
  const std::int64_t monthIndex = month - 1;
  const std::int64_t yearsCarried = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
  const std::int64_t days =
      platform::daysFromCivil({year + yearsCarried, monthIndex - yearsCarried * 12 + 1, 1}) + (day - 1);
  setBirthday(static_cast<double>(days) * kSecondsPerDay);
}

void ZUMRequest::setLocationWithLatitude(double latitude, double longitude, double accuracy) {
  location_ = ZUMLocation::create(latitude, longitude, accuracy);
}

void ZUMRequest::setLocationWithDescription(std::string description) {
  location_ = ZUMLocation::createWithLocationDescription(std::move(description));
}

// --- Parameters -----------------------------------------------------------------------

json ZUMRequest::threadSafeParameters() const {
  json result = json::object();
  auto hub = ZUMApplication::sharedInstance();
  auto device = ZUMDevice::sharedInstance();

  if (auto adapters = hub->availableAdapterNames(); !adapters.empty()) result["adapters"] = adapters;
  if (auto token = hub->inAppPreviewCreativeToken()) result["gct"] = *token;
  if (hub->debugModeEnabled()) result["de"] = "1";
  const json deviceParameters = device->parameters();
  if (deviceParameters.is_object()) {
    for (const auto& [key, value] : deviceParameters.items()) result[key] = value;
  }
  const json networkParameters = ZUMNetwork::sharedInstance()->requestDictionary();
  if (networkParameters.is_object()) {
    for (const auto& [key, value] : networkParameters.items()) result[key] = value;
  }
  result["js"] = sdkVersion();
  if (device->isSimulator()) result["simulator"] = "1";
  if (isATestDevice()) result["adtest"] = "on";
  if (auto extras = extrasParameters()) result["extras"] = std::move(*extras);
  if (auto gender = genderString()) result["cust_gender"] = *gender;
  if (auto age = birthdayString()) result["cust_age"] = *age;
  if (values_->keywords) result["kw"] = *values_->keywords;
  if (childDirectedTreatment_) result["tag_for_child_directed_treatment"] = *childDirectedTreatment_ ? "1" : "0";
  if (auto url = contentURLString()) result["url"] = *url;
  if (requestAgent_) result["request_agent"] = *requestAgent_;
  if (location_) {
    if (auto form = location_->dictionaryRepresentation()) result["uule"] = std::move(*form);
  }

  // The native formats: their names, custom templates and allowed response types.
  std::string formatNames;
  std::vector<std::string> responseTypes;
  if (values_->formatParameters) {
    for (const json& format : *values_->formatParameters) {
      if (!format.is_object()) continue;
      // Ad classes send their format as a number, older callers as text: both name it.
      const json* value = ZUMJSONValueForKey(format, "format");
      if (auto name = value && !value->is_boolean() ? ZUMJSONStringOrNumberText(*value) : std::nullopt) {
        if (!formatNames.empty()) formatNames += ",";
        formatNames += *name;
      }
      if (const json* ids = ZUMJSONArrayForKey(format, "custom_template_ids"); ids && !ids->empty()) {
        std::string joined;
        bool first = true;
        for (const json& id : *ids) {
          if (!id.is_string()) continue;  // only strings name templates
          if (!first) joined += ",";
          joined += id.get_ref<const std::string&>();
          first = false;
        }
        result["native_custom_templates"] = joined;
      }
      if (const json* types = ZUMJSONArrayForKey(format, "allowed_response_types"); types) {
        for (const json& type : *types) {
          if (!type.is_string()) continue;
          const std::string& key = type.get_ref<const std::string&>();
          if (std::find(responseTypes.begin(), responseTypes.end(), key) == responseTypes.end()) {
            responseTypes.push_back(key);
          }
        }
      }
    }
  }
  if (!formatNames.empty() && responseType_ != 0) {
    result["native_templates"] = formatNames;
    result["native_version"] = responseType_;
  }
  for (const std::string& type : responseTypes) result[type] = true;

  if (values_->customTargeting && !values_->customTargeting->empty()) {
    result["custom_targeting"] = *values_->customTargeting;
  }
  if (origin_) result["request_origin"] = *origin_;
  json properties = json::object();
  if (values_->testDevices) properties["testDevices"] = *values_->testDevices;
  if (values_->formatParameters) properties["formatParameters"] = *values_->formatParameters;
  if (values_->privateMediationExtras) properties["privateMediationExtras"] = *values_->privateMediationExtras;
  properties["class"] = className();
  result["_request_object_properties"] = std::move(properties);
  if (values_->adConfigurationParameters) result["options"] = *values_->adConfigurationParameters;
  if (nativeExpressEnabled_) result["ene"] = 1;
  result["ios_current_boot_timestamp_ms"] = ZUMTimeIntervalSinceBoot() * 1000.0;
  if (validAdSizesSetterUsed) result["dcs"] = "1";
  if (resizeUsed) result["dcr"] = "1";
  return result;
}

json ZUMRequest::parameters() const {
  json result = threadSafeParameters();
  std::optional<json> signal;
  if (platform::isMainThread()) {
    signal = ZUMRDIIMSignalParameters();
  } else {
    platform::DispatchQueue::main()->sync([&] { signal = ZUMRDIIMSignalParameters(); });
  }
  if (signal) {
    for (const auto& [key, value] : signal->items()) result[key] = value;
  }
  return result;
}

// --- Rebuilding -----------------------------------------------------------------------

void ZUMRequest::readParameters(const json& parameters) {
  if (const json* properties = ZUMJSONValueForKey(parameters, "_request_object_properties")) {
    if (const json* value = ZUMJSONValueForKey(*properties, "testDevices")) setTestDevices(*value);
    if (const json* value = ZUMJSONValueForKey(*properties, "formatParameters")) setFormatParameters(*value);
    if (const json* value = ZUMJSONValueForKey(*properties, "privateMediationExtras")) {
      setPrivateMediationExtras(*value);
    }
  }
  if (auto text = ZUMJSONStringForKey(parameters, "cust_gender")) {
    gender_ = *text == "1" ? kZUMGenderMale : *text == "2" ? kZUMGenderFemale : kZUMGenderUnknown;
  }
  if (auto text = ZUMJSONStringForKey(parameters, "cust_age")) birthday_ = dateFromBirthdayString(*text);
  if (const json* value = ZUMJSONObjectForKey(parameters, "uule")) {
    location_ = ZUMLocation::createWithDictionary(*value);
  }
  if (const json* value = ZUMJSONValueForKey(parameters, "kw")) setKeywords(*value);
  if (auto text = ZUMJSONStringForKey(parameters, "tag_for_child_directed_treatment")) {
    childDirectedTreatment_ = platform::stringBoolValue(*text);
  }
  if (const json* value = ZUMJSONValueForKey(parameters, "options")) setAdConfigurationParameters(*value);
  if (auto text = ZUMJSONStringForKey(parameters, "url")) contentURL_ = std::move(*text);
  if (auto type = ZUMJSONIntegerForKey(parameters, "native_version")) responseType_ = *type;
  if (auto text = ZUMJSONStringForKey(parameters, "request_agent")) requestAgent_ = std::move(*text);
  if (const json* value = ZUMJSONValueForKey(parameters, "custom_targeting")) setCustomTargeting(*value);
  if (auto enabled = ZUMJSONBoolForKey(parameters, "ene")) nativeExpressEnabled_ = *enabled;
  if (const json* value = ZUMJSONObjectForKey(parameters, "extras")) {
    auto extras = ZUMExtras::create();
    extras->setAdditionalParameters(*value);
    registerAdNetworkExtras(std::move(extras));
  }
}
