// Stamping tracking URLs with the analytics ad-event id (macro mode and schema mode).
#include "sdk/telemetry/ZUMAnalytics.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/KeyedHash.h"
#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMRegularExpression.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

using Schema = std::vector<std::shared_ptr<const ZUMRegularExpression>>;

constexpr std::string_view kMacro = "[pw_lvnaeid]";
constexpr std::string_view kAdEventIDKey = "lvn_aeid";
// Patterns are logged cut to this many bytes: the server's text, not ours.
constexpr std::size_t kLoggedPatternLength = 200;

// URLs in the order first added, each once; a server chooses them, hence the keyed hash.
class URLList {
 public:
  void add(platform::URL url) {
    if (seen_.insert(url.absoluteString()).second) urls_.push_back(std::move(url));
  }
  std::vector<platform::URL> take() { return std::move(urls_); }

 private:
  std::vector<platform::URL> urls_;
  std::unordered_set<std::string, platform::KeyedHash> seen_;
};

std::size_t findIgnoringASCIICase(std::string_view text, std::string_view target, std::size_t from) {
  for (std::size_t at = from; at + target.size() <= text.size(); ++at) {
    if (platform::equalsIgnoringASCIICase(text.substr(at, target.size()), target)) return at;
  }
  return std::string_view::npos;
}

// `text` with every occurrence of `target` replaced, ignoring ASCII case: percent
// escapes ("%5B" and "%5b") stand for the same character.
std::string replacingAll(std::string_view text, std::string_view target, std::string_view replacement) {
  std::string result;
  std::size_t from = 0;
  for (std::size_t at; (at = findIgnoringASCIICase(text, target, from)) != std::string_view::npos;
       from = at + target.size()) {
    result.append(text.substr(from, at - from)).append(replacement);
  }
  return result.append(text.substr(from));
}

// The URL with its macro replaced by the id; nullopt when it carries no macro to fill.
std::optional<platform::URL> macroStamped(const platform::URL& url, const std::string& adEventID) {
  if (ZUMQueryValueForKey(url, kAdEventIDKey) != kMacro) return std::nullopt;
  static const std::string escapedMacro = ZUMPercentEncodedString(kMacro);
  const std::string& text = url.absoluteString();
  // Encoded, so an id holding "&", "=" or "#" keeps the query's shape.
  const std::string id = ZUMPercentEncodedString(adEventID);
  // A URL cannot hold the plain macro ("[" and "]" are delimiters): only its escaped
  // form is there to replace.
  if (findIgnoringASCIICase(text, escapedMacro, 0) == std::string::npos) return std::nullopt;
  return platform::URL::fromString(replacingAll(text, escapedMacro, id));
}

std::optional<platform::URL> schemaStamped(const platform::URL& url, const Schema& schema,
                                           const std::string& adEventID) {
  if (ZUMQueryValueForKey(url, kAdEventIDKey)) return std::nullopt;
  const bool matches = std::any_of(schema.begin(), schema.end(),
                                   [&](const auto& expression) { return expression->matches(url.absoluteString()); });
  if (!matches) return std::nullopt;
  return ZUMURLByAppendingQueryParameters(url, nlohmann::ordered_json{{kAdEventIDKey, adEventID}});
}

bool macroModeEnabled() {
  return ZUMUserDefaults::boolForKey("/vantor/ads/zums:sai:using_macro:enabled").value_or(false);
}

Schema compiled(const std::vector<std::string>& patterns) {
  Schema schema;
  for (const std::string& pattern : patterns) {
    // An empty pattern would match every URL.
    auto expression =
        pattern.empty() ? nullptr : ZUMRegularExpression::create(pattern, ZUMRegularExpression::kCaseInsensitive);
    if (expression) {
      schema.push_back(std::move(expression));
    } else {
      ZUMLog(kZUMLogLevelDefault, "Analytics ping schema pattern skipped, it does not compile: \"" +
                                      pattern.substr(0, kLoggedPatternLength) + "\"");
    }
  }
  return schema;
}

// The compiled patterns of the event's schema. The last compiled list of each key is
// kept, so a click compiles nothing and a bad pattern is logged once per delivery.
Schema schemaForEvent(const std::string& eventName) {
  const char* key = eventName == "_ai"   ? "/vantor/ads/zums:sai:impression_ping_schema"
                    : eventName == "_ac" ? "/vantor/ads/zums:sai:click_ping_schema"
                                         : nullptr;
  if (!key) return {};
  auto patterns = ZUMUserDefaults::stringArrayForKey(key).value_or(std::vector<std::string>{});
  struct Cache {
    std::mutex mutex;
    std::map<std::string, std::pair<std::vector<std::string>, Schema>> byKey;
  };
  // Never destroyed: stamping may run while the process exits.
  static auto* cache = [] {
    auto* made = new Cache();
    platform::registerTestingReset(made, [made] {
      std::lock_guard lock(made->mutex);
      made->byKey.clear();
    });
    return made;
  }();
  std::lock_guard lock(cache->mutex);
  auto& [cachedPatterns, schema] = cache->byKey[key];
  if (cachedPatterns != patterns) {
    schema = compiled(patterns);
    cachedPatterns = std::move(patterns);
  }
  return schema;
}

}  // namespace

std::vector<platform::URL> ZUMTrackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                        const std::string& eventName) {
  auto analytics = ZUMAnalytics::sharedInstance();
  if (!analytics) return urls;
  const auto adEventID = analytics->adEventID();
  const bool macroMode = macroModeEnabled();
  const Schema schema = macroMode || !adEventID ? Schema{} : schemaForEvent(eventName);
  URLList result;
  for (const platform::URL& url : urls) {
    std::optional<platform::URL> stamped;
    if (adEventID) stamped = macroMode ? macroStamped(url, *adEventID) : schemaStamped(url, schema, *adEventID);
    if (stamped) analytics->logEventWithName(eventName, adEventID);
    result.add(stamped ? std::move(*stamped) : url);
  }
  return result.take();
}

std::optional<std::vector<std::string>> ZUMTrackingURLStringsWithAdEventID(const std::vector<std::string>& strings,
                                                                           const std::string& eventName) {
  std::vector<std::string> escaped;
  if (ZUMAnalytics::sharedInstance() && macroModeEnabled()) {
    // The plain macro makes a string no URL: escaped, the string is stamped, not dropped.
    static const std::string escapedMacro = ZUMPercentEncodedString(kMacro);
    for (const std::string& string : strings) escaped.push_back(replacingAll(string, kMacro, escapedMacro));
  }
  auto urls = ZUMURLsFromStrings(escaped.empty() ? strings : escaped);
  if (!urls) return std::nullopt;
  return ZUMStringsFromURLs(ZUMTrackingURLsWithAdEventID(*urls, eventName));
}
