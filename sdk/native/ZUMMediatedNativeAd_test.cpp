// Other networks' native ads in the SDK: the wrapper's reporting rules (who hears a
// click or an impression when the network records its own), the rendered view tracked
// and untracked in order, the SDK ad each protocol becomes for a loader (or none), a
// first-party ad used as it is, the network's notifications reaching the host on the
// main thread, and the mediated video controller's playback states.
#include <gtest/gtest.h>

#include "ZUMMediatedNativeAdNotificationSource.h"
#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeContentAd.h"
#include "ZUMNativeCustomTemplateAd.h"
#include "ZUMVideoController.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/URL.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/native/ZUMMediationNativeAdMediaContent.h"
#include "sdk/native/ZUMMediationNativeAdVideoController.h"
#include "sdk/native/ZUMNativeAdViewPolicy.h"
#include "sdk/native/ZUMNativeTestSupport.h"

namespace {

using nativetest::Json;
using nativetest::Log;

// What the network's ad hears from the SDK.
struct NetworkDelegate : ZUMMediatedNativeAdDelegate {
  bool mediatedNativeAdDidRecordImpression(ZUMMediatedNativeAd&) override { return note("impression"); }
  bool mediatedNativeAdDidRecordClickOnAssetWithName(ZUMMediatedNativeAd&, const std::string& asset,
                                                     const std::shared_ptr<platform::View>&,
                                                     const std::shared_ptr<platform::ViewController>&) override {
    return note("click " + asset);
  }
  bool mediatedNativeAdDidRenderInView(ZUMMediatedNativeAd&, const std::shared_ptr<platform::View>& view,
                                       const std::shared_ptr<platform::ViewController>&) override {
    return note("render " + name(view));
  }
  bool mediatedNativeAdDidUntrackView(ZUMMediatedNativeAd&, const std::shared_ptr<platform::View>& view) override {
    return note("untrack " + name(view));
  }
  std::string name(const std::shared_ptr<platform::View>& view) const {
    return view ? std::to_string(static_cast<int>(view->frame().size.width)) : "none";
  }
  bool note(const std::string& what) {
    log->push_back(what);
    return true;
  }
  std::shared_ptr<Log> log = std::make_shared<Log>();
};

// A network's native ad of no known kind.
struct PlainNetworkAd : virtual ZUMMediatedNativeAd {
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override { return delegate; }
  std::optional<Json> extraAssets() const override { return Json{{"extra", "x"}}; }
  std::shared_ptr<NetworkDelegate> delegate = std::make_shared<NetworkDelegate>();
};

struct NetworkTemplateAd : PlainNetworkAd, ZUMMediatedNativeCustomTemplateAd {
  std::string templateID() const override { return "77"; }
  std::vector<std::string> availableAssetKeys() const override { return {"title", "", "logo"}; }
  std::optional<std::string> stringForKey(const std::string& key) const override {
    return key == "title" ? std::optional<std::string>("Hello") : std::nullopt;
  }
  std::shared_ptr<ZUMNativeAdImage> imageForKey(const std::string&) const override { return nullptr; }
  void performClickOnAssetWithKey(const std::string& key) override { delegate->log->push_back("network click " + key); }
};

std::shared_ptr<ZUMNativeAdImage> networkImage(const std::string& name) {
  return ZUMNativeAdImage::createWithURL(*platform::URL::fromString("https://network.example/" + name), 1);
}

struct NetworkAppInstallAd : PlainNetworkAd, ZUMMediatedNativeAppInstallAd {
  std::optional<std::string> headline() const override { return "h"; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return {image}; }
  std::optional<std::string> body() const override { return std::nullopt; }
  std::shared_ptr<ZUMNativeAdImage> icon() const override { return iconImage; }
  std::optional<std::string> callToAction() const override { return "Install"; }
  std::optional<std::string> starRating() const override { return rating; }
  std::optional<std::string> store() const override { return "Store"; }
  std::optional<std::string> price() const override { return "Free"; }
  std::shared_ptr<platform::View> adChoicesView() const override { return choices; }
  std::shared_ptr<platform::View> mediaView() const override { return media; }
  std::optional<bool> hasVideoContent() const override { return video; }
  std::shared_ptr<platform::View> media = platform::View::create({0, 0, 16, 9});
  std::optional<bool> video = true;
  std::shared_ptr<ZUMNativeAdImage> image = networkImage("image.png");
  std::shared_ptr<ZUMNativeAdImage> iconImage = networkImage("icon.png");
  std::optional<std::string> rating = "4.5";
  std::shared_ptr<platform::View> choices = platform::View::create({0, 0, 15, 15});
};

struct NetworkContentAd : PlainNetworkAd, ZUMMediatedNativeContentAd {
  std::optional<std::string> headline() const override { return "h"; }
  std::optional<std::string> body() const override { return "b"; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return {}; }
  std::shared_ptr<ZUMNativeAdImage> logo() const override { return nullptr; }
  std::optional<std::string> callToAction() const override { return std::nullopt; }
  std::optional<std::string> advertiser() const override { return "Advertiser"; }
};

// The host's listener of the public video controller, "!" off the main thread.
struct HostVideo : ZUMVideoControllerDelegate {
  ZUMImplemented videoControllerDidPlayVideo(ZUMVideoController&) override { return note("play"); }
  ZUMImplemented videoControllerDidPauseVideo(ZUMVideoController&) override { return note("pause"); }
  ZUMImplemented videoControllerDidEndVideoPlayback(ZUMVideoController&) override { return note("end"); }
  ZUMImplemented note(const std::string& what) {
    log.push_back(what + (platform::isMainThread() ? "" : "!"));
    return kZUMImplemented;
  }
  Log log;
};

class ZUMMediatedNativeAdTest : public testenv::PlatformTest {
 protected:
  ZUMMediatedNativeAdTest() { ZUMMobileAds::load(); }

  // A wrapper of `ad` whose handlers write into `log`.
  std::shared_ptr<ZUMMediatedNativeAdImpl> wrap(std::shared_ptr<ZUMMediatedNativeAd> ad,
                                                const std::shared_ptr<Log>& log) {
    auto mediated = ZUMMediatedNativeAdImpl::create();
    mediated->setAd(std::move(ad));
    mediated->setAdNetworkClassName("NetworkAdapter");
    mediated->addClickHandler([log] { log->push_back("click ping"); });
    mediated->addImpressionHandler([log] { log->push_back("impression ping"); });
    return mediated;
  }
  std::shared_ptr<ZUMAdLoader> makeLoader() { return ZUMAdLoader::create("unit-M", host, {"3"}, {}); }

  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
};

TEST_F(ZUMMediatedNativeAdTest, EachProtocolNamesItsKindAndAnAdOfNoneBecomesNothing) {
  auto noIcon = std::make_shared<NetworkAppInstallAd>();
  noIcon->iconImage = nullptr;
  const struct {
    const char* name;
    std::shared_ptr<ZUMMediatedNativeAd> ad;
    std::optional<std::string> kind;
    bool loadable;
  } rows[] = {
      {"plain", std::make_shared<PlainNetworkAd>(), std::nullopt, false},
      {"none at all", nullptr, std::nullopt, false},
      {"app install", std::make_shared<NetworkAppInstallAd>(), kZUMNativeAppInstallAdClassName, true},
      {"app install without an icon", noIcon, kZUMNativeAppInstallAdClassName, false},
      {"content", std::make_shared<NetworkContentAd>(), kZUMNativeContentAdClassName, true},
      {"custom template", std::make_shared<NetworkTemplateAd>(), kZUMNativeCustomTemplateAdClassName, true},
  };
  auto loader = makeLoader();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto mediated = wrap(row.ad, std::make_shared<Log>());
    EXPECT_EQ(mediated->nativeAdClass(), row.kind);
    EXPECT_EQ(mediated->loadableAdForAdLoader(*loader) != nullptr, row.loadable);
  }
}

TEST_F(ZUMMediatedNativeAdTest, ANetworksTemplateAdBecomesACustomTemplateAdOfTheLoader) {
  auto network = std::make_shared<NetworkTemplateAd>();
  auto mediated = wrap(network, network->delegate->log);
  mediated->setAllowPublisherRenderedAttribution(true);
  auto loadable = mediated->loadableAdForAdLoader(*makeLoader());
  auto ad = std::dynamic_pointer_cast<ZUMNativeCustomTemplateAd>(loadable);
  ASSERT_NE(ad, nullptr);
  EXPECT_EQ(ad->mediatedNativeAd(), mediated);
  EXPECT_EQ(ad->templateID(), "77");
  EXPECT_EQ(ad->availableAssetKeys(), (std::vector<std::string>{"logo", "title"}));
  EXPECT_EQ(ad->stringForKey("title"), "Hello");
  EXPECT_EQ(ad->adUnitID(), "unit-M");
  EXPECT_EQ(ad->rootViewController(), host);
  EXPECT_TRUE(ad->publisherRenderAdChoicesAllowed());
  EXPECT_EQ(ad->adNetworkClassName(), "NetworkAdapter");
  EXPECT_EQ(ad->extraAssets(), (Json{{"extra", "x"}}));
  EXPECT_EQ(ad->attributionCorner(), 0);

  // A click goes to the network and through the wrapper; the impression once.
  ad->performClickOnAssetWithKey("title");
  ad->recordImpression();
  ad->recordImpression();
  EXPECT_EQ(*network->delegate->log,
            (Log{"network click title", "click ping", "click title", "impression ping", "impression"}));
}

TEST_F(ZUMMediatedNativeAdTest, NetworkAppInstallAndContentAdsBecomeTheKindsWithTheirValuesAndMedia) {
  auto network = std::make_shared<NetworkAppInstallAd>();
  auto mediated = wrap(network, network->delegate->log);
  auto ad = std::dynamic_pointer_cast<ZUMNativeAppInstallAd>(mediated->loadableAdForAdLoader(*makeLoader()));
  ASSERT_NE(ad, nullptr);
  EXPECT_EQ(ad->headline(), "h");
  EXPECT_EQ(ad->callToAction(), "Install");
  EXPECT_EQ(ad->store(), "Store");
  EXPECT_EQ(ad->price(), "Free");
  EXPECT_EQ(ad->starRating(), 4.5);
  EXPECT_EQ(ad->icon(), network->iconImage);
  EXPECT_EQ(ad->images(), (std::vector<std::shared_ptr<ZUMNativeAdImage>>{network->image})) << "at hand";
  EXPECT_EQ(ad->adChoicesContentView(), network->choices);
  EXPECT_EQ(ad->overlayView(), nullptr);
  EXPECT_EQ(ad->attribution(), nullptr);
  EXPECT_FALSE(ad->publisherOwnedAdViewAllowed());
  auto media = std::dynamic_pointer_cast<ZUMMediationNativeAdMediaContent>(ad->mediaContent());
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->mediaView(), network->media);
  // It hears the network's notifications.
  auto host = std::make_shared<nativetest::AdDelegate>();
  ad->setDelegate(host);
  ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillPresentScreen(network);
  env.runUntilIdle();
  EXPECT_EQ(host->log, Log{"present"});
  // An unreadable rating is none.
  network->rating = "four";
  auto unrated = std::dynamic_pointer_cast<ZUMNativeAppInstallAd>(
      wrap(network, network->delegate->log)->loadableAdForAdLoader(*makeLoader()));
  ASSERT_NE(unrated, nullptr);
  EXPECT_EQ(unrated->starRating(), 0.0);

  auto content = std::make_shared<NetworkContentAd>();
  auto contentAd = std::dynamic_pointer_cast<ZUMNativeContentAd>(
      wrap(content, content->delegate->log)->loadableAdForAdLoader(*makeLoader()));
  ASSERT_NE(contentAd, nullptr);
  EXPECT_EQ(contentAd->body(), "b");
  EXPECT_EQ(contentAd->advertiser(), "Advertiser");
  EXPECT_NE(std::dynamic_pointer_cast<ZUMMediationNativeAdMediaContent>(contentAd->mediaContent()), nullptr);
}

TEST_F(ZUMMediatedNativeAdTest, AFirstPartyNativeAdIsUsedAsItIs) {
  auto own = ZUMNativeCustomTemplateAd::create(Json{{"custom_template_id", "5"}}, {});
  auto mediated = wrap(own, std::make_shared<Log>());
  auto loadable = mediated->loadableAdForAdLoader(*makeLoader());
  EXPECT_EQ(loadable, own);
  EXPECT_EQ(mediated->ad(), nullptr);
  EXPECT_EQ(own->mediatedNativeAd(), mediated);
  EXPECT_EQ(own->adNetworkClassName(), "NetworkAdapter");
  EXPECT_EQ(own->adUnitID(), "unit-M");
}

TEST_F(ZUMMediatedNativeAdTest, WhoHearsAClickOrAnImpressionDependsOnWhoRecordsIt) {
  const struct {
    const char* name;
    bool adapterHandles;
    void (*report)(ZUMMediatedNativeAdImpl&);
    Log heard;
  } rows[] = {
      {"sdk impression",
       false,
       [](ZUMMediatedNativeAdImpl& m) { m.reportImpression(); },
       {"impression ping", "impression"}},
      {"sdk impression, adapter records", true, [](ZUMMediatedNativeAdImpl& m) { m.reportImpression(); }, {}},
      {"network impression",
       true,
       [](ZUMMediatedNativeAdImpl& m) { m.reportAdNetworkImpression(); },
       {"impression ping"}},
      {"network impression, sdk records", false, [](ZUMMediatedNativeAdImpl& m) { m.reportAdNetworkImpression(); }, {}},
      {"sdk click",
       false,
       [](ZUMMediatedNativeAdImpl& m) { m.reportClickOnAssetWithName("2001", nullptr, nullptr); },
       {"click ping", "click 2001"}},
      {"sdk click, adapter records",
       true,
       [](ZUMMediatedNativeAdImpl& m) { m.reportClickOnAssetWithName("2001", nullptr, nullptr); },
       {}},
      {"network click", true, [](ZUMMediatedNativeAdImpl& m) { m.reportAdNetworkClick(); }, {"click ping"}},
      {"network click, sdk records", false, [](ZUMMediatedNativeAdImpl& m) { m.reportAdNetworkClick(); }, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto network = std::make_shared<PlainNetworkAd>();
    auto mediated = wrap(network, network->delegate->log);
    mediated->setAdapterHandlesUserClicks(row.adapterHandles);
    mediated->setAdapterHandlesUserImpressions(row.adapterHandles);
    row.report(*mediated);
    EXPECT_EQ(*network->delegate->log, row.heard);
  }
}

TEST_F(ZUMMediatedNativeAdTest, ANewViewUntracksTheOldOneFirstAndTheSameViewSendsNothing) {
  auto network = std::make_shared<PlainNetworkAd>();
  auto first = platform::View::create({0, 0, 1, 1});
  auto second = platform::View::create({0, 0, 2, 2});
  {
    auto mediated = wrap(network, network->delegate->log);
    mediated->reportMediatedAdRenderedInView(first, host);
    mediated->reportMediatedAdRenderedInView(second, host);
    mediated->reportMediatedAdRenderedInView(second, host);
    mediated->reportMediatedAdShouldUntrackView(first);
    EXPECT_EQ(mediated->renderedView(), second);
    EXPECT_EQ(*network->delegate->log, (Log{"render 1", "untrack 1", "render 2"}));
    // Untracked, the next view has no view before it to untrack.
    mediated->reportMediatedAdShouldUntrackView(second);
    EXPECT_EQ(mediated->renderedView(), nullptr);
    mediated->reportMediatedAdRenderedInView(first, host);
    EXPECT_EQ(*network->delegate->log, (Log{"render 1", "untrack 1", "render 2", "untrack 2", "render 1"}));
    network->delegate->log->clear();
  }
  // Gone while rendered: the network untracks the view still alive.
  EXPECT_EQ(*network->delegate->log, (Log{"untrack 1"}));
}

TEST_F(ZUMMediatedNativeAdTest, TheNetworksNotificationsReachTheHostOnTheMainThread) {
  auto network = std::make_shared<NetworkTemplateAd>();
  auto mediated = wrap(network, network->delegate->log);
  mediated->setAdapterHandlesUserClicks(true);
  mediated->setAdapterHandlesUserImpressions(true);
  auto ad = std::dynamic_pointer_cast<ZUMNativeAd>(mediated->loadableAdForAdLoader(*makeLoader()));
  ASSERT_NE(ad, nullptr);
  auto host = std::make_shared<nativetest::AdDelegate>();
  ad->setDelegate(host);
  // The SDK's own reports go nowhere: the adapter records both itself.
  ad->performClickOnView(nullptr, "title", Json::object());
  ad->recordImpressionWithEnvironment(Json::object());
  EXPECT_TRUE(ad->hasRecordedImpression());
  EXPECT_EQ(*network->delegate->log, Log{});

  const std::shared_ptr<ZUMMediatedNativeAd> object = network;
  platform::DispatchQueue::global()->async([object] {
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordImpression(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordClick(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillPresentScreen(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillDismissScreen(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidDismissScreen(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillLeaveApplication(object);
    // Another network's ad is not this one's.
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillPresentScreen(std::make_shared<PlainNetworkAd>());
  });
  env.runUntilIdle();
  EXPECT_EQ(*network->delegate->log, (Log{"impression ping", "click ping"}));
  EXPECT_EQ(host->log, (Log{"present", "dismiss", "dismissed", "leave"}));

  // The view policy's views are the ones the network renders in and untracks.
  auto adView = platform::View::create({0, 0, 3, 3});
  auto policy = ZUMNativeAdViewPolicy::create(adView, "2009", "2010", "2099", false);
  ASSERT_NE(policy, nullptr);
  ad->nativeAdViewPolicyDidBeginTrackingView(*policy, *adView);
  ad->nativeAdViewPolicyDidUnloadNativeAd(*policy, *ad, nullptr);
  EXPECT_EQ(mediated->renderedView(), adView);
  ad->nativeAdViewPolicyDidUnloadNativeAd(*policy, *ad, adView.get());
  EXPECT_EQ(mediated->renderedView(), nullptr);

  // Gone: later notifications find nobody.
  ad.reset();
  ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillPresentScreen(object);
  env.runUntilIdle();
  EXPECT_EQ(host->log.size(), 4u);
}

TEST_F(ZUMMediatedNativeAdTest, TheMediatedVideoTellsEachChangeOnceOnTheMainThread) {
  auto network = std::make_shared<NetworkAppInstallAd>();
  auto content = ZUMMediationNativeAdMediaContent::createWithMediatedNativeAppInstallAd(network);
  EXPECT_EQ(content->mediaView(), network->media);
  auto controller = content->mediationVideoController();
  ASSERT_EQ(content->videoController(), controller);
  EXPECT_TRUE(controller->hasVideoContent());
  EXPECT_EQ(controller->aspectRatio(), 0.0);
  EXPECT_FALSE(controller->customControlsEnabled());
  // The public controller the host holds listens to it.
  auto publicController = ZUMVideoController::create();
  auto hostVideo = std::make_shared<HostVideo>();
  publicController->setDelegate(hostVideo);
  publicController->setInternalVideoController(controller);

  const std::shared_ptr<ZUMMediatedNativeAd> object = network;
  platform::DispatchQueue::global()->async([object] {
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPlayVideo(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPauseVideo(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPauseVideo(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidEndVideoPlayback(object);
  });
  env.runUntilIdle();
  EXPECT_EQ(hostVideo->log, (Log{"play", "pause", "end"}));
  EXPECT_EQ(publicController->videoPlaybackState(), kZUMMediationVideoPlaybackStateEnded);
  // Commands go nowhere: the network plays its video itself.
  publicController->pause();
  EXPECT_EQ(controller->videoPlaybackState(), kZUMMediationVideoPlaybackStateEnded);

  // Once it stops observing, the network's news changes nothing.
  controller->stopObservingMediatedNativeAd();
  ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPlayVideo(object);
  env.runUntilIdle();
  EXPECT_EQ(controller->videoPlaybackState(), kZUMMediationVideoPlaybackStateEnded);

  bool loaded = false;
  content->loadVideoWithCompletionHandler([&](platform::ErrorPtr error) { loaded = !error; });
  EXPECT_FALSE(loaded) << "completes on a later turn";
  env.runUntilIdle();
  EXPECT_TRUE(loaded);
}

TEST_F(ZUMMediatedNativeAdTest, AnAdWithoutVideoIsNotObserved) {
  auto network = std::make_shared<NetworkAppInstallAd>();
  network->video = std::nullopt;
  auto controller =
      ZUMMediationNativeAdMediaContent::createWithMediatedNativeAppInstallAd(network)->mediationVideoController();
  auto content = std::make_shared<NetworkContentAd>();
  auto contentController =
      ZUMMediationNativeAdMediaContent::createWithMediatedNativeContentAd(content)->mediationVideoController();
  ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPlayVideo(network);
  ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPlayVideo(content);
  env.runUntilIdle();
  EXPECT_FALSE(controller->hasVideoContent());
  EXPECT_EQ(controller->videoPlaybackState(), kZUMMediationVideoPlaybackStateInitial);
  EXPECT_EQ(contentController->videoPlaybackState(), kZUMMediationVideoPlaybackStateInitial);
  // State 1 plays as 2 does; setting it again tells nothing.
  auto hostVideo = std::make_shared<HostVideo>();
  auto publicController = ZUMVideoController::create();
  publicController->setDelegate(hostVideo);
  publicController->setInternalVideoController(controller);
  controller->setVideoPlaybackState(kZUMMediationVideoPlaybackStateStarting);
  controller->setVideoPlaybackState(kZUMMediationVideoPlaybackStateStarting);
  env.runUntilIdle();
  EXPECT_EQ(hostVideo->log, Log{"play"});
}

}  // namespace
