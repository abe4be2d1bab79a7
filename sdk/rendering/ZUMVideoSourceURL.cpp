#include "sdk/rendering/ZUMVideoSourceURL.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "sdk/foundation/ZUMFiles.h"
#include "sdk/network/ZUMTCacheURL.h"

namespace {

std::string lowercaseScheme(const platform::URL& url) {
  std::string scheme = url.scheme().value_or("");
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return scheme;
}

}  // namespace

bool ZUMIsRemoteVideoSourceURL(const platform::URL& url) {
  const auto scheme = lowercaseScheme(url);
  const auto host = url.host();
  return (scheme == "http" || scheme == "https") && host && !host->empty();
}

bool ZUMIsAllowedVideoSourceURL(const platform::URL& url) {
  if (ZUMIsRemoteVideoSourceURL(url)) return true;
  if (url.isFileURL()) return ZUMPathInsideCacheDirectory(url).has_value();
  return ZUMURLFromTCacheURL(url).has_value();
}
