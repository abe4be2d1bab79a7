#include "PXRRequest.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONReaders.h"

using json = nlohmann::ordered_json;

PXRRequest::PXRRequest() = default;
PXRRequest::~PXRRequest() = default;

std::shared_ptr<PXRRequest> PXRRequest::create() { return std::shared_ptr<PXRRequest>(new PXRRequest()); }

std::shared_ptr<ZUMRequest> PXRRequest::createWithParameters(const json& parameters) {
  return ZUMRequest::createWithParameters([]() -> std::shared_ptr<ZUMRequest> { return create(); }, parameters);
}

void PXRRequest::readParameters(const json& parameters) {
  ZUMRequest::readParameters(parameters);
  if (auto text = ZUMJSONStringForKey(parameters, "ppid")) publisherProvidedID_ = std::move(*text);
  if (const json* value = ZUMJSONValueForKey(parameters, "category_exclusions")) setCategoryExclusions(*value);
}

std::shared_ptr<ZUMRequest> PXRRequest::copy() const {
  auto result = create();
  copyInto(*result);
  result->setPublisherProvidedID(publisherProvidedID());
  result->setCategoryExclusions(categoryExclusions());
  return result;
}

json PXRRequest::threadSafeParameters() const {
  json result = ZUMRequest::threadSafeParameters();
  if (publisherProvidedID_) {
    if (auto identifier = trimmedString(*publisherProvidedID_)) result["ppid"] = *identifier;
  }
  if (categoryExclusions_ && !categoryExclusions_->empty()) result["category_exclusions"] = *categoryExclusions_;
  return result;
}

std::optional<json> PXRRequest::categoryExclusions() const {
  if (!categoryExclusions_) return std::nullopt;
  return *categoryExclusions_;
}

void PXRRequest::setCategoryExclusions(std::optional<json> exclusions) {
  if (exclusions && exclusions->is_array()) {
    categoryExclusions_ = std::make_unique<json>(std::move(*exclusions));
  } else {
    categoryExclusions_.reset();
  }
}
