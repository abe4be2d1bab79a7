#include "sdk/network/ZUMTCacheURL.h"

#include "sdk/foundation/ZUMURLUtilities.h"

std::optional<platform::URL> ZUMURLFromTCacheURL(const std::optional<platform::URL>& url) {
  if (!ZUMURLHasScheme(url, "tcache")) return std::nullopt;
  auto inner = ZUMQueryValueForKey(url, "url");
  if (!inner) return std::nullopt;
  auto result = platform::URL::fromString(*inner);
  if (!result || !(ZUMURLHasScheme(result, "http") || ZUMURLHasScheme(result, "https"))) return std::nullopt;
  return result;
}
