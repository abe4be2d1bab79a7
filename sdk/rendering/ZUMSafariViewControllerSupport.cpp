#include "sdk/rendering/ZUMSafariViewControllerSupport.h"

#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"

bool ZUMSafariViewControllerSupportsURL(const platform::URL& url) {
  const auto schemes = ZUMUserDefaults::stringArrayForKey("/vantor/ads/zums:safariviewcontroller_supported_schemes")
                           .value_or(std::vector<std::string>{"http", "https"});
  const auto scheme = ZUMLowercasedScheme(url);
  for (const auto& supported : schemes) {
    if (supported == scheme) return true;
  }
  return false;
}
