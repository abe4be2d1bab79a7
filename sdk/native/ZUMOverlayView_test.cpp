#include "sdk/native/ZUMOverlayView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/SystemLog.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "testing/TestEnvironment.h"

namespace {

using nlohmann::ordered_json;
using Received = std::vector<std::string>;

// The ad's page and the overlay page are both the recording ad page: each records every
// QYRA_ReceiveMessage call and sends in-page messages when the test asks it to.
class ZUMOverlayViewTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<ZUMAdView> loadedAdPage() {
    auto page = ZUMAdView::create({0, 0, 320, 50});
    auto delegate = ZUMAdViewDelegate::create();
    page->setDelegate(delegate);
    delegates.push_back(delegate);
    page->loadHTMLString(platform::webtest::readPage("ad_view.html"), platform::URL::fromString(kAdURL));
    EXPECT_TRUE(env.runUntil([&] { return !page->isLoading(); }));
    env.runUntilIdle();
    return page;
  }
  static std::string evaluate(ZUMAdView& page, const std::string& script) {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(page.webView())
        ->engine()
        ->stringByEvaluatingJavaScriptFromString(script);
  }
  // Sends an in-page message from the page and lets it reach the notification center.
  void send(ZUMAdView& page, const std::string& name, const std::string& query) {
    const auto before = messages;
    evaluate(page, "send(" + ordered_json(name).dump() + ", " + ordered_json(query).dump() + ")");
    env.runUntil([&] { return messages > before; });
    env.runUntilIdle();
  }
  static Received received(ZUMAdView& page) {
    return ordered_json::parse(evaluate(page, "JSON.stringify(received)")).get<Received>();
  }
  // What the page received, once it has `count` messages.
  Received receivedOnce(ZUMAdView& page, std::size_t count) {
    env.runUntil([&] { return received(page).size() >= count; });
    return received(page);
  }
  static std::string encoded(const std::string& text) {
    return platform::PercentEncoding::encode(text, platform::PercentEncoding::alphanumerics());
  }
  static std::string loadHtmlQuery(const std::string& id, const std::string& baseURL = "https://overlay.example.com/") {
    return "overlayHtml=" + encoded(platform::webtest::readPage("ad_view.html")) + "&baseUrl=" + encoded(baseURL) +
           (id.empty() ? "" : "&id=" + id);
  }
  void loadOverlay(const std::string& id) {
    send(*adPage, "loadHtml", loadHtmlQuery(id));
    ASSERT_NE(overlay->overlayView(), nullptr);
    ASSERT_TRUE(env.runUntil([&] { return !overlay->overlayView()->isLoading(); }));
    env.runUntilIdle();
  }

  static constexpr const char* kAdURL = "https://ads.example.com/native.html";
  std::vector<std::shared_ptr<ZUMAdViewDelegate>> delegates;
  int messages = 0;
  // Counts every message the pages post, whoever hears it.
  platform::NotificationCenter::Token counter = platform::NotificationCenter::defaultCenter().addObserver(
      "", nullptr, nullptr, [this](const platform::Notification&) { ++messages; });
  std::shared_ptr<ZUMAdView> adPage = loadedAdPage();
  std::shared_ptr<ZUMOverlayView> overlay = [this] {
    auto made = ZUMOverlayView::create({0, 0, 320, 50});
    made->setAdView(adPage);
    return made;
  }();
};

TEST_F(ZUMOverlayViewTest, TheAdPageLoadsAnOverlayAndHearsThatItLoadedWithItsId) {
  EXPECT_TRUE(overlay->isHidden());
  loadOverlay("ov-1");
  auto page = overlay->overlayView();
  EXPECT_EQ(page->superview(), overlay);
  EXPECT_FALSE(page->isHidden());
  EXPECT_EQ(page->frame(), overlay->bounds()) << "sized as the overlay";
  EXPECT_EQ(page->URL()->absoluteString(), "https://overlay.example.com/");
  EXPECT_NE(page->orientation(), 0) << "the page's message handler heard the load";
  EXPECT_EQ(overlay->overlayIdentifier(), "ov-1");
  EXPECT_EQ(receivedOnce(*adPage, 1), Received{R"(sendMessageToNativeJs {"messageType":"htmlLoaded","id":"ov-1"})"});

  send(*adPage, "showOverlay", "");
  EXPECT_FALSE(overlay->isHidden());
  send(*adPage, "hideOverlay", "");
  EXPECT_TRUE(overlay->isHidden());
  send(*adPage, "showOverlay", "");
  send(*page, "hideOverlay", "");
  EXPECT_TRUE(overlay->isHidden()) << "the overlay page hides it too";
}

TEST_F(ZUMOverlayViewTest, MessagesPassBetweenThePagesAndTheOverlayIdIsAddedWhenMissing) {
  loadOverlay("ov-1");
  auto page = overlay->overlayView();
  send(*adPage, "sendMessageToNativeJs", "action=play&n=2");
  EXPECT_EQ(receivedOnce(*page, 1), Received{R"(sendMessageToSdk {"action":"play","n":"2"})"});

  send(*page, "sendMessageToSdk", "state=done");
  send(*page, "sendMessageToSdk", "state=own&id=mine");
  EXPECT_EQ(receivedOnce(*adPage, 3), (Received{R"(sendMessageToNativeJs {"messageType":"htmlLoaded","id":"ov-1"})",
                                                R"(sendMessageToNativeJs {"state":"done","id":"ov-1"})",
                                                R"(sendMessageToNativeJs {"state":"own","id":"mine"})"}));
}

TEST_F(ZUMOverlayViewTest, AFailedLoadClearsTheIdAndAnOverlayWithoutIdAddsNone) {
  loadOverlay("");
  EXPECT_EQ(receivedOnce(*adPage, 1), Received{R"(sendMessageToNativeJs {"messageType":"htmlLoaded"})"});
  loadOverlay("ov-2");
  auto page = overlay->overlayView();
  ASSERT_EQ(overlay->overlayIdentifier(), "ov-2");
  overlay->adViewDidFinishLoad(*page);  // a later load of the page is no new overlay
  overlay->adViewDidFailLoadWithError(*page, platform::Error::create("test", 1));
  EXPECT_EQ(overlay->overlayIdentifier(), std::nullopt);
  send(*page, "sendMessageToSdk", "x=1");
  EXPECT_EQ(receivedOnce(*adPage, 3), (Received{R"(sendMessageToNativeJs {"messageType":"htmlLoaded"})",
                                                R"(sendMessageToNativeJs {"messageType":"htmlLoaded","id":"ov-2"})",
                                                R"(sendMessageToNativeJs {"x":"1"})"}));
}

TEST_F(ZUMOverlayViewTest, OnlyHttpOrTheBlankPageMayBeTheBaseAndHtmlIsRequired) {
  const struct {
    ordered_json message;
    bool loads;
  } cases[] = {
      {{{"baseUrl", "https://overlay.example.com/"}}, false},  // no HTML
      {{{"overlayHtml", 5}}, false},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "file:///etc/"}}, false},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "javascript:alert(1)"}}, false},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "tolm://page/x"}}, false},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "data:text/html,x"}}, false},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "about:srcdoc"}}, false},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "not a url"}}, false},
      {{{"overlayHtml", "<p>"}}, true},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "about:blank"}}, true},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "HTTP://overlay.example.com/"}}, true},
      {{{"overlayHtml", "<p>"}, {"baseUrl", "https://overlay.example.com/a"}}, true},
  };
  for (const auto& c : cases) {
    overlay->removeOverlaySubview();
    platform::SystemLog::Capture capture(true);
    overlay->loadOverlayWithUserInfo(c.message);
    EXPECT_EQ(overlay->overlayView() != nullptr, c.loads) << c.message.dump();
    env.runUntilIdle();
    EXPECT_EQ(capture.contains("Overlay not loaded"), !c.loads) << "refusals are logged";
  }
}

TEST_F(ZUMOverlayViewTest, MessagesOfOtherSendersAreNotHeardAndSetAdViewMovesEveryObservation) {
  auto otherPage = loadedAdPage();
  send(*otherPage, "loadHtml", loadHtmlQuery("x"));
  send(*otherPage, "showOverlay", "");
  EXPECT_EQ(overlay->overlayView(), nullptr);
  EXPECT_TRUE(overlay->isHidden());
  // A notification of the name without a sender is not the ad page's either.
  platform::NotificationCenter::defaultCenter().post("showOverlay", nullptr, ordered_json::object());
  EXPECT_TRUE(overlay->isHidden());

  loadOverlay("ov-1");
  send(*adPage, "showOverlay", "");
  std::weak_ptr<ZUMAdView> oldOverlayPage = overlay->overlayView();
  overlay->setAdView(otherPage);
  EXPECT_TRUE(overlay->isHidden());
  EXPECT_EQ(overlay->overlayView(), nullptr);
  EXPECT_TRUE(oldOverlayPage.expired()) << "the overlay page goes with its ad view";
  send(*adPage, "showOverlay", "");
  EXPECT_TRUE(overlay->isHidden()) << "the old ad page is no longer heard";
  send(*otherPage, "showOverlay", "");
  EXPECT_FALSE(overlay->isHidden());

  overlay->setAdView(nullptr);  // hears nobody, not everybody
  send(*otherPage, "showOverlay", "");
  send(*adPage, "showOverlay", "");
  EXPECT_TRUE(overlay->isHidden());
}

TEST_F(ZUMOverlayViewTest, OnceTheOverlayGoesNoMessageReachesEitherPage) {
  loadOverlay("ov-1");
  std::weak_ptr<ZUMAdView> overlayPage = overlay->overlayView();
  const auto before = received(*adPage).size();
  overlay.reset();
  EXPECT_TRUE(overlayPage.expired());
  send(*adPage, "sendMessageToNativeJs", "a=1");
  send(*adPage, "loadHtml", loadHtmlQuery("again"));
  env.runUntilIdle();
  EXPECT_EQ(received(*adPage).size(), before);
}

TEST_F(ZUMOverlayViewTest, AMessageToTheOverlayMakesItsPageWhenThereIsNone) {
  send(*adPage, "sendMessageToNativeJs", "early=1");
  ASSERT_NE(overlay->overlayView(), nullptr);
  EXPECT_EQ(overlay->overlayView()->delegate().get(), overlay.get());
}

}  // namespace
