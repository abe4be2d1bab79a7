#include "sdk/formats/ZUMInterstitialPoolKey.h"

#include <string_view>

#include "ZUMRequest.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMRegularExpression.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

using Json = nlohmann::ordered_json;

std::vector<std::string> pathComponents(std::string_view path) {
  std::vector<std::string> components;
  while (true) {
    const auto dot = path.find('.');
    components.emplace_back(path.substr(0, dot));
    if (dot == std::string_view::npos) return components;
    path.remove_prefix(dot + 1);
  }
}

// A value's text as the pattern sees it: a string itself, a number or boolean as its
// text, anything else as its JSON.
std::string textOf(const Json& value) {
  if (auto text = ZUMJSONStringOrNumberText(value)) return *text;
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool matchesPath(const Json& value, const ZUMRegularExpression& pattern, const std::vector<std::string>& path,
                 std::size_t next, std::size_t depth) {
  if (depth > ZUMInterstitialPoolKeySettings::kMaximumPathDepth) return false;
  if (value.is_array()) {
    for (const auto& element : value) {
      if (!matchesPath(element, pattern, path, next, depth + 1)) return false;
    }
    return true;
  }
  if (next == path.size()) return pattern.matches(textOf(value));
  if (!value.is_object()) return true;  // the path ends early
  const Json* child = ZUMJSONValueForKey(value, path[next]);
  return !child || matchesPath(*child, pattern, path, next + 1, depth + 1);
}

// The parameter a schema field reads: its field-names entry, the field's own name when
// it has none (or one of the wrong type), nothing for a null entry.
std::optional<std::string> parameterNameForField(const Json& fieldNames, const std::string& field) {
  const Json* entry = ZUMJSONValueForKey(fieldNames, field);
  if (!entry) return field;
  if (entry->is_null()) return std::nullopt;
  return ZUMJSONString(*entry).value_or(field);
}

}  // namespace

Json ZUMInterstitialPoolKeySettings::defaultFieldNames() {
  return Json{{"birthday", "cust_age"},
              {"categoryExclusions", "category_exclusions"},
              {"contentUrl", "url"},
              {"customTargeting", "custom_targeting"},
              {"extras", "extras"},
              {"gender", "cust_gender"},
              {"isTestDevice", "adtest"},
              {"keywords", "kw"},
              {"location", "uule"},
              {"manualImpressionsEnabled", "d_imp_hdr"},
              {"networkExtras", nullptr},
              {"networkType", "net_last"},
              {"publisherProvidedId", "ppid"},
              {"requestAgent", "request_agent"},
              {"requestPackage", nullptr},
              {"searchAdRequestParcel", nullptr},
              {"tagForChildDirectedTreatment", "tag_for_child_directed_treatment"}};
}

ZUMInterstitialPoolKeySettings ZUMInterstitialPoolKeySettings::read() {
  ZUMInterstitialPoolKeySettings settings;
  if (auto pattern = ZUMUserDefaults::stringForKey(kZUMInterstitialPoolExclusionsKey)) {
    settings.exclusions = ZUMRegularExpression::create(*pattern);
  }
  if (auto schema = ZUMUserDefaults::stringArrayForKey(kZUMInterstitialPoolSchemaKey)) settings.schema = *schema;
  if (auto names = ZUMUserDefaults::dictionaryForKey(kZUMInterstitialPoolFieldNamesKey)) settings.fieldNames = *names;
  if (auto patterns = ZUMUserDefaults::dictionaryForKey(kZUMInterstitialPoolAllowedPatternsKey)) {
    for (const auto& [path, pattern] : patterns->items()) {
      if (auto text = ZUMJSONString(pattern)) settings.allowedPatterns.emplace_back(path, *text);
    }
  }
  return settings;
}

ZUMInterstitialPoolKey::ZUMInterstitialPoolKey(std::string adUnitID, Json fields)
    : adUnitID(std::move(adUnitID)), fields(std::move(fields)) {
  // The sorted form of the same value: equal dictionaries print alike.
  canonical =
      nlohmann::json(Json::array({this->adUnitID, this->fields})).dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool ZUMInterstitialPoolValueMatchesPath(const Json& value, const ZUMRegularExpression& pattern,
                                         const std::string& path) {
  return matchesPath(value, pattern, pathComponents(path), 0, 0);
}

std::optional<ZUMInterstitialPoolKey> ZUMInterstitialPoolKeyForParameters(
    const std::string& adUnitID, const Json& parameters, const ZUMInterstitialPoolKeySettings& settings) {
  if (adUnitID.empty()) return std::nullopt;
  if (settings.exclusions && settings.exclusions->matches(adUnitID)) return std::nullopt;
  for (const auto& [path, text] : settings.allowedPatterns) {
    auto pattern = ZUMRegularExpression::create(text);
    if (pattern && !ZUMInterstitialPoolValueMatchesPath(parameters, *pattern, path)) {
      ZUMLog(1, "Interstitial not pooled: its request parameters fail the allowed pattern of \"" + path + "\".");
      return std::nullopt;
    }
  }
  Json fields = Json::object();
  for (const auto& field : settings.schema) {
    const auto name = parameterNameForField(settings.fieldNames, field);
    const Json* value = name ? ZUMJSONValueForKey(parameters, *name) : nullptr;
    if (value) fields[field] = *value;
  }
  return ZUMInterstitialPoolKey(adUnitID, std::move(fields));
}

std::optional<ZUMInterstitialPoolKey> ZUMInterstitialPoolKeyForRequest(const std::shared_ptr<ZUMRequest>& request,
                                                                       const std::string& adUnitID, Json* parameters) {
  if (adUnitID.empty() || !request || !request->cacheable()) return std::nullopt;
  Json safe = zum_JSONSafeDictionary(request->threadSafeParameters());
  auto key = ZUMInterstitialPoolKeyForParameters(adUnitID, safe, ZUMInterstitialPoolKeySettings::read());
  if (key && parameters) *parameters = std::move(safe);
  return key;
}
