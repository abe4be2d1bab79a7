#include "sdk/network/ZUMSafeBrowsingReporter.h"

#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/network/ZUMAutoClickProtection.h"

std::shared_ptr<ZUMSafeBrowsingReporter> ZUMSafeBrowsingReporter::create(const nlohmann::ordered_json& settings) {
  if (!settings.is_object()) return nullptr;
  std::shared_ptr<ZUMAutoClickProtection> protection;
  // A value that has no boolean reading (a list, a dictionary, null) counts as absent.
  if (const auto enabled = ZUMJSONBoolForKey(settings, "protection_enabled", ZUMJSONStrings::Read)) {
    protection = ZUMAutoClickProtection::create(*enabled);
  }
  return std::shared_ptr<ZUMSafeBrowsingReporter>(new ZUMSafeBrowsingReporter(std::move(protection)));
}
