// An ad's auto-click protection: whether open actions that the page starts before the
// user ever touched the ad view are blocked, and where each blocked action is reported.
// Made by the ad's safe-browsing reporter from its "protection_enabled" setting (or from
// a settings dictionary) and handed to the opener, which decides when an action is
// blocked and calls the report.
//
// A protection with report templates pings each template with the blocked navigation's
// URL; one without posts "navigationBlocked" into the SDK-core page through
// ZUMNavigationBlockedReporting.
//
// Immutable once made; reports are made on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

// The macro of a report template that the blocked navigation's URL replaces.
inline constexpr const char* kZUMAutoClickNavigationURLMacro = "{NAVIGATION_URL}";

class ZUMAutoClickProtection {
 public:
  // A protection with that flag and no report templates (reports go to the SDK-core
  // page).
  static std::shared_ptr<ZUMAutoClickProtection> create(bool enabled);
  // From a settings dictionary: "enable_protection" (a boolean reading; absent or
  // unreadable: off) and "reporting_urls" (the strings of a list; no list: report to
  // the SDK-core page). nullptr when `settings` is not a dictionary.
  static std::shared_ptr<ZUMAutoClickProtection> createWithDictionary(const nlohmann::ordered_json& settings);

  bool isEnabled() const { return enabled_; }
  // nullopt: reports go to the SDK-core page.
  const std::optional<std::vector<std::string>>& reportingURLStringTemplates() const {
    return reportingURLStringTemplates_;
  }

  // Reports one blocked open action: to the SDK-core page with the entries that have
  // values, or, with templates, as pings.
  void reportSpamOpenAction(const std::optional<std::string>& adDebugDialogString,
                            const std::optional<std::string>& navigationURLString) const;
  // Pings every template, in order, with each macro replaced by the percent-encoded
  // navigation URL. Without a navigation URL there is nothing to report: logged, no ping.
  void reportSpamOpenAction(const std::optional<std::string>& navigationURLString) const;

 private:
  ZUMAutoClickProtection(bool enabled, std::optional<std::vector<std::string>> templates)
      : reportingURLStringTemplates_(std::move(templates)), enabled_(enabled) {}

  const std::optional<std::vector<std::string>> reportingURLStringTemplates_;
  const bool enabled_;
};
