// The request of the publisher ad product: a ZUMRequest that also carries the
// publisher's own identifier of the user and the ad categories the publisher excludes,
// sent as "ppid" and "category_exclusions".
//
// A plain value holder without a lock, as ZUMRequest.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ZUMRequest.h"

class PXRRequest : public ZUMRequest {
 public:
  static constexpr const char* kClassName = "PXRRequest";

  static std::shared_ptr<PXRRequest> create();
  // As ZUMRequest::createWithParameters, then "ppid" (string) and "category_exclusions"
  // (array). Parameters naming another request class rebuild that class.
  static std::shared_ptr<ZUMRequest> createWithParameters(const nlohmann::ordered_json& parameters);
  // Does nothing.
  static void updateCorrelator() {}

  ~PXRRequest() override;

  std::string className() const override { return kClassName; }
  std::shared_ptr<ZUMRequest> copy() const override;
  // ZUMRequest's parameters plus "ppid" (trimmed, when something is left) and
  // "category_exclusions" (when it has an element).
  nlohmann::ordered_json threadSafeParameters() const override;

  const std::optional<std::string>& publisherProvidedID() const { return publisherProvidedID_; }
  void setPublisherProvidedID(std::optional<std::string> identifier) { publisherProvidedID_ = std::move(identifier); }
  // Array of strings; a value of another kind counts as none.
  std::optional<nlohmann::ordered_json> categoryExclusions() const;
  void setCategoryExclusions(std::optional<nlohmann::ordered_json> exclusions);

 protected:
  PXRRequest();
  void readParameters(const nlohmann::ordered_json& parameters) override;

 private:
  std::optional<std::string> publisherProvidedID_;
  std::unique_ptr<nlohmann::ordered_json> categoryExclusions_;  // nullptr: none
};
