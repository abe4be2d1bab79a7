#include "sdk/network/ZUMSafeBrowsingReporter.h"

#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sdk/network/ZUMAutoClickProtection.h"

namespace {

using Json = nlohmann::ordered_json;

TEST(ZUMSafeBrowsingReporterTest, ProtectionFollowsTheBooleanReadingOfItsSetting) {
  auto reporter = ZUMSafeBrowsingReporter::create(Json::object());
  ASSERT_TRUE(reporter);
  EXPECT_FALSE(reporter->autoClickProtection());

  struct Case {
    Json value;
    bool enabled;
  };
  for (const auto& [value, enabled] : {Case{true, true}, Case{false, false}, Case{1, true}, Case{0, false},
                                       Case{"1", true}, Case{"YES", true}, Case{"true", true}, Case{"0", false},
                                       Case{"no", false}, Case{"", false}, Case{2.5, true}}) {
    auto made = ZUMSafeBrowsingReporter::create(Json{{"protection_enabled", value}, {"other", 1}});
    ASSERT_TRUE(made && made->autoClickProtection()) << value.dump();
    EXPECT_EQ(made->autoClickProtection()->isEnabled(), enabled) << value.dump();
  }
}

TEST(ZUMSafeBrowsingReporterTest, HostileSettingsNeverCrash) {
  // Not a dictionary: no reporter.
  for (const Json& settings : {Json(), Json("protection_enabled"), Json::array({"protection_enabled", true}), Json(7),
                               Json(true), Json::binary({1, 2})}) {
    EXPECT_FALSE(ZUMSafeBrowsingReporter::create(settings)) << settings.dump();
  }
  // A setting without a boolean reading counts as absent.
  for (const Json& value : {Json(), Json::array({true}), Json::object({{"protection_enabled", true}}),
                            Json::binary({1})}) {
    auto reporter = ZUMSafeBrowsingReporter::create(Json{{"protection_enabled", value}});
    ASSERT_TRUE(reporter);
    EXPECT_FALSE(reporter->autoClickProtection());
  }
  for (double odd : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1e308}) {
    auto reporter = ZUMSafeBrowsingReporter::create(Json{{"protection_enabled", odd}});
    ASSERT_TRUE(reporter);
  }
  Json deep = true;
  for (int i = 0; i < 10000; ++i) {
    Json outer = Json::array();
    outer.push_back(std::move(deep));
    deep = std::move(outer);
  }
  Json settings = Json::object();
  settings["protection_enabled"] = std::move(deep);
  auto reporter = ZUMSafeBrowsingReporter::create(settings);
  ASSERT_TRUE(reporter);
  EXPECT_FALSE(reporter->autoClickProtection());
}

}  // namespace
