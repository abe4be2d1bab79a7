// Supplies view-hierarchy information for a slot's requests: cached when a load starts,
// read when the request parameters are built. Held weakly by the slot; called on the
// main thread.
#pragma once

#include <optional>

#include <nlohmann/json_fwd.hpp>

class ZUMSlot;

class ZUMSlotAdKeyDelegate {
 public:
  virtual ~ZUMSlotAdKeyDelegate() = default;
  virtual void cacheViewHierarchyInformationForSlot(ZUMSlot& slot) = 0;
  // A dictionary, or nullopt for none.
  virtual std::optional<nlohmann::ordered_json> viewHierarchyInformationForSlot(ZUMSlot& slot) = 0;
};
