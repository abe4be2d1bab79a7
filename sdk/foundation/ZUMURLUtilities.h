// URL helpers: query parameters read and appended, path pieces, scheme and host tests,
// percent-encoding, and lists of URLs made from strings and back. Every URL is a
// platform::URL; a parameter that may be missing is a std::optional. Pure functions;
// any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "platform/net/HTTPHeaderFields.h"
#include "platform/net/URLRequest.h"

// A dictionary from key to value, both strings. The text is the URL's query or, when it
// has none, what follows the first "?" of its resource specifier, fragment included
// (no "?": empty). Pieces
// are split at "&" and ";"; a piece counts only when it splits at "=" into exactly two
// parts; key and value are percent-decoded (a pair that fails to decode is skipped);
// keys are lower-cased when asked; a later pair replaces an earlier one.
nlohmann::ordered_json ZUMQueryParametersFromURL(const std::optional<platform::URL>& url, bool lowercaseKeys);
// The same dictionary from a query's text, read in place. Linear in the text: a later
// duplicate key is found through an index, never by scanning the pairs read so far.
nlohmann::ordered_json ZUMQueryParametersFromString(std::string_view query, bool lowercaseKeys);
// The text ZUMQueryParametersFromURL reads (empty when there is none); `storage` keeps
// the text alive when it is not the URL's own query.
std::string_view ZUMQueryTextOfURL(const platform::URL& url, std::string& storage);
// How many "&"- or ";"-separated pieces the text holds (one more than its separators).
std::size_t ZUMQueryPieceCount(std::string_view query);
// Every percent-decoded value of `key` in the URL's "&"-separated query, in order, from
// pieces that split at "=" into exactly two parts; std::nullopt when there is none.
[[nodiscard]] std::optional<std::vector<std::string>> ZUMQueryValuesForKey(const std::optional<platform::URL>& url,
                                                                           std::string_view key);
// The first of them.
[[nodiscard]] std::optional<std::string> ZUMQueryValueForKey(const std::optional<platform::URL>& url,
                                                             std::string_view key);

// The URL with each pair of `parameters` (a dictionary, in its order) appended as key,
// "=" and the percent-encoded value (a string as it is, a number as its text), after "?"
// when the URL has no query yet and "&" otherwise (nothing more after a query that ends
// in "?" or "&"); a key whose encoded value is empty is
// appended alone. A tail matching "[&?]adurl=.*" is cut out and appended again last,
// since the ad server reads everything after "adurl=" as the destination. Parameters go
// before a fragment. Characters of a key that would end the pair ("&", "=", "#", ";",
// "+") or cannot stand in a URL are percent-encoded. No parameters: the URL unchanged;
// std::nullopt when the result is not a URL.
[[nodiscard]] std::optional<platform::URL> ZUMURLByAppendingQueryParameters(const platform::URL& url,
                                                                            const nlohmann::ordered_json& parameters);

// The third and fourth path components ("/" counted first) joined by "/"
// ("/a/b/c" -> "b/c"); std::nullopt when the path has fewer.
[[nodiscard]] std::optional<std::string> ZUMURLInnerPathString(const platform::URL& url);
// The absolute string without its fragment ("#" on).
std::string ZUMURLStringWithoutFragment(const platform::URL& url);
// The URL's scheme in ASCII lower case; "" when it has none.
std::string ZUMLowercasedScheme(const platform::URL& url);
// Whether opening the URL leaves for another application: false without a scheme and
// for the schemes that would run or read something inside this one (file, about,
// javascript, data).
[[nodiscard]] bool ZUMURLOpensInAnotherApplication(const platform::URL& url);
// Whether the scheme (host) equals `string` ignoring case; false without URL or host.
[[nodiscard]] bool ZUMURLHasScheme(const std::optional<platform::URL>& url, std::string_view scheme);
[[nodiscard]] bool ZUMURLHasHost(const std::optional<platform::URL>& url, std::string_view host);
// Whether the URL's absolute string matches any of the regular expressions, ignoring
// case; invalid patterns never match; false without URL or patterns.
[[nodiscard]] bool ZUMURLMatchesAnyPattern(const std::optional<platform::URL>& url,
                                           const std::vector<std::string>& patterns);

// The string with one trailing "/" removed.
[[nodiscard]] std::optional<std::string> ZUMStringByRemovingTrailingSlash(std::optional<std::string> string);
// UTF-8 percent-encoding that leaves only ASCII letters, digits and "-._~" as they are
// (so "!*'();:@&=+$,/?%#[]" are escaped too).
std::string ZUMPercentEncodedString(std::string_view string);

// The URLs that the strings make, in order, the others skipped; std::nullopt when none.
[[nodiscard]] std::optional<std::vector<platform::URL>> ZUMURLsFromStrings(const std::vector<std::string>& strings);
// The absolute strings of the URLs; std::nullopt when there are none.
[[nodiscard]] std::optional<std::vector<std::string>> ZUMStringsFromURLs(const std::vector<platform::URL>& urls);
// The URLs of the pieces of `string` between runs of white space, in order; pieces that
// make no URL are skipped. Empty for no string.
std::vector<platform::URL> ZUMURLsFromWhitespaceSeparatedString(std::optional<std::string_view> string);

// A request for `url` (std::nullopt without one): `headers`, when given, become all its
// header fields; "User-Agent" is the SDK's web user agent when there is one (ZUMNetwork);
// with both a body and a content type it is a "POST" of the body with "Content-Length"
// and "Content-Type"; otherwise a plain GET. Call from any thread.
[[nodiscard]] std::optional<platform::URLRequest> ZUMURLRequestWithBody(
    const std::optional<platform::URL>& url, std::optional<std::string> body,
    std::optional<platform::HTTPHeaderFields> headers, std::optional<std::string> contentType);
