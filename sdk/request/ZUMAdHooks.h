// Where the subsystems above the ad model plug into its pings and its response headers:
// the analytics bridge, which stamps tracking URLs with its ad-event id, content
// fingerprinting, which a response switches on and off, and the reward of a rewarded
// ad. Each hook is empty until its subsystem registers it, once, at start-up; an empty
// hook does what its comment says. Thread-safe.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"

class ZUMAdReward;

struct ZUMAdHooks {
  // The URLs to ping for an event ("_ac" a click, "_ai" an impression), with the
  // analytics ad-event id inserted where the analytics configuration asks for it; logs
  // the event. Empty, or no analytics bridge: the URLs as given.
  std::function<std::vector<platform::URL>(const std::vector<platform::URL>& urls, const std::string& eventName)>
      trackingURLsWithAdEventID;
  // Start and stop content fingerprinting. Empty: nothing.
  std::function<void()> startContentHashing;
  std::function<void()> stopContentHashing;
  // The reward made from a reward dictionary ("rb_type", "rb_amount"), or nullptr.
  // Empty: no reward.
  std::function<std::shared_ptr<ZUMAdReward>(const nlohmann::ordered_json& dictionary)> makeReward;
};

// Fills the hooks that `fill` sets; earlier fillings of other hooks stay.
void ZUMRegisterAdHooks(const std::function<void(ZUMAdHooks&)>& fill);
// A copy of the hooks as registered so far.
ZUMAdHooks ZUMCurrentAdHooks();
