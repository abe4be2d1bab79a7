// A slot's statistics: the exit codes, durations and fill states of the mediation
// networks tried for it, kept as one dictionary ("adapter_exit" and "adapter_duration":
// arrays of strings; "adapter_fill_status": array of {"fill_status_allocation_id",
// "fill_status_exit", "fill_status_duration"}). Once the slot has an identifier (its ad
// unit ID), the dictionary is persisted in the standard user defaults under
// "zums:slot_statistics:<identifier>" and read back by the next slot of that ad unit.
//
// Each change is saved at once, unless a SaveHold lives: then the changes made under it
// are saved once, when the last hold goes (the waterfall holds one for a whole pass, so
// a pass over many networks writes the defaults once, not once per network).
//
// Thread-safe (one lock); the slot and the mediation waterfall use it on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

class ZUMTiming;

class ZUMSlotStatistics {
 public:
  // Holds back the saves of `statistics` while it lives (see above).
  class SaveHold {
   public:
    explicit SaveHold(std::shared_ptr<ZUMSlotStatistics> statistics);
    ~SaveHold();
    SaveHold(const SaveHold&) = delete;
    SaveHold& operator=(const SaveHold&) = delete;

   private:
    std::shared_ptr<ZUMSlotStatistics> statistics_;
  };

  static std::shared_ptr<ZUMSlotStatistics> create();

  // Switches to the identifier's persisted statistics; what was gathered before, under
  // no identifier or another one, is carried over (its keys win). An empty identifier
  // stops persisting.
  void setIdentifier(const std::string& identifier);
  std::string identifier() const;

  // A copy of the statistics dictionary (an object, possibly empty).
  nlohmann::ordered_json statistics() const;

  // Starts the "adapter" timing.
  void startTimingAdapter();
  // Appends the exit code ("%ld") to "adapter_exit" and the milliseconds since the start
  // of the timing to "adapter_duration" (0 when it was never started).
  void endTimingAdapterWithExitCode(std::int64_t exitCode);
  // Appends one fill-status entry to "adapter_fill_status".
  void endTimingAdapterWithFillStatus(std::int64_t fillStatus, const std::string& allocationID);
  // Drops "adapter_exit" and "adapter_duration".
  void resetTimingAdapters();
  // Drops "adapter_fill_status".
  void resetFillStatus();

  // The lists joined by ","; empty when there is none.
  std::string adapterExitCodesParameter() const;
  std::string adapterDurationsParameter() const;
  // One "<allocation id>.<exit>.<duration>" per entry, joined by "_"; the second in the
  // order of the given allocation IDs (each ID takes the next entry of that ID; IDs
  // without one are left out).
  std::string adapterFillStatusParameter() const;
  std::string adapterFillStatusParameterOrderedByAllocationIDs(const std::vector<std::string>& allocationIDs) const;

  // How many times the statistics were written to the user defaults.
  std::uint64_t saveCount() const;

  ZUMSlotStatistics();
  ~ZUMSlotStatistics();
  ZUMSlotStatistics(const ZUMSlotStatistics&) = delete;
  ZUMSlotStatistics& operator=(const ZUMSlotStatistics&) = delete;

 private:
  struct State;

  std::uint64_t elapsedMilliseconds() const;
  // Under mutex_: writes the statistics now, or once the holds are gone.
  void save();

  mutable std::mutex mutex_;
  std::unique_ptr<State> state_;
  std::shared_ptr<ZUMTiming> adapterTiming_;
};
