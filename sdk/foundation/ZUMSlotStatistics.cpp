#include "sdk/foundation/ZUMSlotStatistics.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMTiming.h"

using nlohmann::ordered_json;

namespace {

constexpr const char* kExitKey = "adapter_exit";
constexpr const char* kDurationKey = "adapter_duration";
constexpr const char* kFillStatusKey = "adapter_fill_status";
constexpr const char* kAllocationIDKey = "fill_status_allocation_id";
constexpr const char* kFillExitKey = "fill_status_exit";
constexpr const char* kFillDurationKey = "fill_status_duration";

std::string defaultsKey(const std::string& identifier) { return "zums:slot_statistics:" + identifier; }

// The text of a stored list element: strings as they are, integral numbers in decimal;
// nullopt for anything else (a damaged stored value).
std::optional<std::string> elementText(const ordered_json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return value.dump();
  if (value.is_number_float()) {
    const double d = value.get<double>();
    if (std::isfinite(d) && std::fabs(d) < 9e15) return std::to_string(static_cast<std::int64_t>(d));
  }
  return std::nullopt;
}

std::string joinList(const ordered_json& statistics, const char* key) {
  auto it = statistics.find(key);
  if (it == statistics.end() || !it->is_array()) return {};
  std::string joined;
  bool first = true;
  for (const auto& element : *it) {
    auto text = elementText(element);
    if (!text) continue;
    if (!first) joined += ",";
    joined += *text;
    first = false;
  }
  return joined;
}

// "<allocation id>.<exit>.<duration>" of one fill-status entry; nullopt when damaged.
std::optional<std::string> fillStatusText(const ordered_json& entry) {
  if (!entry.is_object()) return std::nullopt;
  auto id = entry.find(kAllocationIDKey);
  auto exit = entry.find(kFillExitKey);
  auto duration = entry.find(kFillDurationKey);
  if (id == entry.end() || exit == entry.end() || duration == entry.end()) return std::nullopt;
  auto idText = elementText(*id);
  auto exitText = elementText(*exit);
  auto durationText = elementText(*duration);
  if (!idText || !exitText || !durationText) return std::nullopt;
  return *idText + "." + *exitText + "." + *durationText;
}

void append(ordered_json& statistics, const char* key, ordered_json value) {
  auto& list = statistics[key];
  if (!list.is_array()) list = ordered_json::array();
  list.push_back(std::move(value));
}

}  // namespace

struct ZUMSlotStatistics::State {
  std::string identifier;
  ordered_json statistics = ordered_json::object();
  std::uint64_t holds = 0;
  bool saveHeld = false;
  std::uint64_t saves = 0;
};

ZUMSlotStatistics::SaveHold::SaveHold(std::shared_ptr<ZUMSlotStatistics> statistics)
    : statistics_(std::move(statistics)) {
  if (!statistics_) return;
  std::lock_guard lock(statistics_->mutex_);
  ++statistics_->state_->holds;
}

ZUMSlotStatistics::SaveHold::~SaveHold() {
  if (!statistics_) return;
  std::lock_guard lock(statistics_->mutex_);
  auto& state = *statistics_->state_;
  if (--state.holds > 0 || !std::exchange(state.saveHeld, false)) return;
  statistics_->save();
}

std::shared_ptr<ZUMSlotStatistics> ZUMSlotStatistics::create() { return std::make_shared<ZUMSlotStatistics>(); }

ZUMSlotStatistics::ZUMSlotStatistics()
    : state_(std::make_unique<State>()), adapterTiming_(ZUMTiming::create("adapter")) {}

ZUMSlotStatistics::~ZUMSlotStatistics() = default;

void ZUMSlotStatistics::setIdentifier(const std::string& identifier) {
  std::lock_guard lock(mutex_);
  if (identifier == state_->identifier) return;
  state_->identifier = identifier;
  if (identifier.empty()) return;
  auto stored = platform::UserDefaults::standard().dictionaryForKey(defaultsKey(identifier));
  ordered_json merged = stored && stored->is_object() ? std::move(*stored) : ordered_json::object();
  for (const auto& [key, value] : state_->statistics.items()) merged[key] = value;
  state_->statistics = std::move(merged);
  save();
}

std::string ZUMSlotStatistics::identifier() const {
  std::lock_guard lock(mutex_);
  return state_->identifier;
}

ordered_json ZUMSlotStatistics::statistics() const {
  std::lock_guard lock(mutex_);
  return state_->statistics;
}

void ZUMSlotStatistics::save() {
  if (state_->identifier.empty()) return;
  if (state_->holds > 0) {
    state_->saveHeld = true;
    return;
  }
  ++state_->saves;
  auto& defaults = platform::UserDefaults::standard();
  if (state_->statistics.empty()) {
    defaults.removeObjectForKey(defaultsKey(state_->identifier));
  } else {
    // Statistics a host value made unstorable (a non-finite number) are not kept.
    if (!defaults.setObject(state_->statistics, defaultsKey(state_->identifier))) {
      ZUMLog(kZUMLogLevelDefault, "Could not store the slot statistics of " + state_->identifier + ".");
    }
  }
}

std::uint64_t ZUMSlotStatistics::saveCount() const {
  std::lock_guard lock(mutex_);
  return state_->saves;
}

std::uint64_t ZUMSlotStatistics::elapsedMilliseconds() const {
  adapterTiming_->end();
  return adapterTiming_->duration().value_or(0);
}

void ZUMSlotStatistics::startTimingAdapter() { adapterTiming_->start(); }

void ZUMSlotStatistics::endTimingAdapterWithExitCode(std::int64_t exitCode) {
  const std::uint64_t elapsed = elapsedMilliseconds();
  std::lock_guard lock(mutex_);
  append(state_->statistics, kExitKey, std::to_string(exitCode));
  append(state_->statistics, kDurationKey, std::to_string(elapsed));
  save();
}

void ZUMSlotStatistics::endTimingAdapterWithFillStatus(std::int64_t fillStatus, const std::string& allocationID) {
  const std::uint64_t elapsed = elapsedMilliseconds();
  std::lock_guard lock(mutex_);
  ordered_json entry = ordered_json::object();
  entry[kAllocationIDKey] = allocationID;
  entry[kFillExitKey] = fillStatus;
  entry[kFillDurationKey] = elapsed;
  append(state_->statistics, kFillStatusKey, std::move(entry));
  save();
}

void ZUMSlotStatistics::resetTimingAdapters() {
  std::lock_guard lock(mutex_);
  state_->statistics.erase(kExitKey);
  state_->statistics.erase(kDurationKey);
  save();
}

void ZUMSlotStatistics::resetFillStatus() {
  std::lock_guard lock(mutex_);
  state_->statistics.erase(kFillStatusKey);
  save();
}

std::string ZUMSlotStatistics::adapterExitCodesParameter() const {
  std::lock_guard lock(mutex_);
  return joinList(state_->statistics, kExitKey);
}

std::string ZUMSlotStatistics::adapterDurationsParameter() const {
  std::lock_guard lock(mutex_);
  return joinList(state_->statistics, kDurationKey);
}

std::string ZUMSlotStatistics::adapterFillStatusParameter() const {
  std::lock_guard lock(mutex_);
  auto it = state_->statistics.find(kFillStatusKey);
  if (it == state_->statistics.end() || !it->is_array()) return {};
  std::string joined;
  for (const auto& entry : *it) {
    auto text = fillStatusText(entry);
    if (!text) continue;
    if (!joined.empty()) joined += "_";
    joined += *text;
  }
  return joined;
}

std::string ZUMSlotStatistics::adapterFillStatusParameterOrderedByAllocationIDs(
    const std::vector<std::string>& allocationIDs) const {
  std::lock_guard lock(mutex_);
  auto it = state_->statistics.find(kFillStatusKey);
  if (it == state_->statistics.end() || !it->is_array()) return {};
  std::vector<bool> used(it->size(), false);
  std::string joined;
  for (const auto& id : allocationIDs) {
    for (std::size_t i = 0; i < it->size(); ++i) {
      if (used[i]) continue;
      const auto& entry = (*it)[i];
      if (!entry.is_object()) continue;
      auto entryID = entry.find(kAllocationIDKey);
      if (entryID == entry.end() || elementText(*entryID) != id) continue;
      auto text = fillStatusText(entry);
      if (!text) continue;
      used[i] = true;
      if (!joined.empty()) joined += "_";
      joined += *text;
      break;
    }
  }
  return joined;
}
