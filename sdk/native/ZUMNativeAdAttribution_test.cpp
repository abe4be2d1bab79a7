// The attribution read from server dictionaries, its icons downloaded from the loopback
// server (pictures made at run time), and the badge view that draws it.
#include "sdk/native/ZUMNativeAdAttribution.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMNativeAdImage.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Transition.h"
#include "sdk/native/ZUMNativeAdAttributionView.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "sdk/native/ZUMPushTransitionView.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"
#include "testing/TestImages.h"

namespace {

using json = nlohmann::ordered_json;
using namespace std::chrono_literals;
using platform::Color;
using platform::LayoutConstraint;
using Attribute = LayoutConstraint::Attribute;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class ZUMNativeAdAttributionTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    server.route("/wide.png", {.body = testenv::pngBytes(20, 10), .contentType = "image/png"});
    server.route("/square.png", {.body = testenv::pngBytes(16, 16), .contentType = "image/png"});
    server.route("/held.png", {.body = testenv::pngBytes(8, 8), .contentType = "image/png", .held = true});
    server.route("/broken.png", {.body = "not a picture", .contentType = "image/png"});
  }
  json icon(const std::string& path) const { return {{"url", server.baseURL() + path}}; }
  json icons(std::initializer_list<const char*> paths) const {
    json list = json::array();
    for (const char* path : paths) list.push_back(icon(path));
    return list;
  }

  // Loads the attribution's assets and records every completion.
  void load(const std::shared_ptr<ZUMNativeAdAttribution>& attribution) {
    attribution->loadAssetsWithCompletionHandler([this](platform::ErrorPtr error) {
      EXPECT_TRUE(platform::isMainThread());
      results.push_back(error ? error->code() : 0);
    });
    EXPECT_TRUE(results.empty()) << "never inside the call";
  }
  std::vector<std::string> iconPaths(const ZUMNativeAdAttribution& attribution) const {
    std::vector<std::string> paths;
    for (const auto& i : attribution.icons()) paths.push_back(i->imageURL()->path().value_or(""));
    return paths;
  }

  testenv::LoopbackServer server;
  std::vector<std::int64_t> results;
};

TEST_F(ZUMNativeAdAttributionTest, DurationsAndTextSizesFromTheServerAreCheckedBeforeUse) {
  const struct {
    json value;
    double animation;
    double presentation;
    double textSize;
  } cases[] = {
      {nullptr, 1.0, 4.0, 12},  // absent
      {20, 1.0, 4.0, 20},      {3000, 3.0, 3.0, 256},      {50, 0.05, 0.05, 50},
      {49.9, 1.0, 4.0, 49.9},  {0.5, 1.0, 4.0, 0.5},       {-3000, 1.0, 4.0, 12},
      {0, 1.0, 4.0, 12},       {kNaN, 1.0, 4.0, 12},       {std::numeric_limits<double>::infinity(), 1.0, 4.0, 12},
      {"3000", 1.0, 4.0, 12},  {1e300, 1e297, 1e297, 256},
  };
  platform::SystemLog::Capture capture(true);
  for (const auto& c : cases) {
    json dictionary = json::object();
    if (!c.value.is_null()) {
      dictionary = {{"animation_ms", c.value}, {"presentation_ms", c.value}, {"text_size", c.value}};
    }
    const auto attribution = ZUMNativeAdAttribution::create(dictionary);
    EXPECT_EQ(attribution->iconAnimationDuration(), c.animation) << c.value;
    EXPECT_EQ(attribution->iconPresentationDuration(), c.presentation) << c.value;
    EXPECT_EQ(attribution->font().pointSize(), c.textSize) << c.value;
  }
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Attribution \"text_size\" not positive; the default is used."));
}

TEST_F(ZUMNativeAdAttributionTest, ColoursNeedEveryComponentAsAFiniteNumberAndAreClamped) {
  const Color textDefault = Color::rgb(12 / 255.0, 174 / 255.0, 206 / 255.0);
  const Color background = Color::rgb(0.8, 0.8, 0.8);
  const struct {
    json colour;
    Color expected;
  } cases[] = {
      {{{"r", 255}, {"g", 0}, {"b", 0}}, Color::rgb(1, 0, 0, 1)},
      {{{"r", 255}, {"g", 0}}, textDefault},
      {{{"r", 51}, {"g", 102}, {"b", 255}, {"a", 0.5}}, Color::rgb(0.2, 0.4, 1, 0.5)},
      {{{"r", 300}, {"g", -5}, {"b", 0}, {"a", 7}}, Color::rgb(1, 0, 0, 1)},
      {{{"r", kNaN}, {"g", 0}, {"b", 0}}, textDefault},
      {{{"r", "255"}, {"g", 0}, {"b", 0}}, textDefault},
      {{{"r", 0}, {"g", 0}, {"b", 0}, {"a", "half"}}, textDefault},
      {{{"r", 0}, {"g", 0}, {"b", 0}, {"a", -1}}, Color::rgb(0, 0, 0, 0)},
      {json::array({255, 0, 0}), textDefault},
  };
  platform::SystemLog::Capture capture(true);
  for (const auto& c : cases) {
    const auto attribution = ZUMNativeAdAttribution::create({{"text_color", c.colour}, {"bg_color", c.colour}});
    EXPECT_EQ(attribution->textColor(), c.expected) << c.colour;
    const Color expectedBackground = c.expected == textDefault ? background : c.expected;
    EXPECT_EQ(attribution->backgroundColor(), expectedBackground) << c.colour;
  }
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Attribution \"text_color\" is no colour; the default is used."));
  const auto plain = ZUMNativeAdAttribution::create("no dictionary");
  EXPECT_EQ(plain->text(), std::nullopt);
  EXPECT_EQ(plain->textColor(), textDefault);
  EXPECT_EQ(plain->backgroundColor(), background);
  EXPECT_TRUE(plain->loadingImages().empty());
}

TEST_F(ZUMNativeAdAttributionTest, EveryIconCountsAndOneImageStandsInForAMissingList) {
  const json list = icons({"/wide.png", "/square.png", "/held.png"});
  EXPECT_EQ(ZUMNativeAdAttribution::create({{"images", list}})->loadingImages().size(), 3u);
  EXPECT_EQ(ZUMNativeAdAttribution::create({{"image", icon("/wide.png")}})->loadingImages().size(), 1u);
  EXPECT_EQ(ZUMNativeAdAttribution::create({{"images", list}, {"image", icon("/wide.png")}})->loadingImages().size(),
            3u);
  json withBad = list;
  withBad.push_back({{"url", 5}});
  EXPECT_EQ(ZUMNativeAdAttribution::create({{"images", withBad}})->loadingImages().size(), 3u);
}

TEST_F(ZUMNativeAdAttributionTest, IconsKeepTheOrderInWhichTheyFinished) {
  const auto attribution =
      ZUMNativeAdAttribution::create({{"images", icons({"/held.png", "/wide.png", "/square.png"})}});
  load(attribution);
  const auto& images = attribution->loadingImages();
  ASSERT_TRUE(env.runUntil([&] { return images[1]->image() && images[2]->image(); }));  // the two others are in
  env.runUntilIdle();
  EXPECT_TRUE(results.empty());
  EXPECT_TRUE(attribution->icons().empty()) << "only once all are in";
  server.release("/held.png");
  ASSERT_TRUE(env.runUntil([&] { return !results.empty(); }));
  env.runUntilIdle();
  EXPECT_EQ(results, std::vector<std::int64_t>{0});
  const auto paths = iconPaths(*attribution);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths.back(), "/held.png");
}

TEST_F(ZUMNativeAdAttributionTest, TheFirstIconFailureCompletesTheLoadOnceWithItsError) {
  platform::SystemLog::Capture capture(true);
  const auto attribution =
      ZUMNativeAdAttribution::create({{"images", icons({"/broken.png", "/wide.png", "/held.png"})}});
  load(attribution);
  ASSERT_TRUE(env.runUntil([&] { return !results.empty(); }));
  server.release("/held.png");
  const auto& images = attribution->loadingImages();
  ASSERT_TRUE(env.runUntil([&] { return images[1]->image() && images[2]->image(); }));  // later successes
  env.runUntilIdle();
  EXPECT_EQ(results, std::vector<std::int64_t>{11});
  EXPECT_TRUE(attribution->icons().empty());
  EXPECT_EQ(
      std::ranges::count_if(capture.messages(), [](const std::string& m) { return m.find("icon failed") != m.npos; }),
      1);

  // Loaded again once the server mends the picture: every icon once, the earlier successes not counted twice.
  server.route("/broken.png", {.body = testenv::pngBytes(4, 4), .contentType = "image/png"});
  results.clear();
  load(attribution);
  ASSERT_TRUE(env.runUntil([&] { return !results.empty(); }));
  EXPECT_EQ(results, std::vector<std::int64_t>{0});
  EXPECT_EQ(attribution->icons().size(), 3u);
}

// However slowly an icon's host answers, the load ends one request time-out after it began.
TEST_F(ZUMNativeAdAttributionTest, AnIconHostThatTricklesFailsTheLoadAtTheRequestTimeOut) {
  nativetest::HostedImages::started.clear();
  platform::URLProtocol::registerClass<nativetest::HostedImages>();
  const auto attribution =
      ZUMNativeAdAttribution::create({{"images", json::array({{{"url", "https://img.example/answers/1.png"}},
                                                              {{"url", "https://img.example/trickles/2.png"}}})}});
  load(attribution);
  for (auto second = 0s; second < 60s; second += 10s) {
    env.runUntilIdle();
    for (const auto& started : nativetest::HostedImages::started) started->play();
    env.advance(second == 50s ? 10s - 1ms : 10s);
  }
  EXPECT_TRUE(results.empty());
  env.advance(1ms);
  EXPECT_EQ(results, std::vector<std::int64_t>{platform::kURLErrorTimedOut});
}

TEST_F(ZUMNativeAdAttributionTest, NoIconsCompleteOnTheNextTurnAndALaterLoadStartsAfresh) {
  const auto none = ZUMNativeAdAttribution::create({{"text", "Ad"}});
  load(none);
  env.runUntilIdle();
  EXPECT_EQ(results, std::vector<std::int64_t>{0});

  results.clear();
  const auto attribution = ZUMNativeAdAttribution::create({{"images", icons({"/wide.png", "/square.png"})}});
  load(attribution);
  load(attribution);  // the first round's icons no longer count
  const auto& images = attribution->loadingImages();
  ASSERT_TRUE(env.runUntil([&] { return !results.empty() && images[0]->image() && images[1]->image(); }));
  env.runUntilIdle();
  EXPECT_EQ(results, std::vector<std::int64_t>{0}) << "the first round's handler was replaced";
  EXPECT_EQ(attribution->icons().size(), 2u);
}

// --- The badge view ---------------------------------------------------------------------

class ZUMNativeAdAttributionViewTest : public ZUMNativeAdAttributionTest {
 protected:
  std::shared_ptr<ZUMNativeAdAttribution> loaded(const json& dictionary) {
    auto attribution = ZUMNativeAdAttribution::create(dictionary);
    load(attribution);
    EXPECT_TRUE(env.runUntil([&] { return !results.empty(); }));
    env.runUntilIdle();
    return attribution;
  }
  // Whether `view` holds a constraint first.attribute == second.attribute * multiplier + constant.
  static bool holds(const platform::View& view, const std::shared_ptr<platform::View>& first, Attribute a,
                    const std::shared_ptr<platform::View>& second, Attribute b, double multiplier = 1,
                    double constant = 0, LayoutConstraint::Relation relation = LayoutConstraint::Relation::Equal) {
    for (const auto& c : view.constraints()) {
      if (c->firstItem() == first && c->firstAttribute() == a && c->secondItem() == second &&
          c->secondAttribute() == b && c->multiplier() == multiplier && c->constant() == constant &&
          c->relation() == relation) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(ZUMNativeAdAttributionViewTest, TheStripIsLaidOutByItsFormatsAndTheIconAreaFitsTheIcons) {
  const auto attribution = loaded({{"text", "Ad"},
                                   {"text_size", 10},
                                   {"text_color", {{"r", 255}, {"g", 0}, {"b", 0}}},
                                   {"images", icons({"/wide.png", "/square.png"})}});
  const auto view = ZUMNativeAdAttributionView::create(attribution);
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isHidden());
  EXPECT_TRUE(view->clipsToBounds());
  const auto label = std::dynamic_pointer_cast<platform::Label>(view->textView());
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Ad");
  EXPECT_EQ(label->font().pointSize(), 10);
  EXPECT_EQ(label->textColor(), Color::rgb(1, 0, 0));
  EXPECT_EQ(view->backgroundColor(), Color::rgb(0.8, 0.8, 0.8));

  const auto icons = view->iconView();
  ASSERT_EQ(view->dynamicConstraints().size(), 2u);
  EXPECT_TRUE(holds(*icons, icons, Attribute::Width, nullptr, Attribute::NotAnAttribute, 1, 20));
  EXPECT_TRUE(holds(*icons, icons, Attribute::Height, nullptr, Attribute::NotAnAttribute, 1, 16));

  // Subviews in the order made: icons, label, paddings; none translates its mask.
  const auto& subviews = view->subviews();
  ASSERT_EQ(subviews.size(), 4u);
  EXPECT_EQ(subviews[0], icons);
  EXPECT_EQ(subviews[1], label);
  const auto left = subviews[2];
  const auto right = subviews[3];
  for (const auto& s : subviews) EXPECT_FALSE(s->translatesAutoresizingMaskIntoConstraints());
  EXPECT_TRUE(holds(*view, left, Attribute::Leading, view, Attribute::Leading));
  EXPECT_TRUE(holds(*view, label, Attribute::Leading, left, Attribute::Trailing));
  EXPECT_TRUE(holds(*view, right, Attribute::Leading, label, Attribute::Trailing));
  EXPECT_TRUE(holds(*view, icons, Attribute::Leading, right, Attribute::Trailing));
  EXPECT_TRUE(holds(*view, view, Attribute::Trailing, icons, Attribute::Trailing));
  EXPECT_TRUE(holds(*view, left, Attribute::Top, view, Attribute::Top));
  EXPECT_TRUE(holds(*view, view, Attribute::Bottom, left, Attribute::Bottom));
  EXPECT_TRUE(holds(*view, left, Attribute::Height, label, Attribute::Height, 1, 0,
                    LayoutConstraint::Relation::GreaterThanOrEqual));
  EXPECT_TRUE(holds(*view, left, Attribute::Height, icons, Attribute::Height, 1, 0,
                    LayoutConstraint::Relation::GreaterThanOrEqual));
  EXPECT_TRUE(holds(*view, left, Attribute::Width, label, Attribute::Height, 0.37));
  EXPECT_TRUE(holds(*view, right, Attribute::Width, label, Attribute::Height, 0.37));
  int centred = 0;
  for (const auto& c : view->constraints()) centred += c->firstAttribute() == Attribute::CenterY;
  EXPECT_EQ(centred, 3) << "the four views of the strip aligned on their vertical centres";

  view->setFrame({0, 0, 60, 20});
  view->layoutIfNeeded();
  EXPECT_EQ(view->cornerRadius(), 3.0);
}

TEST_F(ZUMNativeAdAttributionViewTest, AnewAttributionReplacesTheIconSizeAndRestartsTheTurns) {
  const auto view = ZUMNativeAdAttributionView::create(
      loaded({{"animation_ms", 500}, {"presentation_ms", 1500}, {"images", icons({"/wide.png", "/square.png"})}}));
  const auto rotation = std::dynamic_pointer_cast<ZUMPushTransitionView>(view->iconView());
  ASSERT_NE(rotation, nullptr);
  EXPECT_EQ(rotation->views().size(), 2u);
  env.advance(1999ms);
  EXPECT_EQ(rotation->currentViewIndex(), 0u);
  env.advance(1ms);
  EXPECT_EQ(rotation->currentViewIndex(), 1u);
  EXPECT_EQ(platform::LayerTransitions::forKey(*rotation->clippingView(), kZUMPushTransitionKey)->duration, 0.5);

  results.clear();
  const auto old = view->dynamicConstraints();
  view->setAttribution(*loaded({{"image", icon("/square.png")}}));
  EXPECT_EQ(rotation->views().size(), 1u);
  EXPECT_EQ(rotation->currentViewIndex(), 0u);
  for (const auto& c : old) EXPECT_FALSE(c->isActive()) << "the old icon size is removed";
  EXPECT_TRUE(holds(*rotation, rotation, Attribute::Width, nullptr, Attribute::NotAnAttribute, 1, 16));
  EXPECT_EQ(rotation->constraints().size(), 2u + 4u) << "its size, and its clipping view's";
}

TEST_F(ZUMNativeAdAttributionViewTest, NeitherIconsNorTextGiveAHiddenView) {
  const auto empty = ZUMNativeAdAttributionView::create(ZUMNativeAdAttribution::create(json::object()));
  EXPECT_TRUE(empty->isHidden());
  EXPECT_EQ(empty->dynamicConstraints()[0]->constant(), 0) << "no icons, no icon area";
  EXPECT_EQ(empty->dynamicConstraints()[1]->constant(), 0);
  EXPECT_TRUE(ZUMNativeAdAttributionView::create(ZUMNativeAdAttribution::create({{"text", ""}}))->isHidden());
  EXPECT_FALSE(ZUMNativeAdAttributionView::create(ZUMNativeAdAttribution::create({{"text", "Ad"}}))->isHidden());
  EXPECT_FALSE(ZUMNativeAdAttributionView::create(loaded({{"image", icon("/wide.png")}}))->isHidden());
  EXPECT_EQ(ZUMNativeAdAttributionView::create(std::shared_ptr<ZUMNativeAdAttribution>()), nullptr);
}

}  // namespace
