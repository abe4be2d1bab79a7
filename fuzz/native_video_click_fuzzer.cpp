// The video page's click ("videoClicked", posted as "zum-native-ad-video-click") with any
// parameters, through a native ad view policy whose ad plays video in a media view. The
// first byte chooses the sender (bit 0: the ad's own media page or another page) and the
// form (bit 1: the page's message query as written, else a JSON user info); the rest is
// the query or the JSON.
//
// Properties: no crash; a click from another page is never the ad's; one from the ad's
// own page is its click exactly once, on the media asset, at a point whose coordinates
// are finite numbers, the media view's origin for a coordinate the page left out.
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMMediaContentDisplaying.h"
#include "ZUMMediaView.h"
#include "ZUMNativeAd.h"
#include "ZUMVideoControlling.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/net/URLLoading.h"
#include "platform/web/WebView.h"
#include "sdk/native/ZUMNativeAdViewPolicy.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMNativeAdVideoClickTOLMHandler.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;
using fuzzenv::check;

constexpr const char* kClickCall = "vantor.qyra.nativeAds.handleClickTolm(";
// Where the media view sits in the ad view.
constexpr double kMediaX = 20;
constexpr double kMediaY = 60;

struct Playing final : ZUMVideoControlling {
  void setMute(bool) override {}
  void play() override {}
  void pause() override {}
  void setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>&) override {}
  bool hasVideoContent() const override { return true; }
  double aspectRatio() const override { return 16.0 / 9.0; }
  bool customControlsEnabled() const override { return false; }
  std::int64_t videoPlaybackState() const override { return 1; }
};

// Video whose page is `page`.
struct Media final : ZUMMediaContentDisplaying {
  explicit Media(std::shared_ptr<platform::View> page) : page(std::move(page)) {}
  void loadVideoWithCompletionHandler(CompletionHandler completion) override { completion(nullptr); }
  std::shared_ptr<platform::View> mediaView() override { return page; }
  std::shared_ptr<ZUMVideoControlling> videoController() const override { return controller; }
  std::shared_ptr<platform::View> page;
  std::shared_ptr<ZUMVideoControlling> controller = std::make_shared<Playing>();
};

class VideoAd final : public ZUMNativeAd {
 public:
  VideoAd(const Json& dictionary, std::shared_ptr<Media> media)
      : ZUMNativeAd(dictionary, {}), media_(std::move(media)) {}
  std::string adFormatTemplateID() const override { return "2"; }
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent() const override { return media_; }
  void adLoaderDidReceiveAd(ZUMAdLoader&) override {}

 private:
  std::shared_ptr<Media> media_;
};

// What lives for the whole run: the ad's native-ads page (its slot, never loaded: the
// scripts it is given are recorded) and two video pages.
struct Pages {
  Pages() {
    platform::URLLoading::setOffline(true);
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    slot = ZUMSlot::create();
  }
  const std::vector<std::string>& scripts() const {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(std::dynamic_pointer_cast<ZUMAdView>(slot->adView())->webView())
        ->engine()
        ->evaluatedScripts();
  }
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> media = ZUMAdView::create({0, 0, 320, 180});
  std::shared_ptr<ZUMAdView> other = ZUMAdView::create({0, 0, 320, 180});
  std::shared_ptr<ZUMNativeAdVideoClickTOLMHandler> handler = ZUMNativeAdVideoClickTOLMHandler::create();
  std::uint64_t serial = 0;
};

// The clicks the ad's page was given whose ad is `id`, their arguments decoded.
std::vector<Json> clicksOf(const Pages& pages, const std::string& id) {
  std::vector<Json> clicks;
  const std::string mark = "\"id\":\"" + id + "\"";
  for (const auto& script : pages.scripts()) {
    if (script.rfind(kClickCall, 0) != 0 || script.find(mark) == std::string::npos) continue;
    const std::size_t start = std::char_traits<char>::length(kClickCall);
    clicks.push_back(Json::parse(script.substr(start, script.size() - start - 1), nullptr, false));
  }
  return clicks;
}

// Posts the click; whether the page's message could be made at all.
bool post(Pages& pages, bool own, bool asQuery, const std::string& text, Json& userInfo) {
  const auto sender = own ? pages.media : pages.other;
  if (asQuery) {
    const auto url = platform::URL::fromString("tolm://native/videoClicked?" + text);
    const auto notification = url ? ZUMNotification::createWithNotificationURL(*url) : nullptr;
    if (!notification) return false;
    userInfo = notification->parameters();
    return pages.handler->handleNotification(notification, sender);
  }
  userInfo = Json::parse(text, nullptr, false);
  if (userInfo.is_discarded()) userInfo = text;
  platform::NotificationCenter::defaultCenter().post(kZUMNativeAdVideoClickNotification, sender, userInfo);
  return true;
}

void checkPoint(const Json& point, const Json& userInfo) {
  for (const auto& [key, touch, origin] : {std::tuple{"x", "touchX", kMediaX}, std::tuple{"y", "touchY", kMediaY}}) {
    check(point.contains(key) && point[key].is_number());
    const double value = point[key].get<double>();
    check(std::isfinite(value));
    if (!userInfo.is_object() || !userInfo.contains(touch)) check(value == origin);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("native_video_click_fuzzer");
  static Pages* pages = new Pages();  // for the whole run, as content processes are costly
  if (size < 1) return 0;
  const bool own = (data[0] & 1) == 0;
  const bool asQuery = (data[0] & 2) == 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  // The host's view with the media view; the host reports impressions, so the page is
  // given clicks only.
  auto adView = platform::View::create({0, 0, 360, 300});
  auto mediaView = ZUMMediaView::create({kMediaX, kMediaY, 320, 180});
  adView->addSubview(mediaView);
  const std::string id = "ad-" + std::to_string(++pages->serial);
  auto ad = std::make_shared<VideoAd>(Json{{"id", id}, {"allow_pub_event_reporting", {{"impression_reporting", true}}}},
                                      std::make_shared<Media>(pages->media));
  ad->setSlot(pages->slot);
  auto policy = ZUMNativeAdViewPolicy::create(adView, "2009", "2010", "2099", true);
  policy->setAssetViews({{"2011", mediaView}});
  policy->setNativeAd(ad);
  fuzzenv::drainMainLoop();

  Json userInfo;
  const bool posted = post(*pages, own, asQuery, text, userInfo);
  fuzzenv::drainMainLoop();
  const auto clicks = clicksOf(*pages, id);
  check(clicks.size() == (own && posted ? 1u : 0u));
  for (const auto& click : clicks) {
    check(click.is_object() && click.contains("click_signal"));
    const auto& signal = click["click_signal"];
    check(signal["asset_id"] == "2011");
    checkPoint(signal["click_point"], userInfo);
  }
  policy->unregisterAdView();
  // A second between clicks, as a user's are: the page's content process is allowed so
  // much time per stretch of the clock, which would otherwise stand still.
  platform::MainLoopDriver::advance(std::chrono::seconds(1));
  return 0;
}
