// One custom-template ad of 10, 100, 1,000 and 10,000 image assets, delivered through an
// ad loader: the main thread's time per asset ("us_per_asset") should stay flat (within
// 2x) from 10 to 10,000, as nothing an asset does (its bookkeeping, the completion
// check after each image, a failed image's lookup, the image loads in flight) grows with
// the ad.
//
// Each iteration, twice: a loader asking for custom templates has taken over a response
// (its preprocessor and hidden page made, outside the stopwatch). Timed: the page's
// answer with the one ad arrives, the loader makes the ad, its images load (every other
// one required; the optional ones fail with a 404) until the delegate has the ad. Once
// with the ad of many images, once with the same ad without any: "us_per_asset" is the
// difference over the number of images, "us_per_ad_without_assets" the second alone.
//
// The deterministic executor on a virtual clock, the images answered by an interception
// handler: only the SDK's and the platform's own work is measured, no network.
#include <chrono>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "ZUMNativeCustomTemplateAd.h"
#include "platform/base/NotificationCenter.h"
#include "platform/net/URLProtocol.h"
#include "sdk/native/ZUMNativePageTestSupport.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "testing/TestImages.h"

namespace {

using Clock = std::chrono::steady_clock;
using nativetest::Json;

constexpr const char* kImageHost = "img.example";

// Answers the images' host without the network: a small PNG, or a 404 for "/missing/...".
class ImageProtocol final : public platform::URLProtocol {
 public:
  using URLProtocol::URLProtocol;
  static bool canInitWithRequest(const platform::URLRequest& request) {
    return request.url() && request.url()->host() == kImageHost;
  }
  void startLoading() override {
    const platform::URL& url = *request().url();
    const bool missing = url.path().value_or("").rfind("/missing/", 0) == 0;
    client()->URLProtocolDidReceiveResponse(
        *this, platform::HTTPURLResponse(url, missing ? 404 : 200, {{"Content-Type", "image/png"}}));
    client()->URLProtocolDidLoadData(*this, missing ? std::string_view("not found") : std::string_view(png()));
    client()->URLProtocolDidFinishLoading(*this);
  }
  void stopLoading() override {}

 private:
  static const std::string& png() {
    static const std::string bytes = testenv::pngBytes(2, 2, {0, 0, 200});
    return bytes;
  }
};

struct TemplateDelegate : ZUMNativeCustomTemplateAdLoaderDelegate {
  std::optional<Json> nativeCustomTemplateIDsForAdLoader(ZUMAdLoader&) override { return Json{7}; }
  void adLoaderDidReceiveNativeCustomTemplateAd(ZUMAdLoader&,
                                                const std::shared_ptr<ZUMNativeCustomTemplateAd>& ad) override {
    received = ad;
  }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr&) override { ++failed; }
  std::shared_ptr<ZUMNativeCustomTemplateAd> received;
  int failed = 0;
};

// The page's answer: one custom-template ad of `count` images, the odd ones optional and missing.
std::string answer(int count) {
  Json assets = Json::array();
  for (int i = 0; i < count; ++i) {
    const bool required = i % 2 == 0;
    const std::string url =
        std::string("https://") + kImageHost + (required ? "/images/" : "/missing/") + std::to_string(i) + ".png";
    assets.push_back(Json{{"name", "image" + std::to_string(i)},
                          {"type", "image"},
                          {"image_value", {{"url", url}, {"scale", 1}, {"require", required}}}});
  }
  Json ad{{"type", "native"},
          {"template_id", 3},
          {"custom_template_id", 7},
          {"custom_assets", std::move(assets)},
          {"tracking_urls_and_actions", {{"vantor_click_tracking_url", "https://track.example/click"}}}};
  return Json{{"ads", {std::move(ad)}}}.dump();
}

// Delivers the ad of the page's answer `text` through a new loader; the seconds from the
// answer to the delegate holding the ad, or a negative number when it was not delivered
// with its `images` required images.
double deliver(nativepagetest::RecordingSlotRendering& rendering, testenv::TestEnvironment& env,
               const std::string& text, std::size_t images) {
  // Outside the stopwatch: a loader that has taken a response over.
  auto delegate = std::make_shared<TemplateDelegate>();
  auto loader = ZUMAdLoader::create("unit-B", nullptr, {"3"}, {});
  loader->setDelegate(delegate);
  loader->loadRequest(nativetest::pageRequest("https://ads.adnetwork.example/native"));
  const std::shared_ptr<void> page = rendering.takeOverResponse(*loader);

  const auto start = Clock::now();
  platform::NotificationCenter::defaultCenter().post("nativeAdPreProcess", page, Json{{"success", text}});
  env.runUntilIdle();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const bool delivered =
      delegate->received && delegate->failed == 0 && delegate->received->availableAssetKeys().size() == images;
  return delivered ? seconds : -1;
}

void BM_CustomTemplateAdOfManyImages(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  testenv::TestEnvironment env;
  ZUMMobileAds::load();
  platform::URLLoading::setOffline(true);
  platform::URLProtocol::registerClass<ImageProtocol>();
  auto rendering = nativepagetest::RecordingSlotRendering::install();
  const std::string withImages = answer(count);
  const std::string withoutImages = answer(0);
  double imagesSeconds = 0;
  double emptySeconds = 0;
  for (auto _ : state) {
    const double images = deliver(*rendering, env, withImages, static_cast<std::size_t>((count + 1) / 2));
    const double empty = deliver(*rendering, env, withoutImages, 0);
    if (images < 0 || empty < 0) {
      state.SkipWithError("the ad was not delivered with its required images");
      break;
    }
    imagesSeconds += images;
    emptySeconds += empty;
  }
  platform::URLProtocol::unregisterClass<ImageProtocol>();
  if (state.iterations() == 0) return;
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["us_per_ad_without_assets"] = emptySeconds / iterations * 1e6;
  state.counters["us_per_asset"] = (imagesSeconds - emptySeconds) / iterations / count * 1e6;
}

BENCHMARK(BM_CustomTemplateAdOfManyImages)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
