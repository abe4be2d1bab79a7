#include "platform/base/Locale.h"

#include <mutex>
#include <utility>

#include "platform/base/TestingReset.h"

namespace platform {

namespace {

constexpr const char* kDefaultLocaleIdentifier = "en_US";

struct CurrentLocale {
  std::mutex mutex;
  std::string identifier = kDefaultLocaleIdentifier;
};

CurrentLocale& current() {
  // Never destroyed: any thread may read it while the process ends.
  static CurrentLocale* locale = [] {
    auto* made = new CurrentLocale();
    registerTestingReset(made, [made] {
      std::lock_guard lock(made->mutex);
      made->identifier = kDefaultLocaleIdentifier;
    });
    return made;
  }();
  return *locale;
}

}  // namespace

std::string Locale::currentLocaleIdentifier() {
  auto& locale = current();
  std::lock_guard lock(locale.mutex);
  return locale.identifier;
}

void Locale::setCurrentLocaleIdentifier(std::string identifier) {
  if (identifier.empty()) return;
  auto& locale = current();
  std::lock_guard lock(locale.mutex);
  locale.identifier = std::move(identifier);
}

}  // namespace platform
