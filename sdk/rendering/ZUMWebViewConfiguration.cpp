#include "sdk/rendering/ZUMWebViewConfiguration.h"

#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMUserDefaults.h"

ZUMWebViewConfiguration::ZUMWebViewConfiguration() {
  // Only a string names an engine; anything else anybody stored there is ignored.
  auto key = platform::UserDefaults::standard().objectForKey("/vantor/ads/wv_class");
  if (key && key->is_string() && !key->get_ref<const std::string&>().empty()) {
    webViewClassKey_ = key->get<std::string>();
  } else {
    webViewClassKey_ = "ui";
  }
  mediaPlaybackRequiresUserAction_ = ZUMUserDefaults::boolForKey("/vantor/ads/banner_prevent_autoplay").value_or(false);
}
