#include "PXRRequest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "testing/TestEnvironment.h"

using json = nlohmann::ordered_json;

namespace {

using PXRRequestTest = testenv::PlatformTest;

TEST_F(PXRRequestTest, AddsTheTrimmedPublisherIdentifierAndNonEmptyExclusions) {
  auto request = PXRRequest::create();
  request->setPublisherProvidedID(" \t\n");
  request->setCategoryExclusions(json::array());
  json parameters = request->threadSafeParameters();
  EXPECT_EQ(parameters["_request_object_properties"]["class"], "PXRRequest");
  EXPECT_FALSE(parameters.contains("ppid"));
  EXPECT_FALSE(parameters.contains("category_exclusions"));

  request->setPublisherProvidedID("  user-7 ");
  request->setCategoryExclusions(json{"cars", "games"});
  parameters = request->threadSafeParameters();
  EXPECT_EQ(parameters["ppid"], "user-7");
  EXPECT_EQ(parameters["category_exclusions"], (json{"cars", "games"}));
  EXPECT_EQ(parameters["js"], "qyra-sdk-i-v7.23.0");
}

TEST_F(PXRRequestTest, CopiesAndRebuildsAsAPublisherRequest) {
  auto request = PXRRequest::create();
  request->setPublisherProvidedID("id");
  request->setCategoryExclusions(json{"x"});
  request->setKeywords(json{"k"});
  request->registerAdNetworkExtras(ZUMExtras::create());

  auto copy = std::dynamic_pointer_cast<PXRRequest>(request->copy());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->publisherProvidedID(), "id");
  EXPECT_EQ(copy->categoryExclusions(), json{"x"});
  EXPECT_EQ(copy->keywords(), json{"k"});
  EXPECT_EQ(copy->adNetworkExtrasFor<ZUMExtras>(), request->adNetworkExtrasFor<ZUMExtras>());

  // A publisher request given plain parameters rebuilds the class they name.
  auto plain = ZUMRequest::create();
  EXPECT_EQ(PXRRequest::createWithParameters(plain->threadSafeParameters())->className(), "ZUMRequest");
  // Values of the wrong kind count as absent.
  json parameters = request->threadSafeParameters();
  parameters["ppid"] = 5;
  parameters["category_exclusions"] = "x";
  auto rebuilt = std::dynamic_pointer_cast<PXRRequest>(PXRRequest::createWithParameters(parameters));
  ASSERT_TRUE(rebuilt);
  EXPECT_FALSE(rebuilt->publisherProvidedID());
  EXPECT_FALSE(rebuilt->categoryExclusions());
  EXPECT_EQ(rebuilt->keywords(), json{"k"});
}

}  // namespace
