// An ad's auto-click protection setting: whether open actions that the page starts
// before the user ever touched the ad view are blocked. Made by the ad's safe-browsing
// reporter from its "protection_enabled" setting and handed to the opener. This is the
// part the network layer needs; the blocked-action reports belong to the click
// handling that the opener brings.
//
// Immutable once made; any thread.
#pragma once

#include <memory>

class ZUMAutoClickProtection {
 public:
  // A protection with that flag and no report templates (reports go to the SDK-core
  // page).
  static std::shared_ptr<ZUMAutoClickProtection> create(bool enabled);

  bool isEnabled() const { return enabled_; }

 private:
  explicit ZUMAutoClickProtection(bool enabled) : enabled_(enabled) {}

  const bool enabled_;
};
