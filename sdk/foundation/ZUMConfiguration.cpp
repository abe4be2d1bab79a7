#include "sdk/foundation/ZUMConfiguration.h"

#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/JSONObjectIndex.h"
#include "platform/base/KeyedHash.h"

using nlohmann::ordered_json;

struct ZUMConfiguration::State {
  ordered_json values = ordered_json::object();
  std::unordered_map<std::string, Priority, platform::KeyedHash> priorities;  // keys a page chose
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

bool ZUMConfiguration::merge(const ordered_json& dictionary, Priority priority) {
  // One pass over the entries, each key found through an index and removals done together
  // at the end: a dictionary of many keys costs no more per key than one of few.
  auto& members = state_->values.get_ref<ordered_json::object_t&>();
  platform::JSONObjectIndex keys(members);
  bool changed = false, removed = false;
  for (const auto& [key, value] : dictionary.items()) {
    auto stored = state_->priorities.find(key);
    if (stored != state_->priorities.end() && stored->second > priority) continue;
    ordered_json* existing = keys.find(key);
    if (value.is_null()) {
      if (stored != state_->priorities.end()) state_->priorities.erase(stored);
      if (!existing) continue;
      *existing = ordered_json(ordered_json::value_t::discarded);  // removed below
      changed = removed = true;
      continue;
    }
    state_->priorities.insert_or_assign(key, priority);
    if (existing && *existing == value) continue;
    keys[key] = value;
    changed = true;
  }
  if (removed) {
    ordered_json::object_t kept;
    kept.reserve(members.size());
    for (auto& member : members) {
      if (!member.second.is_discarded()) kept.emplace_back(member.first, std::move(member.second));
    }
    members = std::move(kept);
  }
  return changed;
}

void ZUMConfiguration::notifyDelegate() {
  if (auto delegate = this->delegate()) delegate->configurationDidChange(*this);
}

void ZUMConfiguration::setObject(const ordered_json& value, const std::string& key, Priority priority) {
  ordered_json entry = ordered_json::object();
  entry[key] = value;
  queue_->async([self = shared_from_this(), entry = std::move(entry), priority] {
    if (self->merge(entry, priority)) self->notifyDelegate();
  });
}

void ZUMConfiguration::addEntriesFromDictionary(const ordered_json& dictionary, Priority priority) {
  if (!dictionary.is_object()) return;
  queue_->async([self = shared_from_this(), dictionary, priority] {
    if (self->merge(dictionary, priority)) self->notifyDelegate();
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
