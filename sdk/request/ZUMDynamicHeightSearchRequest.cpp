#include "ZUMDynamicHeightSearchRequest.h"

#include <cctype>
#include <cmath>
#include <map>

#include "platform/base/PropertyList.h"
#include "sdk/foundation/ZUMURLUtilities.h"

using json = nlohmann::ordered_json;

namespace {

constexpr const char* kCustomDomainKey = "customDomain";

// Letters, digits, "-" and "." with an optional ":port": nothing that could end the
// host or start a path, query or fragment.
bool isHostName(const std::string& text) {
  const auto colon = text.find(':');
  const std::string host = text.substr(0, colon);
  if (host.empty() || host.front() == '.' || host.front() == '-') return false;
  for (unsigned char c : host) {
    if (!std::isalnum(c) && c != '-' && c != '.') return false;
  }
  if (colon == std::string::npos) return true;
  const std::string port = text.substr(colon + 1);
  return !port.empty() && port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

ZUMDynamicHeightSearchRequest::ZUMDynamicHeightSearchRequest() = default;
ZUMDynamicHeightSearchRequest::~ZUMDynamicHeightSearchRequest() = default;

std::shared_ptr<ZUMDynamicHeightSearchRequest> ZUMDynamicHeightSearchRequest::create() {
  return std::shared_ptr<ZUMDynamicHeightSearchRequest>(new ZUMDynamicHeightSearchRequest());
}

std::shared_ptr<ZUMRequest> ZUMDynamicHeightSearchRequest::copy() const {
  auto result = create();
  copyInto(*result);
  result->properties_ = properties_;
  result->fragmentParameters_ = fragmentParameters_;
  return result;
}

void ZUMDynamicHeightSearchRequest::setAdvancedOptionValue(const json& value, std::string_view key) {
  parameterHelperSetValue(value, key);
}

void ZUMDynamicHeightSearchRequest::parameterHelperSetValue(const json& value, std::string_view key) {
  const bool number = value.is_boolean() || value.is_number_integer() ||
                      (value.is_number_float() && std::isfinite(value.get<double>()));
  if (value.is_string() || number) fragmentParameters_[std::string(key)] = value;
}

std::string ZUMDynamicHeightSearchRequest::dynamicHeightAdURLFragmentsWithAdUnitID(std::string_view adUnitID) const {
  std::map<std::string, std::string> pieces;  // sorted by plain comparison
  for (const auto& [key, value] : fragmentParameters_.items()) {
    if (key == kCustomDomainKey) continue;
    const auto text = platform::stringValue(value);
    if (!text) continue;
    pieces[ZUMPercentEncodedString(key)] = value.is_string() ? ZUMPercentEncodedString(*text) : *text;
  }
  if (const auto signal = ZUMRDIIMSignalParameters(); signal && signal->is_object()) {
    for (const auto& [key, value] : signal->items()) {
      if (const auto text = platform::stringValue(value)) pieces[key] = *text;
    }
  }
  pieces["pubId"] = ZUMPercentEncodedString(adUnitID);
  pieces["SDKVersion"] = ZUMRequest::sdkVersion();
  pieces["OSType"] = "iOS";
  std::string fragment;
  for (const auto& [key, value] : pieces) fragment += (fragment.empty() ? "" : "&") + key + "=" + value;
  return fragment;
}

std::optional<platform::URL> ZUMDynamicHeightSearchRequest::TRVDynamicHeightSearchRequestURLWithAdUnitID(
    std::string_view adUnitID) const {
  std::string host = kZUMDynamicHeightSearchDefaultHost;
  const auto domain = fragmentParameters_.find(kCustomDomainKey);
  if (domain != fragmentParameters_.end() && domain->is_string()) {
    const auto& text = domain->get_ref<const std::string&>();
    if (isHostName(text)) host = text;
  }
  return platform::URL::fromString("https://" + host + "/search/ads/webview.html#" +
                                   dynamicHeightAdURLFragmentsWithAdUnitID(adUnitID));
}

std::optional<std::string> ZUMDynamicHeightSearchRequest::stringProperty(std::string_view key) const {
  const auto it = properties_.find(key);
  if (it == properties_.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::int64_t ZUMDynamicHeightSearchRequest::integerProperty(std::string_view key) const {
  const auto it = properties_.find(key);
  return it != properties_.end() && it->is_number_integer() ? it->get<std::int64_t>() : 0;
}

double ZUMDynamicHeightSearchRequest::doubleProperty(std::string_view key) const {
  const auto it = properties_.find(key);
  return it != properties_.end() && it->is_number() ? it->get<double>() : 0;
}

bool ZUMDynamicHeightSearchRequest::boolProperty(std::string_view key) const {
  const auto it = properties_.find(key);
  return it != properties_.end() && it->is_boolean() && it->get<bool>();
}

void ZUMDynamicHeightSearchRequest::setProperty(std::string_view key, std::optional<std::string> value) {
  if (!value) {
    properties_.erase(std::string(key));
    return;
  }
  properties_[std::string(key)] = *value;
  parameterHelperSetValue(json(std::move(*value)), key);
}

void ZUMDynamicHeightSearchRequest::setProperty(std::string_view key, std::int64_t value) {
  properties_[std::string(key)] = value;
  parameterHelperSetValue(json(value), key);
}

void ZUMDynamicHeightSearchRequest::setProperty(std::string_view key, double value) {
  properties_[std::string(key)] = value;
  parameterHelperSetValue(json(value), key);
}

void ZUMDynamicHeightSearchRequest::setProperty(std::string_view key, bool value) {
  properties_[std::string(key)] = value;
  parameterHelperSetValue(json(value), key);
}

void ZUMDynamicHeightSearchRequest::setAdTestProperty(std::string_view key, bool value) {
  properties_[std::string(key)] = value;
  parameterHelperSetValue(json(value ? "on" : "off"), key);
}
