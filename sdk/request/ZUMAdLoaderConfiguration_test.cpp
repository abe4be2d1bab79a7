// The ad-type tables over registered ad classes, the loader configuration's sets and
// its guarded class parameters, the options' merged parameters, and the format names
// a request sends for the classes' parameters.
#include "sdk/request/ZUMAdLoaderConfiguration.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/request/ZUMLoadable.h"
#include "sdk/request/ZUMLoadableTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Names = std::vector<std::string>;

using loadabletest::LoadableClass;

class ZUMAdLoaderConfigurationTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    // The content and app-install classes exist; the custom template and banner do not.
    ZUMRegisterLoadableClass(kZUMNativeContentAdClassName, content);
    ZUMRegisterLoadableClass(kZUMNativeAppInstallAdClassName, appInstall);
  }
  static Names namesOf(const std::vector<ZUMAdClass>& classes) {
    Names names;
    for (const auto& c : classes) names.push_back(c.name);
    return names;
  }
  std::shared_ptr<LoadableClass> content = std::make_shared<LoadableClass>();
  std::shared_ptr<LoadableClass> appInstall = std::make_shared<LoadableClass>();
};

TEST_F(ZUMAdLoaderConfigurationTest, AdTypesMapToRegisteredClassesKeepingTheHostsOrderOnce) {
  const struct {
    const char* name;
    Names adTypes;
    bool made;
    Names classes;
    Names types;
  } rows[] = {
      {"no types", {}, false, {}, {}},
      {"one unknown", {"1", "9"}, false, {}, {}},
      {"a class not registered", {"1", "3"}, false, {}, {}},
      {"the banner type unregistered", {"-1"}, false, {}, {}},
      {"repeated", {"2", "1", "2"}, true, {kZUMNativeAppInstallAdClassName, kZUMNativeContentAdClassName}, {"2", "1"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto configuration = ZUMAdLoaderConfiguration::create(row.adTypes, {});
    ASSERT_EQ(configuration != nullptr, row.made);
    if (!configuration) continue;
    EXPECT_EQ(namesOf(configuration->adTypeClasses()), row.classes);
    EXPECT_EQ(configuration->adTypes(), row.types);
    EXPECT_EQ(configuration->adTypeClasses()[0].object, appInstall);
  }
}

TEST_F(ZUMAdLoaderConfigurationTest, AnAdsTypeAndTemplateIdPickItsClassWhateverTheIdsKind) {
  const struct {
    Json ad;
    std::optional<std::string> className;
  } rows[] = {
      {{{"type", "native"}, {"template_id", "2"}}, kZUMNativeAppInstallAdClassName},
      {{{"type", "native"}, {"template_id", 2}}, kZUMNativeAppInstallAdClassName},
      {{{"type", "native"}, {"template_id", 1.0}}, kZUMNativeContentAdClassName},
      {{{"type", "native"}, {"template_id", "1"}}, kZUMNativeContentAdClassName},
      {{{"type", "native"}, {"template_id", 3}}, std::nullopt},  // not registered
      {{{"type", "native"}, {"template_id", 7}}, std::nullopt},
      {{{"type", "native"}, {"template_id", "abc"}}, std::nullopt},
      {{{"type", "native"}}, std::nullopt},
      {{{"type", "banner"}, {"template_id", 2}}, std::nullopt},
      {{{"template_id", 2}}, std::nullopt},
      {Json::array(), std::nullopt},
  };
  for (const auto& row : rows) {
    auto found = ZUMNativeAdClassFromSingleAdConfigurationDictionary(row.ad);
    EXPECT_EQ(found ? std::optional<std::string>(found->name) : std::nullopt, row.className) << row.ad.dump();
  }
}

TEST_F(ZUMAdLoaderConfigurationTest, AWriteOfTheClassParametersIsSeenByTheNextReadOnAnyQueue) {
  auto configuration = ZUMAdLoaderConfiguration::create({"1"}, {});
  EXPECT_EQ(configuration->adClassRequestParameters(), Json::object());
  const Json written = {{kZUMNativeContentAdClassName, {{"format", 1}}}};
  configuration->setAdClassRequestParameters(written);
  Json readElsewhere;
  platform::DispatchQueue::serial("com.vantor.morvane.test.reader")->sync([&] {
    readElsewhere = configuration->adClassRequestParameters();
  });
  EXPECT_EQ(readElsewhere, written);
  configuration->setAdClassRequestParameters(Json::array());
  EXPECT_EQ(configuration->adClassRequestParameters(), Json::object());
  configuration->setAdClassRequestParameters(written);
  configuration.reset();  // a write still queued outlives nothing it needs
  env.runUntilIdle();
}

TEST_F(ZUMAdLoaderConfigurationTest, TheImageOrientationOptionNamesOnlyItsThreeOrientations) {
  const struct {
    std::int64_t orientation;
    Json parameters;
  } rows[] = {
      {0, Json::object()},
      {1, {{"native_image_orientation", "any"}}},
      {2, {{"native_image_orientation", "portrait"}}},
      {3, {{"native_image_orientation", "landscape"}}},
      {4, Json::object()},
      {-1, Json::object()},
  };
  for (const auto& row : rows) {
    auto option = ZUMNativeAdImageAdLoaderOptions::create();
    option->setPreferredImageOrientation(row.orientation);
    auto configuration = ZUMAdLoaderConfiguration::create({"1"}, {option});
    EXPECT_EQ(configuration->requestParameters(), row.parameters) << row.orientation;
    EXPECT_EQ(configuration->options()->size(), 1u);
  }
}

TEST_F(ZUMAdLoaderConfigurationTest, ARequestNamesTheFormatsItsClassesSentAsNumbersOrText) {
  auto request = ZUMRequest::create();
  request->setFormatParameters(Json::parse(R"([{"format": 2}, {"format": "1"}, {"format": 2.5}])"));
  request->setResponseType(3);
  EXPECT_EQ(request->threadSafeParameters()["native_templates"], "2,1,2.5");
}

}  // namespace
