#include "ZUMAdChoicesView.h"

#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "platform/ui/Label.h"
#include "sdk/native/ZUMNativeTestSupport.h"

namespace {

using nativetest::TestAd;

// A test kind that offers an AdChoices content view.
class AdWithChoices : public TestAd {
 public:
  static std::shared_ptr<AdWithChoices> create(std::string templateID, std::shared_ptr<platform::View> content) {
    std::shared_ptr<AdWithChoices> ad(new AdWithChoices());
    ad->templateID = std::move(templateID);
    ad->content = std::move(content);
    return ad;
  }
  std::shared_ptr<platform::View> adChoicesContentView() const override { return content; }
  std::shared_ptr<platform::View> content;

 private:
  AdWithChoices() : TestAd(Json::object(), {}) {}
};

class ZUMAdChoicesViewTest : public testenv::PlatformTest {
 protected:
  static std::shared_ptr<platform::Label> badge(const std::string& text) {
    auto label = platform::Label::create();
    label->setText(text);
    return label;
  }
  std::shared_ptr<ZUMAdChoicesView> choices = ZUMAdChoicesView::create({0, 0, 100, 40});
};

TEST_F(ZUMAdChoicesViewTest, AnAdsContentIsShownCentredAtItsOwnSize) {
  const auto content = nativetest::attributionBadge(env, {15, 15});
  const auto ad = AdWithChoices::create("2", content);
  choices->setNativeAd(ad);
  EXPECT_EQ(choices->nativeAd(), ad);
  ASSERT_EQ(choices->adChoicesContentView(), content);
  EXPECT_EQ(content->superview(), choices);
  EXPECT_FALSE(content->translatesAutoresizingMaskIntoConstraints());
  EXPECT_EQ(choices->intrinsicContentSize(), content->intrinsicContentSize());
  EXPECT_TRUE(choices->needsLayout());
  choices->layoutIfNeeded();
  EXPECT_EQ(content->center(), (platform::Point{50, 20}));
  EXPECT_GT(content->frame().width(), 15) << "the strip's own size: its text and its icon";
  EXPECT_EQ(content->frame().height(), 15);
  const platform::Rect label = content->textView()->frame();
  EXPECT_TRUE(label.width() > 0 && content->bounds().contains(label)) << "the text inside the strip";

  std::weak_ptr<ZUMNativeAd> weak = ad;
  choices->setNativeAd(nullptr);
  EXPECT_EQ(choices->adChoicesContentView(), nullptr);
  EXPECT_EQ(content->superview(), nullptr);
  EXPECT_EQ(choices->intrinsicContentSize(),
            (platform::Size{platform::kViewNoIntrinsicMetric, platform::kViewNoIntrinsicMetric}));
  choices->setNativeAd(ad);
  EXPECT_TRUE(choices->adChoicesContentView());
  EXPECT_EQ(choices->nativeAd(), ad);
}

TEST_F(ZUMAdChoicesViewTest, ACustomTemplateAdIsRefusedWithItsLogLineAndTheViewIsUnchanged) {
  const auto content = badge("AdChoices");
  const auto first = AdWithChoices::create("1", content);
  choices->setNativeAd(first);
  platform::SystemLog::Capture capture(true);
  choices->setNativeAd(AdWithChoices::create("3", badge("custom")));
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Failed to set custom template native ad on AdChoices view. Not supported."));
  EXPECT_EQ(choices->nativeAd(), first);
  EXPECT_EQ(choices->adChoicesContentView(), content);
  EXPECT_EQ(choices->subviews().size(), 1u);
}

TEST_F(ZUMAdChoicesViewTest, ANewContentViewReplacesAndRemovesTheOld) {
  const auto old = badge("old");
  const auto fresh = badge("fresh");
  choices->setAdChoicesContentView(old);
  choices->layoutIfNeeded();
  choices->setAdChoicesContentView(old);  // no change: nothing to lay out again
  EXPECT_FALSE(choices->needsLayout());
  choices->setAdChoicesContentView(fresh);
  EXPECT_EQ(old->superview(), nullptr);
  EXPECT_EQ(fresh->superview(), choices);
  EXPECT_EQ(choices->subviews(), std::vector<std::shared_ptr<platform::View>>{fresh});
  EXPECT_TRUE(choices->needsLayout());
}

TEST_F(ZUMAdChoicesViewTest, TheAdIsHeldWeakly) {
  auto ad = AdWithChoices::create("2", badge("x"));
  choices->setNativeAd(ad);
  ad.reset();
  EXPECT_EQ(choices->nativeAd(), nullptr);
}

}  // namespace
