#include "ZUMCustomEventExtras.h"

#include "sdk/foundation/ZUMLogger.h"

std::shared_ptr<ZUMCustomEventExtras> ZUMCustomEventExtras::create() {
  return std::shared_ptr<ZUMCustomEventExtras>(new ZUMCustomEventExtras());
}

void ZUMCustomEventExtras::setExtrasForLabel(std::optional<nlohmann::ordered_json> extras,
                                             const std::optional<std::string>& label) {
  if (!label) {
    ZUMLogger::sharedInstance()->logPublicMessage("Must specify a label for extras.");
    return;
  }
  if (extras && extras->is_object()) {
    extras_[*label] = std::move(*extras);
  } else {
    extras_.erase(*label);
  }
}

std::optional<nlohmann::ordered_json> ZUMCustomEventExtras::extrasForLabel(const std::string& label) const {
  auto found = extras_.find(label);
  if (found == extras_.end()) return std::nullopt;
  return *found;
}
