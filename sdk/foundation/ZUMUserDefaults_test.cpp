#include "sdk/foundation/ZUMUserDefaults.h"

#include <cmath>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "platform/base/UserDefaults.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

class ZUMUserDefaultsTest : public testenv::PlatformTest {
 protected:
  void set(const char* key, const ordered_json& value) {
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(value, key));
  }
};

TEST_F(ZUMUserDefaultsTest, KeysCarryThePrefix) {
  EXPECT_EQ(ZUMUserDefaults::keyForName("zums:rdiim_signal"), "/vantor/ads/zums:rdiim_signal");
}

TEST_F(ZUMUserDefaultsTest, ScalarsReadFromStringsAndNumbers) {
  set("/vantor/ads/s_no", "NO");
  set("/vantor/ads/n", 2.9);
  set("/vantor/ads/s_n", "  42abc");
  set("/vantor/ads/big", "1e999");
  set("/vantor/ads/word", " soon");
  set("/vantor/ads/list", ordered_json::array({1}));

  EXPECT_EQ(ZUMUserDefaults::boolForKey("/vantor/ads/s_no"), false);
  EXPECT_EQ(ZUMUserDefaults::boolForKey("/vantor/ads/list"), std::nullopt);

  EXPECT_EQ(ZUMUserDefaults::integerForKey("/vantor/ads/s_n"), 42);
  EXPECT_EQ(ZUMUserDefaults::integerForKey("/vantor/ads/list"), std::nullopt);

  // Infinities never reach timers or sizes.
  EXPECT_EQ(ZUMUserDefaults::doubleForKey("/vantor/ads/big"), std::nullopt);
  // A word is no number at all, not 0.
  EXPECT_EQ(ZUMUserDefaults::doubleForKey("/vantor/ads/word"), std::nullopt);
  EXPECT_EQ(ZUMUserDefaults::integerForKey("/vantor/ads/word"), std::nullopt);
  EXPECT_EQ(ZUMUserDefaults::doubleForKey("/vantor/ads/s_n"), 42.0);

  EXPECT_EQ(ZUMUserDefaults::stringForKey("/vantor/ads/n"), "2.9");
  set("/vantor/ads/data", platform::makeData({1}));
  EXPECT_EQ(ZUMUserDefaults::stringForKey("/vantor/ads/data"), std::nullopt);
}

TEST_F(ZUMUserDefaultsTest, StructuredValuesAlsoArriveAsJSONStrings) {
  set("/vantor/ads/schema", R"(["^https://a\\.example/", 3, "b"])");
  set("/vantor/ads/dict_text", R"({"k":"v"})");
  set("/vantor/ads/dict", {{"k", 1}});
  set("/vantor/ads/junk", "[not json");

  EXPECT_EQ(ZUMUserDefaults::stringArrayForKey("/vantor/ads/schema"),
            (std::vector<std::string>{"^https://a\\.example/", "b"}));
  EXPECT_EQ(ZUMUserDefaults::dictionaryForKey("/vantor/ads/dict_text"), (ordered_json{{"k", "v"}}));

  EXPECT_EQ(ZUMUserDefaults::arrayForKey("/vantor/ads/dict"), std::nullopt);
  EXPECT_EQ(ZUMUserDefaults::arrayForKey("/vantor/ads/junk"), std::nullopt);
}

}  // namespace
