// The extras object in which the app leaves parameters for its custom events: one
// dictionary of parameters per custom-event label. The custom events adapter hands the
// dictionary of the entry's label to the custom event (ZUMCustomEventRequest).
//
// A plain value holder without a lock: use it from one thread at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "ZUMAdNetworkExtras.h"

class ZUMCustomEventExtras : public ZUMAdNetworkExtras {
 public:
  static constexpr const char* kClassName = "ZUMCustomEventExtras";

  static std::shared_ptr<ZUMCustomEventExtras> create();

  std::string className() const override { return kClassName; }

  // Stores a copy of the dictionary under the label. A nil label stores nothing and logs
  // for the app's developer; a nil dictionary (or a value that is no dictionary) removes
  // the label's entry.
  void setExtrasForLabel(std::optional<nlohmann::ordered_json> extras, const std::optional<std::string>& label);
  std::optional<nlohmann::ordered_json> extrasForLabel(const std::string& label) const;
  void removeAllExtras() { extras_ = nlohmann::ordered_json::object(); }
  // Label to dictionary.
  const nlohmann::ordered_json& allExtras() const { return extras_; }

 private:
  ZUMCustomEventExtras() = default;

  nlohmann::ordered_json extras_ = nlohmann::ordered_json::object();
};
