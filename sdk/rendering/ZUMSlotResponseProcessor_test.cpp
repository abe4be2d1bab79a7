#include "sdk/rendering/ZUMSlotResponseProcessor.h"

#include <cmath>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/Clock.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Image.h"
#include "platform/ui/Window.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/rendering/ZUMAdNetworkJavaScriptAdViewDelegate.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMViewContentRendered.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotPlacement.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using State = ZUMSlot::State;

struct Owner : ZUMSlotDelegate, ZUMSlotAdLoadDelegate {
  void slotFinishedLoadingAdContent(ZUMSlot& slot) override {
    auto view = slot.adView();
    finished.push_back({slot.state(), view && !view->isHidden(), slot.ad() != nullptr});
  }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) override {
    errors.push_back(error);
  }
  std::optional<bool> slotNotifyPublisherToRenderCustomRenderingAd(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad,
                                                                   platform::ErrorPtr*) override {
    customAds.push_back(ad);
    return rendersCustomAds;
  }
  std::optional<std::vector<std::any>> validAdSizes() override { return sizes; }
  std::optional<platform::Rect> bounds() override { return ownerBounds; }
  ZUMImplemented setAdSize(const ZUMAdSize& size, bool) override {
    resizedTo.push_back(size);
    return kZUMImplemented;
  }
  ZUMImplemented slotContentSizeDidChange(ZUMSlot&, const platform::Size& size) override {
    contentSizes.push_back(size);
    return kZUMImplemented;
  }
  struct Finish {
    State state;
    bool shown;
    bool hasAd;
  };
  std::vector<Finish> finished;
  std::vector<platform::ErrorPtr> errors;
  std::vector<std::shared_ptr<ZUMAd>> customAds;
  std::optional<bool> rendersCustomAds;
  std::optional<std::vector<std::any>> sizes;
  std::optional<platform::Rect> ownerBounds;
  std::vector<ZUMAdSize> resizedTo;
  std::vector<platform::Size> contentSizes;
};

struct Placement : ZUMSlotPlacement {};

class ZUMSlotResponseProcessorTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMSlotResponseProcessing::setShared(processor);
    ZUMRegisterAdFetcher();
    platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(owner);
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
  }
  void TearDown() override {
    ZUMSlotResponseProcessing::setShared(nullptr);
    ZUMSlotRendering::setShared(nullptr);
  }
  void loadFromServer(const std::string& path) {
    auto request = ZUMRequest::create();
    auto extras = ZUMExtras::create();
    extras->setAdditionalParameters(Json{{"_requestUrl", "https://ads.example.com" + path}});
    request->registerAdNetworkExtras(extras);
    slot->loadRequest(request);
  }
  static std::int64_t wallMilliseconds() { return static_cast<std::int64_t>(platform::clock().wallNow() * 1000); }
  bool waitFor(State state) {
    return env.runUntil([&] { return slot->state() == state; });
  }
  std::int64_t lastError() const { return owner->errors.empty() ? -1 : owner->errors.back()->code(); }
  // A slot rendering a standard ad whose page has not reported its load yet.
  void renderWithoutLoad() {
    slot->willLoadAdHTMLInWebView();
    ASSERT_EQ(slot->state(), State::kRendering);
  }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMSlotResponseProcessor> processor = std::make_shared<ZUMSlotResponseProcessor>();
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> adView;
};

TEST_F(ZUMSlotResponseProcessorTest, AStandardAdFromTheServerRendersAndIsReportedOnce) {
  server.route("/ad", {.headers = {{"X-Qyra-Refresh-Rate", "45"}},
                       .body = "<html><body>An ad<script>var seen = 1;</script></body></html>"});
  adView->setHidden(true);  // as a banner view keeps it until its ad has loaded
  loadFromServer("/ad");
  ASSERT_TRUE(waitFor(State::kValidAd));
  env.runUntilIdle();
  ASSERT_EQ(owner->finished.size(), 1u);
  EXPECT_EQ(owner->finished[0].state, State::kValidAd);  // valid before the owner hears
  EXPECT_TRUE(owner->finished[0].shown);                 // shown before the owner hears
  EXPECT_TRUE(owner->finished[0].hasAd);                 // the shown ad before the owner hears
  EXPECT_EQ(slot->loadingAd(), nullptr);
  EXPECT_EQ(adView->ad(), slot->ad());
  auto engine = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine();
  EXPECT_EQ(engine->stringByEvaluatingJavaScriptFromString("String(seen)"), "1");
  EXPECT_DOUBLE_EQ(slot->reloadInterval(), 45);
  EXPECT_TRUE(owner->errors.empty());

  // A page that finishes again (a frame, a reload) reports nothing more.
  adView->delegate()->adViewDidFinishLoad(*adView);
  EXPECT_EQ(owner->finished.size(), 1u);
}

TEST_F(ZUMSlotResponseProcessorTest, HTMLOfOnlyWhiteSpaceAndNewlinesFailsUnicodesIncluded) {
  const struct {
    std::string path;
    std::string body;
  } rows[] = {
      {"/no-break", "\xC2\xA0"},
      {"/ideographic", "\n\xE3\x80\x80 "},
      {"/separators", "\xE2\x80\xA8\xE2\x80\xA9"},
  };
  for (const auto& row : rows) {
    server.route(row.path, {.body = row.body});
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(owner);
    loadFromServer(row.path);
    ASSERT_TRUE(env.runUntil([&] { return slot->state() == State::kFailed || slot->state() == State::kValidAd; }));
    EXPECT_EQ(slot->state(), State::kFailed) << row.path;
    EXPECT_EQ(lastError(), kZUMErrorNoFill) << row.path;
    owner->errors.clear();
  }
}

TEST_F(ZUMSlotResponseProcessorTest, FailuresEndTheLoadWithTheirCodes) {
  server.route("/blank", {.body = " \n\t \n"});
  loadFromServer("/blank");
  ASSERT_TRUE(waitFor(State::kFailed));
  EXPECT_EQ(lastError(), kZUMErrorNoFill);

  // Unknown response types and refused responses fail instead of leaving state 4.
  struct Refuser : ZUMSlotAdResponseDelegate {
    bool slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&, platform::ErrorPtr* error) override {
      if (refuse) *error = ZUMMakeErrorWithCode(kZUMErrorInvalidArgument);
      return take;
    }
    void slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&) override { ++mediated; }
    bool refuse = false;
    bool take = true;
    int mediated = 0;
  };
  auto refuser = std::make_shared<Refuser>();
  slot->setAdResponseDelegate(refuser);
  struct Row {
    std::uint64_t type;
    bool refuse, take;
    State state;
    std::int64_t code;
  };
  for (const auto& row : {Row{0, false, true, State::kFailed, kZUMErrorInvalidResponse},
                          Row{1, true, true, State::kFailed, kZUMErrorInvalidArgument},
                          Row{1, false, false, State::kValidAd, -1},  // taken over: nothing rendered
                          Row{2, false, true, State::kFailed, kZUMErrorInvalidMediationResponse}}) {
    owner->errors.clear();
    slot->resetState();
    slot->willFetchAdContent();
    auto ad = ZUMAd::create();
    ad->setResponseType(row.type);
    ad->setAdHTML("<p>x</p>");
    refuser->refuse = row.refuse;
    refuser->take = row.take;
    processor->processAdResponse(*slot, ad);
    EXPECT_EQ(slot->state(), row.state) << row.type;
    EXPECT_EQ(lastError(), row.code) << row.type;
  }
  EXPECT_EQ(refuser->mediated, 1);
  EXPECT_EQ(owner->errors.back()->localizedDescription(), "Current class not set up for processing mediation.");

  // A script ad without HTML: code 2, pending actions cancelled, then the refresh is armed.
  slot->setAdResponseDelegate(nullptr);
  slot->setReloadable(true);
  slot->setReloadInterval(30);
  slot->resetState();
  slot->willFetchAdContent();
  auto script = ZUMAd::create();
  processor->loadAdNetworkJavaScriptRequest(*slot, script);
  EXPECT_EQ(lastError(), kZUMErrorNetworkError);
  EXPECT_EQ(owner->errors.back()->localizedDescription(), "Empty ad HTML.");
  EXPECT_TRUE(slot->hasReloadTimer());
  // With HTML it runs under the script delegate; the next standard ad gets a plain one back.
  script->setAdHTML("<script>network()</script>");
  processor->loadAdNetworkJavaScriptRequest(*slot, script);
  EXPECT_NE(std::dynamic_pointer_cast<ZUMAdNetworkJavaScriptAdViewDelegate>(slot->adViewDelegate()), nullptr);
  slot->resetState();
  slot->willFetchAdContent();
  auto standard = ZUMAd::create();
  standard->setResponseType(1);
  standard->setAdHTML("<p>x</p>");
  processor->processAdResponse(*slot, standard);
  EXPECT_EQ(std::dynamic_pointer_cast<ZUMAdNetworkJavaScriptAdViewDelegate>(slot->adViewDelegate()), nullptr);
  EXPECT_EQ(adView->delegate(), slot->adViewDelegate());
  // A new shown ad has made no impression yet.
  slot->setViewHasMadeImpression(true);
  processor->finishedLoadingAdResponse(*slot, standard);
  EXPECT_FALSE(slot->viewHasMadeImpression());
}

TEST_F(ZUMSlotResponseProcessorTest, ACustomRenderingAdWaitsForAPlacementAndNeverRefreshes) {
  server.route("/custom", {.headers = {{"X-Qyra-Custom-Rendering-Allowed", "1"}}, .body = "<p>custom</p>"});
  slot->setReloadable(true);
  loadFromServer("/custom");
  ASSERT_TRUE(env.runUntil([&] { return slot->pendingCustomRenderingAd() != nullptr; }));
  EXPECT_EQ(slot->state(), State::kFetching);
  EXPECT_FALSE(slot->reloadable());
  EXPECT_TRUE(owner->customAds.empty());

  auto placement = std::make_shared<Placement>();
  slot->setPlacement(placement);  // the owner does not answer: refused
  ASSERT_EQ(owner->customAds.size(), 1u);
  EXPECT_EQ(slot->state(), State::kFailed);
  EXPECT_EQ(lastError(), kZUMErrorInvalidArgument);
  EXPECT_EQ(owner->errors.back()->localizedDescription(), "Custom rendered ad could not be rendered by delegate.");
  EXPECT_EQ(slot->ad(), nullptr);  // the ad shown before comes back

  owner->rendersCustomAds = true;
  owner->errors.clear();
  slot->resetState();
  slot->willFetchAdContent();
  auto ad = ZUMAd::create();
  ad->setResponseType(4);
  processor->processAdResponse(*slot, ad);  // a placement is there: rendered at once
  EXPECT_EQ(owner->customAds.back(), ad);
  EXPECT_EQ(slot->ad(), ad);
  EXPECT_TRUE(owner->errors.empty());
  EXPECT_FALSE(slot->hasReloadTimer());
}

TEST_F(ZUMSlotResponseProcessorTest, MultiSizeAndFluidSizing) {
  const auto box = [](const ZUMAdSize& size) { return ZUMValueFromAdSize(size); };
  const ZUMAdSize tall{{300, 250}, 0};
  slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  struct Row {
    std::optional<std::vector<std::any>> sizes;
    ZUMAdSize newSize;
    ZUMAdSize expected;
  };
  owner->ownerBounds = platform::Rect{0, 0, 375, 80};
  for (const auto& row : std::vector<Row>{
           {std::nullopt, tall, kZUMAdSizeInvalid},
           {std::vector<std::any>{box(kZUMAdSizeBanner), box(tall)}, tall, tall},
           {std::vector<std::any>{box(kZUMAdSizeBanner), box(tall)}, kZUMAdSizeBanner,
            kZUMAdSizeInvalid},  // the type's own
           {std::vector<std::any>{box(kZUMAdSizeBanner)}, tall, kZUMAdSizeInvalid},
           {std::vector<std::any>{std::any(7), box(kZUMAdSizeFluid)}, tall, ZUMFluidAdSizeWithSize(375, 80)},
       }) {
    owner->sizes = row.sizes;
    owner->resizedTo.clear();
    slot->setNewAdSize(row.newSize);
    ZUMSlotResponseProcessor::setViewForAdUsingView(*slot, adView);
    const bool invalid = ZUMAdSizeEqualToSize(row.expected, kZUMAdSizeInvalid);
    ASSERT_EQ(owner->resizedTo.size(), invalid ? 0u : 1u);
    if (!invalid) {
      EXPECT_TRUE(ZUMAdSizeEqualToSize(owner->resizedTo[0], row.expected));
    }
    EXPECT_EQ(adView->isHidden(), !invalid);  // hidden for the owner that resizes it
    EXPECT_EQ(slot->newAdSize().size.width, 0);
    adView->setHidden(false);
  }

  // A fluid owner: the response size follows the multi-size answer, the content size is
  // reported with the owner's width.
  slot->setNewAdSize(tall);
  ZUMSlotResponseProcessor::setViewForAdUsingView(*slot, adView);
  EXPECT_EQ(adView->adResponseSize().height, 250);
  slot->adViewDelegate()->adViewContentSizeDidChange(*adView, {100, 400});
  ASSERT_EQ(owner->contentSizes.size(), 1u);
  EXPECT_EQ(owner->contentSizes[0].width, 375);
  EXPECT_EQ(owner->contentSizes[0].height, 250);
  // Zero response size and a fixed ad: nothing to report.
  adView->setAdResponseSize({0, 0});
  ZUMSlotResponseProcessor::updateContentSize(*slot, {100, 400});
  EXPECT_EQ(owner->contentSizes.size(), 1u);
}

TEST_F(ZUMSlotResponseProcessorTest, TheLoadDelayReportsOnceWhenReleased) {
  auto delegate = slot->adViewDelegate();
  auto handler = ZUMTOLMHandler::create();
  slot->loadRequest(ZUMRequest::create());  // a slot that has loaded may refresh
  env.runUntilIdle();
  owner->errors.clear();
  slot->resetState();
  renderWithoutLoad();
  delegate->loadHandlerDidChangeDelay(*handler, 0, 1);
  delegate->adViewDidFinishLoad(*adView);
  for (auto [from, to] : {std::pair{1, 2}, {2, 1}}) delegate->loadHandlerDidChangeDelay(*handler, from, to);
  EXPECT_TRUE(owner->finished.empty());
  EXPECT_TRUE(delegate->isLoadDelayed());
  const auto csi = slot->CSI();
  EXPECT_EQ(csi->timestampForLabel("native:view_load"), 0) << "not finished while delayed";
  env.advance(1);
  delegate->loadHandlerDidChangeDelay(*handler, 1, 0);
  EXPECT_EQ(owner->finished.size(), 1u);
  EXPECT_EQ(csi->timestampForLabel("native:view_load"), wallMilliseconds());
  EXPECT_EQ(slot->state(), State::kValidAd);
  EXPECT_FALSE(delegate->isLoadDelayed());
  delegate->loadHandlerDidChangeDelay(*handler, 0, 1);
  delegate->loadHandlerDidChangeDelay(*handler, 1, 0);
  EXPECT_EQ(owner->finished.size(), 1u);
  // A cancelled delay fails a load in progress with the network error, not a shown ad.
  delegate->loadHandlerDidCancel(*handler);
  EXPECT_TRUE(owner->errors.empty());
  slot->resetState();
  renderWithoutLoad();
  slot->setReloadable(true);
  slot->setReloadInterval(30);
  slot->scheduleAdReloadTimer();
  delegate->loadHandlerDidCancel(*handler);
  EXPECT_EQ(lastError(), kZUMErrorNetworkError);
  EXPECT_TRUE(slot->hasReloadTimer());  // pending actions kept

  // A finished load outside state 5 shows nothing, but is timed.
  slot->resetState();
  adView->setHidden(true);
  env.advance(1);
  delegate->adViewDidFinishLoad(*adView);
  EXPECT_TRUE(adView->isHidden());
  EXPECT_EQ(csi->timestampForLabel("native:view_load"), wallMilliseconds());
}

TEST_F(ZUMSlotResponseProcessorTest, PassbackFailsALoadInProgressOnly) {
  auto navigate = [&](ZUMAdNetworkJavaScriptAdViewDelegate& d, const std::string& url) {
    return *d.adViewShouldStartLoadWithRequest(*adView, platform::URLRequest(*platform::URL::fromString(url)),
                                               platform::WebViewNavigationType::Other);
  };
  auto withURL =
      ZUMAdNetworkJavaScriptAdViewDelegate::create(slot, platform::URL::fromString("https://pb.example.com/p/"));
  auto without = ZUMAdNetworkJavaScriptAdViewDelegate::create(slot, std::nullopt);
  struct Row {
    ZUMAdNetworkJavaScriptAdViewDelegate* delegate;
    std::string url;
    bool passback;
  };
  for (const auto& row :
       {Row{withURL.get(), "https://PB.example.com/p", true}, Row{withURL.get(), "http://pb.example.com/p/?x=1", true},
        Row{withURL.get(), "https://pb.example.com/q", false}, Row{withURL.get(), "https://other.example.com/p", false},
        Row{without.get(), "PASSBACK://anything", true}, Row{without.get(), "https://pb.example.com/p", false}}) {
    EXPECT_EQ(row.delegate->isPassbackRequest(platform::URLRequest(*platform::URL::fromString(row.url))), row.passback)
        << row.url;
  }
  slot->setReloadable(true);
  slot->setReloadInterval(30);
  renderWithoutLoad();
  EXPECT_FALSE(navigate(*without, "passback://x"));
  EXPECT_EQ(slot->state(), State::kFailed);
  EXPECT_EQ(lastError(), kZUMErrorNoFill);
  EXPECT_EQ(owner->errors.back()->localizedDescription(), "Passback URL received.");
  EXPECT_TRUE(without->wasPassbackReceived());

  // A passback while checking stops the check; a later finish starts nothing.
  withURL->startRenderingTimerForAdView(adView);
  EXPECT_TRUE(withURL->isCheckingRendering());
  slot->resetState();
  renderWithoutLoad();
  EXPECT_FALSE(navigate(*withURL, "https://pb.example.com/p/"));
  EXPECT_FALSE(withURL->isCheckingRendering());
  withURL->adViewDidFinishLoad(*adView);
  EXPECT_FALSE(withURL->renderingCheckHasStarted());
  EXPECT_EQ(owner->errors.size(), 2u);

  slot->didReceiveValidAd();  // a shown ad is never failed by a late passback
  EXPECT_FALSE(navigate(*withURL, "https://pb.example.com/p"));
  EXPECT_EQ(owner->errors.size(), 2u);
  EXPECT_EQ(slot->state(), State::kValidAd);
  EXPECT_FALSE(*withURL->adViewShouldStartLoadWithRequest(*adView, platform::URLRequest(),
                                                          platform::WebViewNavigationType::Other));
}

TEST_F(ZUMSlotResponseProcessorTest, TheRenderCheckSeesDrawnContentOrGivesUp) {
  auto window = platform::Window::create({0, 0, 320, 480});
  window->addSubview(adView);
  adView->setFrame({0, 0, 320, 50});
  for (bool drawn : {true, false}) {
    owner->finished.clear();
    owner->errors.clear();
    slot->resetState();
    auto delegate = ZUMAdNetworkJavaScriptAdViewDelegate::create(slot, std::nullopt);
    adView->setDelegate(delegate);
    slot->setAdViewDelegate(delegate);
    // Loading clears the ad view's background: a page that paints nothing stays clear.
    adView->loadHTMLString(drawn ? "<body>Drawn</body>" : "<body></body>",
                           platform::URL::fromString("https://ads.example.com/"));
    ASSERT_TRUE(env.runUntil([&] { return delegate->renderingCheckHasStarted(); }));
    EXPECT_EQ(slot->state(), State::kRendering);
    env.advance(0.2);
    EXPECT_EQ(owner->finished.size(), drawn ? 1u : 0u) << drawn;
    if (drawn) continue;
    env.advance(0.2 * 99);
    EXPECT_EQ(delegate->checkRenderingCount(), 100u);
    EXPECT_TRUE(owner->errors.empty());
    env.advance(0.2);
    EXPECT_EQ(lastError(), kZUMErrorNetworkError);
    EXPECT_FALSE(delegate->isCheckingRendering());
  }
}

TEST(ZUMBackgroundPixelFractionTest, ComparesPremultipliedAndStopsEarly) {
  auto image = [](std::vector<platform::Bitmap::Pixel> pixels) {
    platform::Bitmap bitmap(static_cast<int>(pixels.size()), 1);
    for (int x = 0; x < bitmap.width(); ++x) bitmap.setPixel(x, 0, pixels[static_cast<std::size_t>(x)]);
    return platform::Image::create(bitmap);
  };
  const platform::Bitmap::Pixel green{0, 255, 0, 255}, red{255, 0, 0, 255}, hidden{200, 10, 10, 0};
  std::vector<platform::Bitmap::Pixel> mostlyGreen(19, green);
  mostlyGreen.push_back(red);
  struct Row {
    std::shared_ptr<platform::Image> image;
    std::optional<platform::Color> color;
    double expected;
  };
  for (const auto& row : std::vector<Row>{
           {image({hidden, hidden}), std::nullopt, 1.0},  // transparent is clear, whatever its channels
           {image({hidden, hidden}), platform::Color::rgb(1, 0, 0, 0), 1.0},
           {image(mostlyGreen), platform::Color::rgb(0, 1, 0), 0.95},
           {image({red, green, green}), platform::Color::rgb(0, 1, 0), 0.0},  // stops at the first pixel
           {image({green, green}), platform::Color::grey(1), 0.0},
       }) {
    EXPECT_DOUBLE_EQ(ZUMBackgroundPixelFraction(row.image, row.color), row.expected);
  }
  EXPECT_TRUE(std::isnan(ZUMBackgroundPixelFraction(nullptr, std::nullopt)));
  EXPECT_FALSE(ZUMIsViewContentRendered(nullptr));
}

}  // namespace
