#include "platform/ui/Transition.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/View.h"

namespace platform {

namespace {

struct KeyedTransition {
  std::string key;
  Transition transition;
  std::uint64_t serial = 0;
};

// One view's layer. The weak reference tells a view that has gone from a new one made
// at the same address.
struct Layer {
  std::weak_ptr<const View> view;
  std::vector<KeyedTransition> running;
  std::uint64_t added = 0;
};

// Lives for the process; tests start without layers.
std::map<const View*, Layer>& layers() {
  static auto* made = [] {
    auto* map = new std::map<const View*, Layer>();
    registerTestingReset(map, [map] { map->clear(); });
    return map;
  }();
  return *made;
}

// Drops the layers of views that have gone, so the table never outgrows the live views.
void dropGoneLayers() {
  std::erase_if(layers(), [](const auto& entry) { return entry.second.view.expired(); });
}

Layer* find(const View& view) {
  auto& map = layers();
  auto it = map.find(&view);
  if (it == map.end()) return nullptr;
  if (it->second.view.expired()) {
    map.erase(it);
    return nullptr;
  }
  return &it->second;
}

}  // namespace

TimeInterval Transition::effectiveDuration() const {
  if (!(duration > 0)) return kDefaultDuration;  // NaN too
  return std::min(duration, kMaxDuration);
}

void LayerTransitions::add(const View& view, const Transition& transition, const std::string& key) {
  assertMainThread();
  Layer* layer = find(view);
  if (!layer) {
    dropGoneLayers();
    layer = &layers()[&view];
    layer->view = view.weak_from_this();
  }
  std::erase_if(layer->running, [&key](const KeyedTransition& t) { return t.key == key; });
  const std::uint64_t serial = ++layer->added;
  layer->running.push_back({key, transition, serial});
  std::weak_ptr<const View> weak = layer->view;
  DispatchQueue::main()->after(transition.effectiveDuration(), [weak, serial] {
    auto alive = weak.lock();
    Layer* owner = alive ? find(*alive) : nullptr;
    if (!owner) return;
    // Only the transition this timer was started for: a replacement keeps running.
    std::erase_if(owner->running, [serial](const KeyedTransition& t) { return t.serial == serial; });
  });
}

std::optional<Transition> LayerTransitions::forKey(const View& view, const std::string& key) {
  if (const Layer* layer = find(view)) {
    for (const auto& t : layer->running) {
      if (t.key == key) return t.transition;
    }
  }
  return std::nullopt;
}

std::vector<std::string> LayerTransitions::keys(const View& view) {
  std::vector<std::string> keys;
  if (const Layer* layer = find(view)) {
    for (const auto& t : layer->running) keys.push_back(t.key);
  }
  return keys;
}

void LayerTransitions::remove(const View& view, const std::string& key) {
  if (Layer* layer = find(view)) {
    std::erase_if(layer->running, [&key](const KeyedTransition& t) { return t.key == key; });
  }
}

void LayerTransitions::removeAll(const View& view) {
  if (Layer* layer = find(view)) layer->running.clear();
}

std::uint64_t LayerTransitions::addedCount(const View& view) {
  const Layer* layer = find(view);
  return layer ? layer->added : 0;
}

}  // namespace platform
