// The key under which the interstitial cache keeps one pool: the ad unit and the values
// of the request parameters that the server's schema names. Two requests with the same
// key may share preloaded ads; a request that gets no key is never pooled.
//
// No key for: no ad unit, a request that is not cacheable (network extras), an ad unit
// that the exclusions pattern matches, or parameters that fail an allowed-schema
// pattern. Patterns run through the step-limited ZUMRegularExpression; an invalid one
// excludes or blocks nothing.
//
// Settings come from the user defaults (the server's constants) and are read afresh for
// each key; a setting of the wrong type counts as absent and its default applies.
//
// Pure functions, any thread; the interstitial calls them on the main thread, which
// waits for the answer, so every walk over the parameters is bounded.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

class ZUMRegularExpression;
class ZUMRequest;

inline constexpr const char* kZUMInterstitialPoolExclusionsKey =
    "/vantor/ads/zums:interstitial_ad_pool:ad_unit_exclusions";
inline constexpr const char* kZUMInterstitialPoolSchemaKey = "/vantor/ads/zums:interstitial_ad_pool:schema";
inline constexpr const char* kZUMInterstitialPoolFieldNamesKey = "/vantor/ads/zums:interstitial_ad_pool:field_names";
inline constexpr const char* kZUMInterstitialPoolAllowedPatternsKey =
    "/vantor/ads/zums:interstitial_ad_pool:allowed_schema_patterns";

struct ZUMInterstitialPoolKeySettings {
  // A dot path deeper than this, counting arrays, fails its pattern.
  static constexpr std::size_t kMaximumPathDepth = 32;

  // The settings stored now, each default where absent or of the wrong type.
  static ZUMInterstitialPoolKeySettings read();

  // Ad units that are never pooled; nullptr: none (also for an invalid pattern).
  std::shared_ptr<const ZUMRegularExpression> exclusions;
  // Schema fields in key order.
  std::vector<std::string> schema{"customTargeting", "extras", "networkType"};
  // Schema field -> request parameter name (a string), or null: no parameter. A field
  // without an entry names its parameter itself.
  nlohmann::ordered_json fieldNames = defaultFieldNames();
  // Dot path -> pattern, as stored (patterns compile when a key is made).
  std::vector<std::pair<std::string, std::string>> allowedPatterns;

  static nlohmann::ordered_json defaultFieldNames();
};

struct ZUMInterstitialPoolKey {
  // The key of `adUnitID` and `fields` (schema field -> parameter value).
  ZUMInterstitialPoolKey(std::string adUnitID, nlohmann::ordered_json fields);

  std::string adUnitID;
  nlohmann::ordered_json fields;
  // Compared by value: the same fields in any order give the same key.
  std::string canonical;

  bool operator==(const ZUMInterstitialPoolKey& other) const { return canonical == other.canonical; }
};

// The key of `request` for `adUnitID` with the settings stored now. `parameters`, when
// given, receives the request's JSON-safe thread-safe parameters that the key was made
// from (the cache persists them).
[[nodiscard]] std::optional<ZUMInterstitialPoolKey> ZUMInterstitialPoolKeyForRequest(
    const std::shared_ptr<ZUMRequest>& request, const std::string& adUnitID,
    nlohmann::ordered_json* parameters = nullptr);

// The key of request parameters already made JSON-safe.
[[nodiscard]] std::optional<ZUMInterstitialPoolKey> ZUMInterstitialPoolKeyForParameters(
    const std::string& adUnitID, const nlohmann::ordered_json& parameters,
    const ZUMInterstitialPoolKeySettings& settings);

// Whether `value` matches `pattern` along the dot path `path`: a missing component or a
// path that ends early matches; every element of an array must match (an empty array
// does); at the path's end the value's text must contain a match.
[[nodiscard]] bool ZUMInterstitialPoolValueMatchesPath(const nlohmann::ordered_json& value,
                                                       const ZUMRegularExpression& pattern, const std::string& path);
