#include "sdk/foundation/ZUMConfiguration.h"

#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"

using nlohmann::ordered_json;

struct ZUMConfiguration::State {
  ordered_json values = ordered_json::object();
  std::unordered_map<std::string, Priority> priorities;
};

std::shared_ptr<ZUMConfiguration> ZUMConfiguration::create() { return std::make_shared<ZUMConfiguration>(); }

ZUMConfiguration::ZUMConfiguration()
    : queue_(platform::DispatchQueue::serial("com.vantor.morvane.configuration")), state_(std::make_unique<State>()) {}

ZUMConfiguration::~ZUMConfiguration() = default;

std::shared_ptr<ZUMConfigurationDelegate> ZUMConfiguration::delegate() const {
  std::lock_guard lock(delegateMutex_);
  return delegate_.lock();
}

void ZUMConfiguration::setDelegate(std::weak_ptr<ZUMConfigurationDelegate> delegate) {
  std::lock_guard lock(delegateMutex_);
  delegate_ = std::move(delegate);
}

bool ZUMConfiguration::apply(const std::string& key, const ordered_json& value, Priority priority) {
  auto stored = state_->priorities.find(key);
  if (stored != state_->priorities.end() && stored->second > priority) return false;
  auto existing = state_->values.find(key);
  if (value.is_null()) {
    state_->priorities.erase(key);
    if (existing == state_->values.end()) return false;
    state_->values.erase(existing);
    return true;
  }
  state_->priorities[key] = priority;
  if (existing != state_->values.end() && *existing == value) return false;
  state_->values[key] = value;
  return true;
}

void ZUMConfiguration::notifyDelegate() {
  if (auto delegate = this->delegate()) delegate->configurationDidChange(*this);
}

void ZUMConfiguration::setObject(const ordered_json& value, const std::string& key, Priority priority) {
  queue_->async([self = shared_from_this(), value, key, priority] {
    if (self->apply(key, value, priority)) self->notifyDelegate();
  });
}

void ZUMConfiguration::addEntriesFromDictionary(const ordered_json& dictionary, Priority priority) {
  if (!dictionary.is_object()) return;
  queue_->async([self = shared_from_this(), dictionary, priority] {
    bool changed = false;
    for (const auto& [key, value] : dictionary.items()) {
      if (self->apply(key, value, priority)) changed = true;
    }
    if (changed) self->notifyDelegate();
  });
}

std::optional<ordered_json> ZUMConfiguration::objectForKey(const std::string& key) const {
  return queue_->syncResult([&]() -> std::optional<ordered_json> {
    auto it = state_->values.find(key);
    if (it == state_->values.end()) return std::nullopt;
    return *it;
  });
}

std::optional<ZUMConfiguration::Priority> ZUMConfiguration::priorityForKey(const std::string& key) const {
  return queue_->syncResult([&]() -> std::optional<Priority> {
    auto it = state_->priorities.find(key);
    if (it == state_->priorities.end()) return std::nullopt;
    return it->second;
  });
}

ordered_json ZUMConfiguration::dictionary() const {
  return queue_->syncResult([&] { return state_->values; });
}
