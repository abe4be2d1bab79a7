// Stamping tracking URLs with the analytics ad-event id, on arbitrary URLs, schema
// patterns and ids. The input is cut at NUL bytes into a mode byte, an ad-event id,
// schema patterns (one a line) and URLs (one a line). Nothing crashes, every output is a
// URL the platform parses, none repeats, there are no more than the URLs given, and no
// more events are logged than URLs were stamped.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "sdk/telemetry/ZUMAnalytics.h"

namespace {

using Stubs = ZUMStubsForQENAnalytics;

struct Framework : Stubs::Identifiers, Stubs::InternalEventLogger {
  std::optional<std::string> vantorAppID() override { return std::nullopt; }
  std::optional<std::string> appInstanceID() override { return std::nullopt; }
  std::optional<std::string> adEventID() override { return eventID; }
  void logInternalEventWithOrigin(const std::string&, const std::string&, const nlohmann::ordered_json&) override {
    ++events;
  }
  std::optional<std::string> eventID;
  std::size_t events = 0;
};

struct FrameworkClass : Stubs::Class {
  std::shared_ptr<Stubs::Object> sharedInstance() override { return framework; }
  std::shared_ptr<Framework> framework;
};

std::shared_ptr<Framework> installedFramework() {
  static const auto framework = [] {
    fuzzenv::setUpOnce("analytics_stamping");
    auto made = std::make_shared<Framework>();
    for (const char* name : {ZUMAnalytics::kIdentifiersClassName, ZUMAnalytics::kAnalyticsClassName}) {
      platform::ClassRegistry::shared().registerClass<Stubs::Class>(name, [made] {
        auto frameworkClass = std::make_shared<FrameworkClass>();
        frameworkClass->framework = made;
        return frameworkClass;
      });
    }
    (void)platform::UserDefaults::standard().setObject("1", "/vantor/ads/zums:sai:enabled");
    return made;
  }();
  return framework;
}

std::vector<std::string_view> cut(std::string_view text, char separator, std::size_t maxPieces) {
  std::vector<std::string_view> pieces;
  while (pieces.size() + 1 < maxPieces) {
    const std::size_t end = text.find(separator);
    if (end == std::string_view::npos) break;
    pieces.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  pieces.push_back(text);
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto framework = installedFramework();
  auto parts = cut(std::string_view(reinterpret_cast<const char*>(data), size), '\0', 4);
  parts.resize(4);
  const char mode = parts[0].empty() ? 0 : parts[0][0];
  framework->eventID = (mode & 4) ? std::nullopt : std::optional<std::string>(parts[1]);
  framework->events = 0;

  nlohmann::ordered_json schema = nlohmann::ordered_json::array();
  for (auto pattern : cut(parts[2], '\n', 16)) schema.push_back(std::string(pattern));
  auto& defaults = platform::UserDefaults::standard();
  (void)defaults.setObject((mode & 1) ? "1" : "0", "/vantor/ads/zums:sai:using_macro:enabled");
  (void)defaults.setObject(schema, "/vantor/ads/zums:sai:click_ping_schema");
  (void)defaults.setObject(schema, "/vantor/ads/zums:sai:impression_ping_schema");

  std::vector<std::string> strings;
  for (auto line : cut(parts[3], '\n', 64)) strings.emplace_back(line);
  const auto stamped = ZUMTrackingURLStringsWithAdEventID(strings, (mode & 2) ? "_ac" : "_ai");
  std::set<std::string> seen;
  for (const std::string& url : stamped.value_or(std::vector<std::string>{})) {
    fuzzenv::check(platform::URL::fromString(url).has_value());
    fuzzenv::check(seen.insert(url).second);
  }
  fuzzenv::check(seen.size() <= strings.size());
  fuzzenv::check(framework->events <= strings.size());
  fuzzenv::drainMainLoop();  // the log lines of patterns that do not compile
  return 0;
}
