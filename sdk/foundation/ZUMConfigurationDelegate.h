// What the owner of a ZUMConfiguration hears: one notice after each write or merge that
// changed at least one value. Called on the configuration's own serial queue; the
// configuration may be read from the notice (reads on that queue do not block).
#pragma once

class ZUMConfiguration;

class ZUMConfigurationDelegate {
 public:
  virtual ~ZUMConfigurationDelegate() = default;
  virtual void configurationDidChange(ZUMConfiguration& configuration) = 0;
};
