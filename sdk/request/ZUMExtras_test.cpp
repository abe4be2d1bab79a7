#include "ZUMExtras.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;

namespace {

TEST(ZUMExtrasTest, ACopyKeepsItsOwnParameters) {
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(json("not a dictionary"));
  EXPECT_FALSE(extras->additionalParameters());

  extras->setAdditionalParameters(json{{"a", 1}});
  auto copy = extras->copy();
  EXPECT_EQ(copy->additionalParameters(), extras->additionalParameters());
  extras->setAdditionalParameters(json{{"_ad", json::object()}});
  EXPECT_EQ(copy->additionalParameters(), (json{{"a", 1}}));
  EXPECT_TRUE(extras->hasAd());
  EXPECT_FALSE(copy->hasAd());
}

}  // namespace
