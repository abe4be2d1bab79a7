#include "sdk/network/ZUMSafeBrowsingReporter.h"

#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sdk/network/ZUMAutoClickProtection.h"

namespace {

using Json = nlohmann::ordered_json;

// The protection a reporter made from the setting carries: nullopt when it has none.
std::optional<bool> protection(Json value) {
  auto reporter = ZUMSafeBrowsingReporter::create(Json{{"protection_enabled", std::move(value)}, {"other", 1}});
  EXPECT_TRUE(reporter);
  if (!reporter || !reporter->autoClickProtection()) return std::nullopt;
  return reporter->autoClickProtection()->isEnabled();
}

TEST(ZUMSafeBrowsingReporterTest, ProtectionFollowsTheBooleanReadingOfItsSettingAndHostileSettingsNeverCrash) {
  EXPECT_FALSE(ZUMSafeBrowsingReporter::create(Json::object())->autoClickProtection());
  for (const auto& [value, enabled] : std::vector<std::pair<Json, bool>>{
           {true, true}, {false, false}, {0, false}, {"YES", true}, {"0", false}, {"", false}, {2.5, true}}) {
    EXPECT_EQ(protection(value), enabled) << value.dump();
  }
  // A setting without a boolean reading counts as absent.
  for (const Json& value :
       {Json(), Json::array({true}), Json::object({{"protection_enabled", true}}), Json::binary({1})}) {
    EXPECT_EQ(protection(value), std::nullopt);
  }
  for (double odd : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1e308}) {
    protection(odd);
  }
  // Not a dictionary: no reporter.
  for (const Json& settings : {Json(), Json::array({"protection_enabled", true}), Json(7)}) {
    EXPECT_FALSE(ZUMSafeBrowsingReporter::create(settings)) << settings.dump();
  }
  // Moved, never copied: a copy of this nesting overflows the stack by itself.
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
