#include "sdk/mediation/ZUMMConfig.h"

#include <functional>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMediationTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

class ZUMMConfigTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { zummtest::registerTestAdapterClasses(); }
  std::shared_ptr<const ZUMMConfig> parse(const Json& response, std::int64_t* code = nullptr) {
    platform::ErrorPtr error;
    auto config = ZUMMConfig::create("unit-A", response, &error);
    EXPECT_EQ(!config, static_cast<bool>(error)) << response.dump();
    if (code) *code = error ? error->code() : -1;
    return config;
  }
  // The public log lines written so far.
  std::vector<std::string> logged() {
    env.runUntilIdle();
    return capture.messages();
  }
  platform::SystemLog::Capture capture{true};
};

TEST_F(ZUMMConfigTest, SettingsAreReadTypedWithTheirDefaults) {
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("4", kZUMMAdNetworkTimeoutKey));
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("6.5", kZUMMFinalAdNetworkTimeoutKey));
  const struct {
    Json settings;
    double refresh, timeout, finalTimeout;
    std::int64_t animation, impression;
    bool attribution;
  } rows[] = {
      {Json::object(), 0, 4, 6.5, 8, 0, false},  // string user defaults are read
      {{{"refresh", 30000}}, 0, 4, 6.5, 8, 0, false},
      {{{"refresh", 29999.5}}, 29999.5, 4, 6.5, 8, 0, false},
      {{{"refresh", 0}}, 0, 4, 6.5, 8, 0, false},
      {{{"refresh", -3}}, -3, 4, 6.5, 8, 0, false},   // stays as parsed
      {{{"refresh", "45"}}, 0, 4, 6.5, 8, 0, false},  // wrong type ignored
      {{{"ad_network_timeout_millis", 2500}}, 0, 2.5, 2.5, 8, 0, false},
      {{{"ad_transition_anim", -1}}, 0, 4, 6.5, 8, 0, false},
      {{{"ad_transition_anim", 9}}, 0, 4, 6.5, 8, 0, false},
      {{{"ad_transition_anim", 0}}, 0, 4, 6.5, 0, 0, false},
      {{{"ad_transition_anim", 3}}, 0, 4, 6.5, 3, 0, false},
      {{{"use_displayed_impression", true}, {"allow_pub_rendered_attribution", true}}, 0, 4, 6.5, 8, 1, true},
      {{{"use_displayed_impression", false}, {"allow_pub_rendered_attribution", "yes"}}, 0, 4, 6.5, 8, 0, false},
  };
  for (const auto& row : rows) {
    auto config = parse({{"settings", row.settings}, {"ad_networks", Json::array()}});
    ASSERT_TRUE(config) << row.settings.dump();
    EXPECT_DOUBLE_EQ(config->refreshInterval(), row.refresh) << row.settings.dump();
    EXPECT_DOUBLE_EQ(config->adNetworkTimeout(), row.timeout) << row.settings.dump();
    EXPECT_DOUBLE_EQ(config->finalAdNetworkTimeout(), row.finalTimeout) << row.settings.dump();
    EXPECT_EQ(config->bannerAnimationType(), row.animation) << row.settings.dump();
    EXPECT_EQ(config->impressionDefinition(), row.impression) << row.settings.dump();
    EXPECT_EQ(config->allowPublisherRenderedAttribution(), row.attribution) << row.settings.dump();
  }
  // Unusable user defaults keep 10 s.
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("soon", kZUMMAdNetworkTimeoutKey));
  platform::UserDefaults::standard().removeObjectForKey(kZUMMFinalAdNetworkTimeoutKey);
  auto config = parse({{"settings", "not an object"}, {"ad_networks", Json::array()}});
  EXPECT_DOUBLE_EQ(config->adNetworkTimeout(), 10.0);
  EXPECT_DOUBLE_EQ(config->finalAdNetworkTimeout(), 10.0);
}

TEST_F(ZUMMConfigTest, TheResponseNeedsANetworkArrayAndIdentifiedEntries) {
  const struct {
    Json response;
    std::int64_t code;
    std::size_t entries;
  } rows[] = {
      {{{"ad_networks", Json::array()}}, -1, 0},
      {Json::object(), kZUMErrorInvalidMediationResponse, 0},
      {{{"ad_networks", "[]"}}, kZUMErrorInvalidMediationResponse, 0},
      {{{"ad_networks", Json::object({{"id", "x"}})}}, kZUMErrorInvalidMediationResponse, 0},
      {{{"ad_networks", {1, "two", Json::array(), {{"id", 42}}}}}, -1, 1},  // non-objects skipped
      {{{"ad_networks", {{{"id", "a"}}, {{"name", "no id"}}}}}, kZUMErrorInvalidMediationResponse, 0},
      {{{"ad_networks", {{{"id", Json::array()}}}}}, kZUMErrorInvalidMediationResponse, 0},
  };
  for (const auto& row : rows) {
    std::int64_t code = 0;
    auto config = parse(row.response, &code);
    EXPECT_EQ(code, row.code) << row.response.dump();
    if (config) {
      EXPECT_EQ(config->adNetworkConfigs().size(), row.entries) << row.response.dump();
    }
  }
  platform::ErrorPtr error;
  EXPECT_FALSE(ZUMMAdNetworkConfig::create({{"name", "x"}}, &error));
  EXPECT_EQ(error->localizedDescription(),
            "The Morvane Mediation response was invalid: An ad network config has no network ID.");
  EXPECT_FALSE(ZUMMAdNetworkConfig::create({{"id", nullptr}}, &error));
  EXPECT_EQ(error->localizedDescription(),
            "The Morvane Mediation response was invalid: An ad network config has an invalid network ID.");
  EXPECT_FALSE(ZUMMAdNetworkConfig::create({{"id", nullptr}}, nullptr));  // no error asked for
}

TEST_F(ZUMMConfigTest, EntriesKeepTypedCopiesOfTheirFields) {
  Json response = {{"qdata", "q-1"},
                   {"default_ad_sz", "320x50"},
                   {"default_slot_sz", 7},
                   {"settings", {{"imp_urls", {"https://i.example/@pw_qdata@", 5}}, {"rewards", {{{"amount", 1}}}}}},
                   {"ad_networks",
                    {{{"id", 42},
                      {"data", {{"pubid", "p-9"}, {"label", "L"}}},
                      {"allocation_id", 77},
                      {"adapters", {zummtest::kCurrentAdapter}},
                      {"video_complete_urls", {"https://r.example/done"}},
                      {"clickurl", "not a list"},
                      {"slot_sizes", {"320x50"}},
                      {"response_type", "native"}}}}};
  auto config = parse(response);
  ASSERT_TRUE(config);
  // Changing the decoded response afterwards changes nothing.
  response["settings"]["imp_urls"][0] = "changed";
  response["ad_networks"][0]["data"]["pubid"] = "changed";
  response["qdata"] = "changed";
  EXPECT_EQ(config->qdata(), "q-1");
  EXPECT_EQ(config->appKey(), "unit-A");
  EXPECT_EQ(config->defaultAdSize(), "320x50");
  EXPECT_EQ(config->defaultSlotSize(), std::nullopt);
  EXPECT_EQ(config->impressionURLs(), std::vector<std::string>{"https://i.example/@pw_qdata@"});
  EXPECT_EQ(config->clickURLs(), std::nullopt);
  EXPECT_EQ((*config->rewards())[0]["amount"], 1);
  const auto& entry = *config->adNetworkConfigs().at(0);
  EXPECT_EQ(entry.networkID(), "42");
  EXPECT_EQ(entry.publisherID(), "p-9");
  EXPECT_EQ(entry.allocationID(), "77");
  EXPECT_EQ(entry.adapterClass(), zummtest::kCurrentAdapter);
  EXPECT_EQ(entry.rewardedUserURLs(), std::vector<std::string>{"https://r.example/done"});
  EXPECT_EQ(entry.videoStartURLs(), std::nullopt);
  EXPECT_EQ(entry.clickURLs(), std::nullopt);
  EXPECT_EQ(entry.slotSizes(), std::vector<std::string>{"320x50"});
  EXPECT_EQ(entry.responseType(), "native");
  EXPECT_EQ(entry.description(), std::string("networkID:42 adapter:") + zummtest::kCurrentAdapter + " data:p-9");
  const std::string description = config->description();
  EXPECT_NE(description.find(">:\nqdata:q-1 refresh:0.000000 transition:8 ad_networks:(\n    networkID:42"),
            std::string::npos)
      << description;
}

TEST_F(ZUMMConfigTest, AdapterChoiceTakesTheFirstCurrentAdapterAndLogsTheRest) {
  using zummtest::kCurrentAdapter;
  using zummtest::kOldAdapter;
  using zummtest::kPlainClass;
  const std::string missing = "MissingAdapter";
  const std::string linkAdvice =
      ". Remember to link all required ad network adapters and SDKs, and set -ObjC in the 'Other Linker Flags' "
      "setting of your build target.";
  const struct {
    Json adapters;
    std::optional<std::string> chosen;
    std::string log;  // empty: nothing logged
  } rows[] = {
      {{missing, kOldAdapter, kCurrentAdapter},
       kCurrentAdapter,
       std::string("Ad network adapter ") + kOldAdapter + " implements an old API. Please update the adapter."},
      {{kOldAdapter},
       std::nullopt,
       std::string("Ad network adapter ") + kOldAdapter +
           " implements an old API. Please update the adapter. No valid adapters found for this ad network."},
      {{kOldAdapter, kPlainClass},  // a plain class answers neither operation: old API too
       std::nullopt,
       std::string("Ad network adapters (") + kOldAdapter + ", " + kPlainClass +
           ") implement an old API. Please update the adapters. No valid adapters found for this ad network."},
      {{missing, "Other"},
       std::nullopt,
       "Cannot find an ad network adapter with the name(s): MissingAdapter,Other" + linkAdvice},
      {Json::array(), std::nullopt, "Cannot find an ad network adapter with the name(s): " + linkAdvice},
      {{kCurrentAdapter, zummtest::kSubclassAdapter}, kCurrentAdapter, ""},
  };
  for (const auto& row : rows) {
    capture.clear();
    auto config = parse({{"ad_networks", {{{"id", "n"}, {"adapters", row.adapters}}}}});
    ASSERT_TRUE(config) << row.adapters.dump();
    ASSERT_EQ(config->adNetworkConfigs().size(), 1u);  // kept even without an adapter
    EXPECT_EQ(config->adNetworkConfigs()[0]->adapterClass(), row.chosen) << row.adapters.dump();
    const auto lines = logged();
    if (row.log.empty()) {
      EXPECT_TRUE(lines.empty()) << row.adapters.dump();
    } else {
      ASSERT_EQ(lines.size(), 1u) << row.adapters.dump();
      EXPECT_EQ(lines[0], "<Vantor> " + row.log);
    }
  }
}

TEST_F(ZUMMConfigTest, TheCustomEventSwapHasFourOutcomes) {
  ZUMMRegisterAdapterClass(
      kZUMMAdapterCustomEventsClassName, std::make_shared<ZUMMAdapterClass>(),
      {.protocols = {kZUMMAdNetworkAdapterProtocol}, .operations = {kZUMMGetBannerWithSizeOperation}});
  const struct {
    Json data;
    bool resolved;
    std::optional<std::string> adapter;
    std::string error;
  } rows[] = {
      {{{"label", "x"}}, false, kZUMMAdapterCustomEventsClassName, "Custom event adapter class name is empty."},
      {{{"class_name", "NoSuchEvent"}},
       false,
       std::nullopt,
       "Cannot find an ad network adapter with the name(s): NoSuchEvent. Remember to link all required ad network "
       "adapters and SDKs, and set -ObjC in the 'Other Linker Flags' setting of your build target."},
      {{{"class_name", zummtest::kPlainClass}},
       false,
       std::nullopt,
       std::string("Class ") + zummtest::kPlainClass + " does not conforms to mediation protocols."},
      {{{"class_name", zummtest::kRewardedOnlyAdapter}}, true, zummtest::kRewardedOnlyAdapter, ""},
  };
  for (const auto& row : rows) {
    capture.clear();
    auto entry = ZUMMAdNetworkConfig::create(
        {{"id", "c"}, {"data", row.data}, {"adapters", {kZUMMAdapterCustomEventsClassName}}}, nullptr);
    platform::ErrorPtr error;
    EXPECT_EQ(entry->resolveAdNetworkClassForCustomEventWithError(&error), row.resolved) << row.data.dump();
    EXPECT_EQ(entry->adapterClass(), row.adapter) << row.data.dump();
    EXPECT_EQ(error ? error->localizedDescription() : "", row.error);
    if (error) {
      EXPECT_EQ(error->code(), kZUMErrorNoMediationAdapter);
    }
    // The helper logs a failure and answers whether an adapter class is left.
    auto again = ZUMMAdNetworkConfig::create(
        {{"id", "c"}, {"data", row.data}, {"adapters", {kZUMMAdapterCustomEventsClassName}}}, nullptr);
    EXPECT_EQ(ZUMResolveAdapterClass(*again), row.resolved);
    EXPECT_EQ(logged().size(), row.error.empty() ? 0u : 1u);
  }
  // Another adapter is not swapped and answers whether it has a class.
  auto plain = ZUMMAdNetworkConfig::create({{"id", "p"}, {"adapters", {zummtest::kCurrentAdapter}}}, nullptr);
  platform::ErrorPtr error;
  EXPECT_FALSE(plain->resolveAdNetworkClassForCustomEventWithError(&error));
  EXPECT_FALSE(error);
  EXPECT_TRUE(ZUMResolveAdapterClass(*plain));
}

TEST_F(ZUMMConfigTest, EveryKeyFillsItsOwnField) {
  using Entry = ZUMMAdNetworkConfig;
  auto dump = [](const Json* value) { return value ? value->dump() : "none"; };
  auto list = [](const std::optional<std::vector<std::string>>& value) { return value ? Json(*value).dump() : "none"; };
  auto text = [](const std::optional<std::string>& value) { return value.value_or("none"); };
  const struct {
    const char* key;
    Json value;
    std::function<std::string(const Entry&)> read;
  } rows[] = {
      {"extras", {{"e", 1}}, [&](const Entry& e) { return dump(e.extras()); }},
      {"ad", {{"a", 1}}, [&](const Entry& e) { return dump(e.ad()); }},
      {"imp_urls", {"i"}, [&](const Entry& e) { return list(e.impressionURLs()); }},
      {"clickurl", {"c"}, [&](const Entry& e) { return list(e.clickURLs()); }},
      {"fill_urls", {"f"}, [&](const Entry& e) { return list(e.fillURLs()); }},
      {"video_start_urls", {"v"}, [&](const Entry& e) { return list(e.videoStartURLs()); }},
      {"ad_loader_options", {{"o", 1}}, [&](const Entry& e) { return dump(e.nativeExpressAdLoaderOptions()); }},
      {"html_template", "<p>", [&](const Entry& e) { return text(e.nativeExpressHTMLTemplate()); }},
      {"ad_base_url", "https://b.example/", [&](const Entry& e) { return text(e.nativeExpressAdBaseURL()); }},
      {"template_ids", {"t"}, [&](const Entry& e) { return dump(e.nativeExpressTemplateIDs()); }},
      {"assets", {{"s", 1}}, [&](const Entry& e) { return dump(e.nativeExpressAssets()); }},
  };
  for (const auto& row : rows) {
    auto entry = Entry::create({{"id", "n"}, {row.key, row.value}}, nullptr);
    const std::string expected = row.value.is_string() ? row.value.get<std::string>() : row.value.dump();
    EXPECT_EQ(row.read(*entry), expected) << row.key;
    auto other = Entry::create({{"id", "n"}, {"other", row.value}}, nullptr);
    EXPECT_EQ(row.read(*other), "none") << row.key;
  }
  auto config = parse({{"settings", {{"click_urls", {"c"}}, {"nofill_urls", {"n"}}}}, {"ad_networks", Json::array()}});
  EXPECT_EQ(config->clickURLs(), std::vector<std::string>{"c"});
  EXPECT_EQ(config->noFillURLs(), std::vector<std::string>{"n"});
  EXPECT_EQ(config->impressionURLs(), std::nullopt);
  // Without a publisher id the description shows the credentials.
  auto entry = Entry::create({{"id", "n"}, {"data", {{"k", "v"}}}}, nullptr);
  EXPECT_EQ(entry->description(), R"(networkID:n adapter:(null) data:{"k":"v"})");
}

}  // namespace
