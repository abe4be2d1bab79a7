#include "sdk/network/ZUMAutoClickProtection.h"

#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/network/ZUMNavigationBlockedReporting.h"

namespace {

std::optional<std::vector<std::string>> templatesFrom(const nlohmann::ordered_json& settings) {
  const auto* list = ZUMJSONArrayForKey(settings, "reporting_urls");
  if (!list) return std::nullopt;
  std::vector<std::string> templates;
  for (const auto& entry : *list) {
    if (entry.is_string()) templates.push_back(entry.get<std::string>());
  }
  return templates;
}

std::string replacingAll(std::string text, std::string_view macro, const std::string& value) {
  for (auto at = text.find(macro); at != std::string::npos; at = text.find(macro, at + value.size())) {
    text.replace(at, macro.size(), value);
  }
  return text;
}

}  // namespace

std::shared_ptr<ZUMAutoClickProtection> ZUMAutoClickProtection::create(bool enabled) {
  return std::shared_ptr<ZUMAutoClickProtection>(new ZUMAutoClickProtection(enabled, std::nullopt));
}

std::shared_ptr<ZUMAutoClickProtection> ZUMAutoClickProtection::createWithDictionary(
    const nlohmann::ordered_json& settings) {
  if (!settings.is_object()) return nullptr;
  const bool enabled = ZUMJSONBoolForKey(settings, "enable_protection", false, ZUMJSONStrings::Read);
  return std::shared_ptr<ZUMAutoClickProtection>(new ZUMAutoClickProtection(enabled, templatesFrom(settings)));
}

void ZUMAutoClickProtection::reportSpamOpenAction(const std::optional<std::string>& adDebugDialogString,
                                                  const std::optional<std::string>& navigationURLString) const {
  if (reportingURLStringTemplates_) {
    reportSpamOpenAction(navigationURLString);
    return;
  }
  auto info = nlohmann::ordered_json::object();
  if (adDebugDialogString) info["debugDialog"] = *adDebugDialogString;
  if (navigationURLString) info["navigationURL"] = *navigationURLString;
  auto reporting = ZUMNavigationBlockedReporting::shared();
  if (!reporting) {
    ZUMLog(kZUMLogLevelDefault, "Blocked navigation not reported: " + info.dump());
    return;
  }
  reporting->navigationBlocked(info);
}

void ZUMAutoClickProtection::reportSpamOpenAction(const std::optional<std::string>& navigationURLString) const {
  if (!reportingURLStringTemplates_ || reportingURLStringTemplates_->empty()) return;
  if (!navigationURLString) {
    ZUMLog(kZUMLogLevelDefault, "Blocked navigation without a URL not reported.");
    return;
  }
  const auto encoded = ZUMPercentEncodedString(*navigationURLString);
  const auto& templates = *reportingURLStringTemplates_;
  // Only the templates that are sent are filled: each copies the page's navigation URL.
  const auto count = ZUMClickTrackerCollection::sentURLCount(templates.size());
  std::vector<std::string> urlStrings;
  for (std::size_t index = 0; index < count; ++index) {
    urlStrings.push_back(replacingAll(templates[index], kZUMAutoClickNavigationURLMacro, encoded));
  }
  ZUMClickTrackerCollection::sharedInstance()->trackURLs(urlStrings);
}
