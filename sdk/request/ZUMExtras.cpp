#include "ZUMExtras.h"

#include <nlohmann/json.hpp>

std::shared_ptr<ZUMExtras> ZUMExtras::create() { return std::shared_ptr<ZUMExtras>(new ZUMExtras()); }

ZUMExtras::ZUMExtras() = default;
ZUMExtras::~ZUMExtras() = default;

std::optional<nlohmann::ordered_json> ZUMExtras::additionalParameters() const {
  if (!additionalParameters_) return std::nullopt;
  return *additionalParameters_;
}

void ZUMExtras::setAdditionalParameters(std::optional<nlohmann::ordered_json> parameters) {
  if (parameters && parameters->is_object()) {
    additionalParameters_ = std::make_unique<nlohmann::ordered_json>(std::move(*parameters));
  } else {
    additionalParameters_.reset();
  }
}

bool ZUMExtras::hasAd() const { return ad_ || (additionalParameters_ && additionalParameters_->contains("_ad")); }

std::shared_ptr<ZUMExtras> ZUMExtras::copy() const {
  auto result = create();
  result->setAdditionalParameters(additionalParameters());
  result->ad_ = ad_;
  return result;
}
