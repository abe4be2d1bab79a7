// The safe-browsing reporter of one ad, made from the ad's safe-browsing settings (the
// decoded "x-qyra-safe-browsing" header or the "safe_browsing" entry of an ad
// dictionary). For now it carries the ad's auto-click protection, which the slot hands
// to the opener.
//
// Immutable once made; any thread.
#pragma once

#include <memory>

#include <nlohmann/json_fwd.hpp>

class ZUMAutoClickProtection;

class ZUMSafeBrowsingReporter {
 public:
  // A reporter for the settings dictionary, or nullptr when `settings` is not a
  // dictionary (a server may send anything). When the settings hold
  // "protection_enabled" with a value that reads as a boolean, the reporter makes its
  // auto-click protection with that value.
  static std::shared_ptr<ZUMSafeBrowsingReporter> create(const nlohmann::ordered_json& settings);

  // The protection made from "protection_enabled", or nullptr (no protection).
  const std::shared_ptr<ZUMAutoClickProtection>& autoClickProtection() const { return autoClickProtection_; }

 private:
  explicit ZUMSafeBrowsingReporter(std::shared_ptr<ZUMAutoClickProtection> protection)
      : autoClickProtection_(std::move(protection)) {}

  const std::shared_ptr<ZUMAutoClickProtection> autoClickProtection_;
};
