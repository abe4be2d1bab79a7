#include "sdk/request/ZUMSDKConstants.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

struct View : ZUMMRAIDInterceptor::AdView {
  bool isInterstitialAdType() const override { return interstitial; }
  bool isMainAdView() const override { return true; }
  bool interstitial = false;
};

// The notification's object; asked for nothing.
struct IdleController : ZUMSDKCoreController {
  void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>&) override {}
  void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock, ZUMSDKCoreCompletionBlock) override {}
  void executeExportedJavaScriptCommand(const std::string&, const std::optional<Json>&,
                                        ZUMSDKCoreCompletionBlock) override {}
  void postJavaScriptNotification(const std::string&, const std::optional<Json>&) override {}
  std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() override { return nullptr; }
};

class ZUMSDKConstantsTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    targets.setActiveViewUnloadCacheMaxSize = [this](std::int64_t size) {
      log.push_back("cache " + std::to_string(size));
    };
    targets.setUseNewWebViewsForActiveViewProcessing = [this](bool on) {
      log.push_back(on ? "new views" : "old views");
    };
    targets.setActiveViewSamplingInterval = [this](double s) { log.push_back("sampling " + std::to_string(s)); };
    targets.setJavaScriptCompletionTimeout = [this](double s) { log.push_back("timeout " + std::to_string(s)); };
    targets.updateFennick = [this] {
      log.push_back("fennick " +
                    defaults().dictionaryForKey("/vantor/ads/zums:fennick_config").value_or(Json()).dump());
    };
    targets.didHandleUpdate = [this] { log.push_back("handled"); };
    targets.controller = controller;
  }
  static platform::UserDefaults& defaults() { return platform::UserDefaults::standard(); }
  // The defaults under the switch prefix and the bare keys the constants write, in key
  // order.
  static nlohmann::json sorted(const Json& value) { return nlohmann::json::parse(value.dump()); }
  nlohmann::json switches() {
    Json result = Json::object();
    const Json all = defaults().dictionaryRepresentation();
    for (const auto& [key, value] : all.items()) {
      if (key.starts_with("/vantor/ads/") || key.starts_with("ns.") || key.starts_with("zums:")) result[key] = value;
    }
    return sorted(result);
  }
  void apply(const Json& constants) {
    log.clear();
    ZUMApplySDKConstants(constants, targets);
    env.runUntilIdle();
  }

  std::shared_ptr<ZUMSDKCoreController> controller = std::make_shared<IdleController>();
  ZUMSDKConstantsTargets targets;
  std::vector<std::string> log;
};

TEST_F(ZUMSDKConstantsTest, ADeliveryBecomesTheSwitches) {
  EXPECT_TRUE(defaults().setObject("old", "/vantor/ads/foreground_ping_url"));
  EXPECT_TRUE(defaults().setObject(Json::array({"x"}), "/vantor/ads/zums:banner_ad_pool:schema"));
  EXPECT_TRUE(defaults().setObject("stale", "/vantor/ads/experiment_id_string"));
  EXPECT_TRUE(defaults().setObject(Json{{"mailto", "m"}}, "/vantor/ads/clickthrough_confirm_schemes"));
  targets.webViewExperimentID = "wv9";
  Json observed;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMSDKCoreDidUpdateConstantsNotification, controller, nullptr, [&](const platform::Notification&) {
        observed = defaults().objectForKey("/vantor/ads/as_domains").value_or(Json());
      });

  apply(Json{{"as_domains", "a.example"},
             {"foreground_ping_url", ""},  // empty: the old value stays
             {"wv_class", 7},              // not text: absent
             {"zums:sai:click_ping_schema", "a,,b"},
             {"zums:safariviewcontroller_supported_schemes", "https"},
             {"clickthrough_confirm_schemes", "{\"tel\":1}"},  // no string values: the old map stays
             {"zums:interstitial_ad_pool:field_names", "{\"a\":\"b\",\"c\":2}"},
             {"first_experiment_id", "e1"},
             {"other_experiment_id", "e2"},
             {"zums:fennick_config", "{\"on\":true}"},
             {"zums:app_activity_tracker:app_session_timeout_ms", "1800000"},
             {"ns_prefix", "ns."},
             {"efs", "1"},
             {"dns_domain_set", "[\"d.example\", 3]"},
             {"iap_equivalent_classes", "[\"A\",\"B\"]"},
             {"active_view_unload_cache_size", "25"},
             {"use_new_web_views_for_active_view", "true"},
             {"refresh_intervals", "{\"active_view_sampling_interval\":\"0.5\"}"},
             {"zum:javascript_completion_timeout", "4"},
             {"init_delay", "1"},
             {"zums:sai:enabled", "1"},
             {"zums:sai:impression_ping_schema", "^https://"},
             {"mraid_banner_path", "https://mraid.example/b.js"}});
  const Json first{{"/vantor/ads/foreground_ping_url", "old"},
                   {"/vantor/ads/clickthrough_confirm_schemes", {{"mailto", "m"}}},
                   {"/vantor/ads/zums:interstitial_ad_pool:field_names", {{"a", "b"}}},
                   {"/vantor/ads/experiment_id_string", "e1,e2,wv9"},
                   {"/vantor/ads/zums:fennick_config", {{"on", true}}},
                   {"zums:app_activity_tracker:app_session_timeout_ms", 1800000.0},
                   {"/vantor/ads/zums:sai:click_ping_schema", {"a", "", "b"}},
                   {"/vantor/ads/zums:sai:enabled", "1"},
                   {"/vantor/ads/zums:sai:impression_ping_schema", {"^https://"}},
                   {"/vantor/ads/zums:safariviewcontroller_supported_schemes", {"https"}},
                   {"/vantor/ads/as_domains", "a.example"},
                   {"ns.efs", "1"},
                   {"ns.dns_domain_set", {"d.example"}},
                   {"/vantor/ads/iap_equivalent_classes", {"A", "B"}}};
  EXPECT_EQ(switches(), sorted(first));
  EXPECT_EQ(log, (std::vector<std::string>{"cache 25", "new views", "sampling 0.500000", "timeout 4.000000",
                                           "fennick {\"on\":true}", "handled"}));
  EXPECT_EQ(observed, "a.example");  // observers read the new switches
  EXPECT_TRUE(ZUMBoolCacheValueForKey("init_delay"));
  View banner;
  EXPECT_EQ(ZUMMRAIDInterceptor::sharedInstance()->MRAIDURLStringForAdView(banner), "https://mraid.example/b.js");
  EXPECT_TRUE(ZUMMRAIDInterceptor::sharedInstance()->canRedirect());

  // The next delivery: lists, the experiment ids and the logging config follow it;
  // unusable numbers keep the settings (the time-out its default).
  apply(Json{{"active_view_unload_cache_size", "abc"},
             {"iap_equivalent_classes", "C,D"},  // not JSON: kept as the text
             {"refresh_intervals", "{\"active_view_sampling_interval\":-1}"},
             {"zum:javascript_completion_timeout", "abc"},
             {"zums:app_activity_tracker:app_session_timeout_ms", "nan"},
             {"mraid_disable_redirect", "1"},
             {"sb_greedy", "1"}});
  Json second = first;  // the lists and the logging config this delivery leaves out go
  for (const char* gone :
       {"/vantor/ads/zums:fennick_config", "/vantor/ads/zums:sai:click_ping_schema",
        "/vantor/ads/zums:sai:impression_ping_schema", "/vantor/ads/zums:safariviewcontroller_supported_schemes"})
    second.erase(gone);
  second["/vantor/ads/experiment_id_string"] = "wv9";
  second["/vantor/ads/iap_equivalent_classes"] = "C,D";
  EXPECT_EQ(switches(), sorted(second));
  EXPECT_EQ(log, (std::vector<std::string>{"old views", "timeout 10.000000", "fennick null", "handled"}));
  EXPECT_FALSE(ZUMBoolCacheValueForKey("init_delay"));
  EXPECT_FALSE(ZUMMRAIDInterceptor::sharedInstance()->canRedirect());
  EXPECT_TRUE(ZUMAdViewResourceCollection::isGreedyCollectionEnabled());
  platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(ZUMSDKConstantsTest, HostileValuesNeverCrashTheWrite) {
  for (const Json& constants :
       {Json(nullptr), Json::array(), Json{{"zums:fennick_config", "{\"a\":null}"}},
        Json{{"zums:fennick_config", "null"}}, Json{{"refresh_intervals", "[1]"}},
        Json{{"zum:javascript_completion_timeout", "1e308"}}, Json{{"active_view_unload_cache_size", "1e300"}},
        Json{{"adapter_class_names", "[\"AdapterA\", 5]"}}}) {
    apply(constants);
    EXPECT_EQ(log.back(), "handled") << constants.dump();
  }
  EXPECT_FALSE(defaults().objectForKey("/vantor/ads/zums:fennick_config"));
  apply(Json{{"zum:javascript_completion_timeout", "1e308"}, {"active_view_unload_cache_size", "1e300"}});
  EXPECT_EQ(log[0], "cache 1000");
  EXPECT_EQ(log[2], "timeout 600.000000");
  apply(Json{{"active_view_unload_cache_size", "+30"}, {"zums:app_activity_tracker:app_session_timeout_ms", "-5"}});
  EXPECT_EQ(log[0], "cache 30");
  EXPECT_FALSE(defaults().objectForKey("zums:app_activity_tracker:app_session_timeout_ms"));
}

}  // namespace
