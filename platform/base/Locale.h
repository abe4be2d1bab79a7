// The user's current locale, named as the system names locales: language, then region,
// joined by "_" ("en_US", "en_GB"). The device this platform models is set to "en_US"
// until a device profile or a test says otherwise. Thread-safe.
#pragma once

#include <string>

namespace platform {

class Locale {
 public:
  // The identifier of the current locale.
  static std::string currentLocaleIdentifier();
  // Sets it (device profiles, tests); an empty identifier is refused.
  static void setCurrentLocaleIdentifier(std::string identifier);
};

}  // namespace platform
