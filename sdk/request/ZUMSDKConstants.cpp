#include "sdk/request/ZUMSDKConstants.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/base/JSONObjectIndex.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/StringConversions.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLocationService.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/request/ZUMSDKCoreController.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kPrefix = "/vantor/ads/";
constexpr std::int64_t kMaxUnloadCacheSize = 1000;
constexpr double kMaxSamplingInterval = 3600.0;

constexpr const char* kFirstGroup[] = {
    "bad_ad_report_path",
    "use_cancelled_url_error",
    "as_domains",
    "native_ad_support_url",
    "native_ad_video_support_url",
    "banner_prevent_autoplay",
    "ad_key_parent_view_count",
    "foreground_ping_enabled",
    "foreground_ping_delay",
    "foreground_ping_url",
    "volume_view",
    "bg_reload_enabled",
    "native-indiscriminate-recognition",
    "disable_interstitial_click_ping_on_click_navigation",
    "prefetch_enabled",
    "deeplinkplus_enabled",
    "strict_universal_links_option_name",
    "enable_refresh_tolm_protection",
    "show_landing_page_in_custom_browser",
    "zums:app_settings_stale_time",
    "zums:rbv_cld_early_set_up",
    "zums:idfa_lat_in_adrequest:enabled",
    "zums:rdiim_signal",
    "zums:rendered_content_check:enabled",
    "handle_iframe_navigation",
    "zums:mediating_slot_check:enabled",
    "zums:custom_close_blocking:enabled",
    "zums:close_button:scale",
    "zum:interstitial:close_button_padding_dip",
    "default_ad_network_timeout",
    "default_final_ad_network_timeout",
    "wv_class",
    "vqs_wv_class",
    "wk_initialization_load",
    "zums:sdk_core_wv_experiment:fraction",
    "zums:sdk_core_wv_experiment:control",
    "zums:sdk_core_wv_experiment:experiment",
    "wv_viewport_script",
    "wv_content_size_delay",
    "enable_http_web_view_pings",
    "wv_request_poll_interval",
    "ad_view_placeholder_window",
};

// The second group up to "sb_greedy", then up to "zums:banner_ad_pool:schema", then the rest.
constexpr const char* kSecondGroupA[] = {
    "url_time_to_live",
    "maximum_retry_url_count",
    "ping_interval",
    "iap_equivalent_classes",
    "iap_report_format",
    "iap_retry_suffix",
    "content_age_weight",
    "content_length_weight",
    "space_delimited_unicode_range",
    "minimum_paragraph_length",
    "maximum_shingle_count",
    "content_queue_maximum_capacity",
    "shingle_length",
    "traversal_interval",
    "character_delimited_unicode_range",
    "csi_request_batch_size",
    "csi_reporting_probability",
    "csi_reporting_interval",
    "csi_reporting_url",
    "zums:interstitial_ad_pool:enabled",
    "zums:interstitial_ad_pool:max_pools",
    "zums:interstitial_ad_pool:max_pool_depth",
    "zums:interstitial_ad_pool:time_limit_sec",
    "zums:interstitial_ad_pool:refill_policy",
    "zums:interstitial_ad_pool:ad_unit_exclusions",
    "sb_render_delay",
};
constexpr const char* kSecondGroupB[] = {
    "sb_response",
    "view_controller_only_supports_application_orientation",
    "application_supports_split_screen",
    "enable_in_app_preview",
    "in_app_preview_status_url",
    "debug_device_linking_url",
    "enable_debug_signals",
    "debug_signal_status_url",
    "debug_signal_data_url",
    "opengl_external_pitch_multiplier",
    "opengl_external_roll_mulitiplier",
    "video_processing_output_empty_frame_timeinterval_threshold",
    "js_should_run_in_default_run_loop_mode",
    "zums:native_video_load_timeout",
    "zums:js_async_delay_time",
    "zum:media_view_scrollview_disable",
    "zum:delay_page_close_timeout",
    "zums:video_playback_optimization_disabled",
    "zums:player_to_video_manager_reporting_disabled",
    "zums:video_configuration",
    "zums:tcache_should_use_advance_video_control",
    "zums:pub_unmuted_video_audio_category_control_enabled",
    "zums:interstitial_player_to_video_manager_reporting_enabled",
    "zums:impression_optimization_enabled",
};
constexpr const char* kSecondGroupC[] = {
    "zums:banner_ad_pool:max_pools",
    "zums:banner_ad_pool:max_queues",
    "zum:native_ad_statistics_max_count",
    "zums:sdk_core_constants:caps",
    "zum:rbv_max_app_background_time_without_dismissing_ad_ms",
};

class Delivery {
 public:
  explicit Delivery(const Json& constants) : constants_(constants.is_object() ? constants : Json::object()) {}

  // The constant's text; any other JSON type counts as absent.
  std::optional<std::string> value(std::string_view key) const { return ZUMJSONStringForKey(constants_, key); }
  bool boolValue(std::string_view key) const { return ZUMJSONBoolForKey(constants_, key, false, ZUMJSONStrings::Read); }
  std::optional<double> number(std::string_view key) const {
    return ZUMJSONDoubleForKey(constants_, key, ZUMJSONStrings::Read);
  }

  void standardWrite(std::string_view key, std::optional<std::string> under = std::nullopt) const {
    auto text = value(key);
    if (!text || text->empty()) return;
    store(*text, under ? *under : switchKey(key));
  }
  // A list switch follows each delivery: absent removes it.
  void listWrite(std::string_view key) const {
    auto text = value(key);
    if (!text) {
      defaults().removeObjectForKey(switchKey(key));
      return;
    }
    Json list = Json::array();
    std::string_view rest = *text;
    while (true) {
      const auto comma = rest.find(',');
      list.push_back(std::string(rest.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    store(list, switchKey(key));
  }
  // A JSON dictionary of strings, when it has any.
  void stringMapWrite(std::string_view key) const {
    auto object = decoded(key);
    if (!object || !object->is_object()) return;
    Json map = Json::object();
    platform::JSONObjectIndex keys(map.get_ref<Json::object_t&>());  // the server chooses how many
    for (const auto& [name, entry] : object->items()) {
      if (entry.is_string()) keys[name] = entry;
    }
    if (!map.empty()) store(map, switchKey(key));
  }
  std::optional<Json> decoded(std::string_view key) const {
    auto text = value(key);
    if (!text) return std::nullopt;
    platform::ErrorPtr error;
    auto result = zum_decodedJSONObjectError(*text, &error);
    if (!result) ZUMLog(kZUMLogLevelDefault, "Skipped the SDK constant " + std::string(key) + ": not JSON.");
    return result;
  }
  const Json& constants() const { return constants_; }

  static std::string switchKey(std::string_view key) { return std::string(kPrefix) + std::string(key); }
  static platform::UserDefaults& defaults() { return platform::UserDefaults::standard(); }
  // Writes a switch; a value the defaults cannot hold (a null inside) is refused and
  // logged, never written.
  static void store(const Json& value, const std::string& key) {
    if (!defaults().setObject(value, key)) {
      ZUMLog(kZUMLogLevelDefault, "Skipped the SDK switch " + key + ": not a property list.");
    }
  }

 private:
  Json constants_;
};

void writeExperimentIDs(const Delivery& delivery, const ZUMSDKConstantsTargets& targets) {
  const std::string key = Delivery::switchKey("experiment_id_string");
  Delivery::defaults().removeObjectForKey(key);
  if (delivery.value("experiment_id_string")) {
    delivery.standardWrite("experiment_id_string");
    return;
  }
  std::string joined;
  auto add = [&](const std::string& piece) { joined += (joined.empty() ? "" : ",") + piece; };
  bool any = false;
  for (const auto& [name, value] : delivery.constants().items()) {
    if (name.ends_with("experiment_id") && value.is_string()) {
      add(value.get<std::string>());
      any = true;
    }
  }
  if (targets.webViewExperimentID) {
    add(*targets.webViewExperimentID);
    any = true;
  }
  if (any) Delivery::store(joined, key);
}

void writeFennickConfig(const Delivery& delivery) {
  const std::string key = Delivery::switchKey("zums:fennick_config");
  if (!delivery.value("zums:fennick_config")) {
    Delivery::defaults().removeObjectForKey(key);
    return;
  }
  auto decoded = delivery.decoded("zums:fennick_config");
  // A value the defaults cannot hold (a null inside) is refused and logged, never written.
  if (decoded && !Delivery::defaults().setObject(*decoded, key)) {
    ZUMLog(kZUMLogLevelDefault, "Skipped the SDK constant zums:fennick_config: not a property list.");
  }
}

void writeNamespaced(const Delivery& delivery) {
  auto prefix = delivery.value("ns_prefix");
  if (!prefix || prefix->empty()) return;
  delivery.standardWrite("efs", *prefix + "efs");
  if (auto decoded = delivery.decoded("dns_domain_set"); decoded && decoded->is_array()) {
    Json strings = Json::array();
    for (const auto& element : *decoded) {
      if (element.is_string()) strings.push_back(element);
    }
    Delivery::store(strings, *prefix + "dns_domain_set");
  }
}

// A JSON array of strings, else the comma-separated names; nothing when neither gives one.
std::optional<std::vector<std::string>> adapterNames(const Delivery& delivery) {
  auto text = delivery.value("adapter_class_names");
  if (!text || text->empty()) return std::nullopt;
  std::vector<std::string> names;
  if (auto decoded = zum_decodedJSONObjectError(*text, nullptr); decoded && decoded->is_array()) {
    for (const auto& element : *decoded) {
      if (element.is_string() && !element.get<std::string>().empty()) names.push_back(element.get<std::string>());
    }
  } else if (text->find_first_of("[{") == std::string::npos) {
    std::string_view rest = *text;
    while (true) {
      const auto comma = rest.find(',');
      if (auto piece = rest.substr(0, comma); !piece.empty()) names.emplace_back(piece);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  if (names.empty()) return std::nullopt;
  return names;
}

}  // namespace

void ZUMSDKConstantsTargets::registerTargets(const std::function<void(ZUMSDKConstantsTargets&)>& fill) {
  ZUMRegistrationPoint<ZUMSDKConstantsTargets>::fill(fill);
}

ZUMSDKConstantsTargets ZUMSDKConstantsTargets::registered() {
  return ZUMRegistrationPoint<ZUMSDKConstantsTargets>::current();
}

void ZUMApplySDKConstants(const Json& constants, const ZUMSDKConstantsTargets& targets) {
  const Delivery delivery(constants);
  auto interceptor = ZUMMRAIDInterceptor::sharedInstance();
  interceptor->setBannerImplementationURLString(delivery.value("mraid_banner_path"));
  interceptor->setInterstitialImplementationURLString(delivery.value("mraid_interstitial_path"));
  interceptor->setExpandedBannerImplementationURLString(delivery.value("mraid_expanded_banner_path"));
  interceptor->setEnabled(delivery.value("mraid_disable_redirect") != "1");

  if (auto size = delivery.number("active_view_unload_cache_size");
      size && *size >= 1 && targets.setActiveViewUnloadCacheMaxSize) {
    targets.setActiveViewUnloadCacheMaxSize(static_cast<std::int64_t>(std::min<double>(*size, kMaxUnloadCacheSize)));
  }
  if (targets.setUseNewWebViewsForActiveViewProcessing) {
    targets.setUseNewWebViewsForActiveViewProcessing(delivery.boolValue("use_new_web_views_for_active_view"));
  }
  if (auto intervals = delivery.decoded("refresh_intervals"); intervals && intervals->is_object()) {
    auto interval = ZUMJSONDoubleForKey(*intervals, "active_view_sampling_interval", ZUMJSONStrings::Read);
    // Zero or less would sample without pause.
    if (interval && *interval > 0 && targets.setActiveViewSamplingInterval) {
      targets.setActiveViewSamplingInterval(std::min(*interval, kMaxSamplingInterval));
    }
  }
  delivery.stringMapWrite("clickthrough_confirm_schemes");
  delivery.listWrite("zums:interstitial_ad_pool:schema");
  ZUMLocationService::sharedInstance()->setFeatureEnabled(delivery.boolValue("auto_collect_location"));
  delivery.stringMapWrite("zums:interstitial_ad_pool:field_names");
  delivery.stringMapWrite("zums:interstitial_ad_pool:allowed_schema_patterns");
  writeExperimentIDs(delivery, targets);
  writeFennickConfig(delivery);
  if (targets.setJavaScriptCompletionTimeout) {
    const auto timeout = delivery.number("zum:javascript_completion_timeout");
    // A time-out of nothing would fail every script at once: unusable values keep the default.
    targets.setJavaScriptCompletionTimeout(timeout && *timeout > 0
                                               ? std::min(*timeout, kZUMMaxJavaScriptCompletionTimeout)
                                               : kZUMDefaultJavaScriptCompletionTimeout);
  }
  ZUMBoolCacheSetValueForKey("init_delay", delivery.boolValue("init_delay"));
  if (auto timeout = delivery.number("zums:app_activity_tracker:app_session_timeout_ms"); timeout && *timeout >= 0) {
    Delivery::store(*timeout, "zums:app_activity_tracker:app_session_timeout_ms");
  }
  for (const char* key : {"zums:sai:enabled", "zums:sai:click_navigation_enabled",
                          "zums:sai:interstitial_screen_enabled", "zums:sai:using_macro:enabled"}) {
    delivery.standardWrite(key);
  }
  delivery.listWrite("zums:sai:impression_ping_schema");
  delivery.listWrite("zums:sai:click_ping_schema");
  delivery.listWrite("zums:safariviewcontroller_supported_schemes");

  for (const char* key : kFirstGroup) delivery.standardWrite(key);
  writeNamespaced(delivery);
  for (const char* key : kSecondGroupA) {
    // Its reader needs a list: a JSON array of names is stored as one.
    if (std::string_view(key) == "iap_equivalent_classes") {
      auto text = delivery.value(key);
      if (auto decoded = text ? zum_decodedJSONObjectError(*text, nullptr) : std::nullopt;
          decoded && decoded->is_array()) {
        Json names = Json::array();
        for (const auto& element : *decoded) {
          if (element.is_string()) names.push_back(element);
        }
        Delivery::store(names, Delivery::switchKey(key));
        continue;
      }
    }
    delivery.standardWrite(key);
  }
  if (delivery.value("sb_greedy"))
    ZUMAdViewResourceCollection::setGreedyCollectionEnabled(delivery.boolValue("sb_greedy"));
  for (const char* key : kSecondGroupB) delivery.standardWrite(key);
  delivery.listWrite("zums:banner_ad_pool:schema");
  for (const char* key : kSecondGroupC) delivery.standardWrite(key);

  if (targets.updateFennick) targets.updateFennick();
  if (targets.updateCharacterSets) targets.updateCharacterSets();
  ZUMApplication::sharedInstance()->updateAvailableAdapterNamesWithPotentialAdapterNames(adapterNames(delivery));
  platform::NotificationCenter::defaultCenter().post(kZUMSDKCoreDidUpdateConstantsNotification, targets.controller);
  if (targets.didHandleUpdate) targets.didHandleUpdate();
}
