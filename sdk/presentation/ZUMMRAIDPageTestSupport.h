// A banner slot whose ad view shows a real MRAID page: the page loads "mraid.js", the
// MRAID interceptor redirects it to the hosted script (testing/pages/mraid.js, served
// by a loopback server), and the script speaks tolm:// to the slot's ad-view delegate,
// whose chain holds the opener and MRAID handlers; the presentation area shows what the
// opener asks for. Tests run the page's bridge functions and read back what the page
// heard (mraid.log).
#pragma once

#include <memory>
#include <string>

#include "ZUMAdSize.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/View.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/presentation/ZUMMRAIDTOLMHandler.h"
#include "sdk/presentation/ZUMOpenerScreens.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMOpenerTOLMHandler.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "testing/LoopbackServer.h"

namespace presentation_testing {

class MRAIDPageTest : public PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    server.route("/hosted/banner/mraid.js",
                 {.body = platform::webtest::readPage("mraid.js"), .contentType = "text/javascript"});
    platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
    ZUMRegisterURLInterception();
    auto interceptor = ZUMMRAIDInterceptor::sharedInstance();
    interceptor->setBannerImplementationURLString("https://ads.example.com/hosted/banner/mraid.js");
    interceptor->setEnabled(true);
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMClickHandling::setShared(std::make_shared<ZUMOpenerScreens>());
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::Opener,
                                [](ZUMAdViewDelegate& d) { return ZUMOpenerTOLMHandler::create(d.opener()); });
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::MRAID,
                                [](ZUMAdViewDelegate& d) { return ZUMMRAIDTOLMHandler::create(d.opener()); });
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
    slot->setAdEventDelegate(events);
    slot->setAd(ZUMAd::create());
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    host->view()->addSubview(banner);
    adView->setFrame(banner->bounds());
    banner->addSubview(adView);
    adView->setViewController(host);
    adView->loadHTMLString(platform::webtest::readPage("mraid_ad.html"), platform::URL::fromString(kAdURL));
    ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading() && state(*adView) == "default"; }));
    env.runUntilIdle();
    adView->setTouched(true);
    heard();
    log->clear();
  }
  void TearDown() override {
    closeEverything();
    ZUMMRAIDInterceptor::sharedInstance()->setEnabled(false);
    ZUMSlotRendering::setShared(nullptr);
    ZUMClickHandling::setShared(nullptr);
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::Opener, {});
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::MRAID, {});
    PresentationTest::TearDown();
  }

  // SDK screens left up keep themselves: each gives the screen back, the resized ad's
  // first (it is in the window, not presented).
  void closeEverything() {
    for (int left = 4; left > 0; --left) {
      auto up = std::dynamic_pointer_cast<ZUMViewController>(adView ? adView->viewController() : nullptr);
      if (!up) up = testenv::AppControls::topmost<ZUMViewController>();
      if (!up) return;
      up->relinquishScreenWithCompletion(nullptr);
      env.advance(1);
    }
  }
  static std::string evaluate(ZUMAdView& view, const std::string& script) {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(view.webView())
        ->engine()
        ->stringByEvaluatingJavaScriptFromString(script);
  }
  static std::string state(ZUMAdView& view) { return evaluate(view, "mraid.getState()"); }
  // Runs an ad's script in the page, then lets a second pass for animations go by.
  void run(const std::string& script) {
    evaluate(*adView, script);
    env.advance(1);
  }
  // What the page heard since the last call, "|"-separated.
  std::string heard() { return evaluate(*adView, "mraid.log.splice(0, mraid.log.length).join('|')"); }

  static constexpr const char* kAdURL = "https://ads.example.com/ad.html";
  testenv::LoopbackServer server;
  std::shared_ptr<platform::View> banner = platform::View::create({0, 100, 320, 50});
  std::shared_ptr<ZUMAdView> adView;
};

}  // namespace presentation_testing
