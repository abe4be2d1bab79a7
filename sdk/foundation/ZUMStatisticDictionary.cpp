#include "sdk/foundation/ZUMStatisticDictionary.h"

#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"

using nlohmann::ordered_json;

struct ZUMStatisticDictionary::State {
  ordered_json values = ordered_json::object();
  std::unordered_map<std::string, std::int64_t> maxSizes;
  bool noticePending = false;
};

std::shared_ptr<ZUMStatisticDictionary> ZUMStatisticDictionary::create(
    std::weak_ptr<ZUMStatisticDictionaryDelegate> delegate) {
  return std::make_shared<ZUMStatisticDictionary>(std::move(delegate));
}

ZUMStatisticDictionary::ZUMStatisticDictionary(std::weak_ptr<ZUMStatisticDictionaryDelegate> delegate)
    : queue_(platform::DispatchQueue::serial("com.vantor.morvane.statistics")),
      delegate_(std::move(delegate)),
      state_(std::make_unique<State>()) {}

ZUMStatisticDictionary::~ZUMStatisticDictionary() = default;

std::shared_ptr<ZUMStatisticDictionaryDelegate> ZUMStatisticDictionary::delegate() const { return delegate_.lock(); }

std::optional<ordered_json> ZUMStatisticDictionary::objectForKey(const std::string& key) const {
  return queue_->syncResult([&]() -> std::optional<ordered_json> {
    auto it = state_->values.find(key);
    if (it == state_->values.end()) return std::nullopt;
    return *it;
  });
}

ordered_json ZUMStatisticDictionary::dictionary() const {
  return queue_->syncResult([&] { return state_->values; });
}

void ZUMStatisticDictionary::didChange(bool shouldNotifyDelegate) {
  if (!shouldNotifyDelegate || state_->noticePending) return;
  state_->noticePending = true;
  queue_->async([self = shared_from_this()] {
    self->state_->noticePending = false;
    if (auto delegate = self->delegate()) delegate->statisticDictionaryDidChange(*self);
  });
}

void ZUMStatisticDictionary::trim(const std::string& key) {
  auto max = state_->maxSizes.find(key);
  if (max == state_->maxSizes.end()) return;
  auto it = state_->values.find(key);
  if (it == state_->values.end() || !it->is_array()) return;
  const auto limit = static_cast<std::size_t>(max->second);
  if (it->size() <= limit) return;
  const auto drop = static_cast<std::ptrdiff_t>(it->size() - limit);
  it->erase(it->begin(), it->begin() + drop);
}

void ZUMStatisticDictionary::setObject(const ordered_json& value, const std::string& key) {
  setObject(value, key, true);
}

void ZUMStatisticDictionary::setObject(const ordered_json& value, const std::string& key, bool shouldNotifyDelegate) {
  queue_->async([self = shared_from_this(), value, key, shouldNotifyDelegate] {
    if (value.is_null()) {
      self->state_->values.erase(key);
    } else {
      self->state_->values[key] = value;
    }
    self->didChange(shouldNotifyDelegate);
  });
}

namespace {

ordered_json incremented(const ordered_json& value) {
  if (value.is_number_unsigned()) {
    const auto n = value.get<std::uint64_t>();
    return n == std::numeric_limits<std::uint64_t>::max() ? n : n + 1;
  }
  if (value.is_number_integer()) {
    const auto n = value.get<std::int64_t>();
    return n == std::numeric_limits<std::int64_t>::max() ? n : n + 1;
  }
  if (value.is_number_float()) {
    const double d = value.get<double>();
    if (std::isfinite(d)) return d + 1.0;
  }
  return 1;
}

}  // namespace

void ZUMStatisticDictionary::incrementNumberForKey(const std::string& key, bool shouldNotifyDelegate) {
  queue_->async([self = shared_from_this(), key, shouldNotifyDelegate] {
    auto& values = self->state_->values;
    auto it = values.find(key);
    values[key] = it == values.end() ? ordered_json(1) : incremented(*it);
    self->didChange(shouldNotifyDelegate);
  });
}

void ZUMStatisticDictionary::addObject(const ordered_json& value, const std::string& key, bool shouldNotifyDelegate) {
  if (value.is_null()) return;
  queue_->async([self = shared_from_this(), value, key, shouldNotifyDelegate] {
    auto& slot = self->state_->values[key];
    if (!slot.is_array()) slot = ordered_json::array();
    slot.push_back(value);
    self->trim(key);
    self->didChange(shouldNotifyDelegate);
  });
}

void ZUMStatisticDictionary::setMaxSize(std::int64_t maxSize, const std::string& key) {
  queue_->async([self = shared_from_this(), maxSize, key] {
    self->state_->maxSizes[key] = maxSize < 0 ? 0 : maxSize;
    self->trim(key);
  });
}
