#include "platform/ui/Coder.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/base/ClassRegistry.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using CoderTest = testenv::PlatformTest;

// A view class of a host, made from archives through the base's coder initializer.
class BadgeView : public View {
 public:
  static std::shared_ptr<BadgeView> create(const Coder& coder) {
    auto view = std::shared_ptr<BadgeView>(new BadgeView());
    if (!view->initWithCoder(coder)) return nullptr;
    view->title = coder.decodeStringForKey("title").value_or("");
    return view;
  }
  std::string title;

 private:
  BadgeView() : View(Rect()) {}
};

constexpr const char* kFrame = R"("frame": {"x": 10, "y": 20, "width": 320, "height": 50})";

std::string archive(const std::string& className, const std::string& rest) {
  return R"({"class": ")" + className + R"(")" + (rest.empty() ? "" : ", " + rest) + "}";
}

TEST_F(CoderTest, MakesRegisteredClassesWithTheArchivedFrame) {
  View::registerClass();
  ViewController::registerClass();
  Coder::registerViewClass("BadgeView", [](const Coder& c) { return BadgeView::create(c); });

  auto plain = Coder::create(archive("View", std::string(kFrame) + R"(, "hidden": true, "alpha": 0.5, "tag": 7)"));
  ASSERT_TRUE(plain);
  auto view = plain->decodeView();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->frame(), Rect(10, 20, 320, 50));
  EXPECT_TRUE(view->isHidden());
  EXPECT_EQ(view->alpha(), 0.5);
  EXPECT_EQ(view->tag(), 7);

  auto badgeArchive = Coder::create(archive("BadgeView", std::string(kFrame) + R"(, "title": "New", "tag": "7")"));
  ASSERT_TRUE(badgeArchive);
  EXPECT_TRUE(badgeArchive->containsValueForKey("title"));
  EXPECT_FALSE(badgeArchive->containsValueForKey("subtitle"));
  auto badge = std::dynamic_pointer_cast<BadgeView>(badgeArchive->decodeView());
  ASSERT_TRUE(badge);
  EXPECT_EQ(badge->title, "New");
  EXPECT_EQ(badge->tag(), 0) << "a tag of another type is absent";

  auto empty = Coder::create(archive("View", R"("frame": {"x": 1, "y": 2, "width": 0, "height": 0})"));
  ASSERT_TRUE(empty && empty->decodeView());
  EXPECT_EQ(empty->decodeView()->frame(), Rect(1, 2, 0, 0)) << "an empty frame is a frame";

  auto controller =
      Coder::create(archive("ViewController", R"("view": )" + archive("BadgeView", kFrame)))->decodeViewController();
  ASSERT_TRUE(controller);
  EXPECT_FALSE(controller->isViewLoaded());
  EXPECT_EQ(controller->view()->frame(), Rect(10, 20, 320, 50));
  EXPECT_TRUE(std::dynamic_pointer_cast<BadgeView>(controller->view()));
}

TEST_F(CoderTest, RefusesWhatCannotBeMadeAndSaysWhy) {
  View::registerClass();
  ViewController::registerClass();
  struct Other {};
  ClassRegistry::shared().registerClass<Other>("Widget", [] { return std::make_shared<Other>(); });

  const struct {
    std::string archive;
    bool controller;
    const char* logged;
  } rows[] = {
      {archive("Nowhere", kFrame), false, "Nowhere: no class has that name"},
      {archive("Widget", kFrame), false, "Widget: the class has no coder initializer for a view"},
      {archive("View", kFrame), true, "View: the class has no coder initializer for a view controller"},
      {archive("View", ""), false, "View: its coder initializer refused"},
      {archive("View", R"("frame": {"x": 0, "y": 0, "width": -1, "height": 5})"), false, "refused"},
      {archive("View", R"("frame": {"x": "0", "y": 0, "width": 1, "height": 5})"), false, "refused"},
      {archive("View", R"("frame": {"x": 0, "y": 0, "width": 1e999, "height": 5})"), false, "not an archive"},
      {archive("View", R"("frame": [0, 0, 1, 5])"), false, "refused"},
      {archive("ViewController", ""), true, "without a view"},
      {archive("ViewController", R"("view": )" + archive("View", "")), true, "ViewController: its coder"},
      {archive("ViewController", R"("view": 5)"), true, "not an archive object"},
      {R"({"frame": {}})", false, "names no class"},
      {R"({"class": ""})", false, "names no class"},
      {R"({"class": 7})", false, "names no class"},
      {"[1, 2]", false, "not an archive"},
      {"{\"class\": \"View\"", false, "not an archive"},
  };
  for (const auto& row : rows) {
    SystemLog::Capture log(true);
    auto coder = Coder::create(row.archive);
    const bool made =
        coder && (row.controller ? coder->decodeViewController() != nullptr : coder->decodeView() != nullptr);
    EXPECT_FALSE(made) << row.archive;
    EXPECT_TRUE(log.contains(row.logged)) << row.archive << " logged " << testing::PrintToString(log.messages());
  }
}

}  // namespace
}  // namespace platform
