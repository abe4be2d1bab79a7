// The native-ads page's answer to preprocessing, as arbitrary text, through an ad
// loader's creation of ads. The first byte is the number of ads asked for (1 to 8); the
// rest is the "success" value of the page's "nativeAdPreProcess" message. The test kinds
// (content "1", app install "2") take an entry's "assets" names as their assets: a name
// beginning with "x" fails, others finish; "required" names the asset whose failure
// fails the ad.
//
// Properties: no crash; each entry of an "ads" array, up to the most a load may ask for,
// is answered exactly once (an ad or an error), in order, the rest never; then one
// no-fill when fewer came back than were asked for;
// a document without ads gives exactly one no-fill; the last result is the only final
// one and exactly one adLoaderDidFinishLoading follows it.
//
// Each object entry is also read as a custom template ad (its "video" left out, images
// offered without loading): no asset key is empty, the keys come sorted regardless of
// case, and its assets complete once.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMAdLoader.h"
#include "ZUMExtras.h"
#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "ZUMNativeAd.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMNativeCustomTemplateAd.h"
#include "ZUMRequest.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/NotificationCenter.h"
#include "platform/net/URLLoading.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/native/ZUMNativePageTestSupport.h"
#include "sdk/network/ZUMNetworkDelivery.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMSlot.h"

using Json = nlohmann::ordered_json;

namespace {

class KindDelegate : public virtual ZUMAdLoaderDelegate {
 public:
  virtual void adLoaderDidReceiveKindAd(ZUMAdLoader& loader) = 0;
};

class Kind final : public ZUMNativeAd {
 public:
  Kind(const Json& dictionary, std::string templateID)
      : ZUMNativeAd(dictionary, {}), templateID_(std::move(templateID)) {
    if (const auto* assets = dictionary.contains("assets") ? &dictionary["assets"] : nullptr;
        assets && assets->is_array()) {
      for (const auto& name : *assets) {
        if (name.is_string()) assets_.push_back(name.get<std::string>());
      }
    }
    if (dictionary.contains("required") && dictionary["required"].is_string()) required_ = {dictionary["required"]};
  }
  std::string adFormatTemplateID() const override { return templateID_; }
  std::set<std::string> requiredAssets() const override { return required_; }
  void loadAssetsWithCompletionHandler(AssetCompletion completion) override {
    if (shouldLoadAssets()) {
      for (const auto& name : assets_) addAssetWithNameToRequestedAssets(name);
    }
    ZUMNativeAd::loadAssetsWithCompletionHandler(std::move(completion));
    for (const auto& name : assets_) {
      if (!name.empty() && name.front() == 'x') {
        failedToLoadAssetWithName(name);
      } else {
        finishedLoadingAssetWithName(name);
      }
    }
  }
  void adLoaderDidReceiveAd(ZUMAdLoader& loader) override {
    if (auto delegate = std::dynamic_pointer_cast<KindDelegate>(loader.delegate()))
      delegate->adLoaderDidReceiveKindAd(loader);
  }

 private:
  std::string templateID_;
  std::vector<std::string> assets_;
  std::set<std::string> required_;
};

class KindClass final : public ZUMNativeAdClass {
 public:
  explicit KindClass(std::string templateID) : templateID_(std::move(templateID)) {}
  std::string requiredDelegateProtocol() const override { return "KindDelegate"; }
  bool delegateConformsToRequiredProtocol(const ZUMAdLoaderDelegate& delegate) const override {
    return dynamic_cast<const KindDelegate*>(&delegate) != nullptr;
  }
  std::optional<Json> requestParametersForAdLoader(ZUMAdLoader&) const override { return Json{{"format", 1}}; }
  bool canInitWithAdLoader(ZUMAdLoader&, platform::ErrorPtr*) const override { return true; }
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) const override {
    return nullptr;
  }
  std::shared_ptr<ZUMNativeAd> adWithDictionary(const Json& dictionary,
                                                const ZUMAdConfiguration::Options&) const override {
    return std::make_shared<Kind>(dictionary, templateID_);
  }

 private:
  std::string templateID_;
};

struct Delegate final : KindDelegate {
  void adLoaderDidReceiveKindAd(ZUMAdLoader& loader) override { results.push_back(loader.isLoading() ? 'a' : 'A'); }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader& loader, const ZUMRequestErrorPtr& error) override {
    const bool noFill = error->code() == 1;
    results.push_back(loader.isLoading() ? (noFill ? 'n' : 'e') : (noFill ? 'N' : 'E'));
  }
  ZUMImplemented adLoaderDidFinishLoading(ZUMAdLoader&) override {
    ++finished;
    return kZUMImplemented;
  }
  std::string results;
  int finished = 0;
};

// The results an answer must give: one per entry, then a no-fill when short; one
// no-fill for no ads. Final (capital) only at the end.
std::string expectedResults(const std::string& answer, std::int64_t requested) {
  platform::ErrorPtr error;
  auto document = zum_decodedJSONObjectError(answer, &error);
  auto ads = document ? ZUMNativeAd::adsArrayInAdsConfigurationDictionary(*document) : std::nullopt;
  if (!ads || ads->empty()) return "N";
  const auto count =
      std::min(static_cast<std::int64_t>(ads->size()), ZUMMultipleAdsAdLoaderOptions::kMaximumNumberOfAds);
  return std::string(static_cast<std::size_t>(count), '?') + (count < requested ? "N" : "");
}

bool matches(const std::string& got, const std::string& expected) {
  if (got.size() != expected.size()) return false;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const bool last = i + 1 == got.size();
    const char c = got[i];
    if (last != (c == 'A' || c == 'E' || c == 'N')) return false;
    if (expected[i] == 'N' && c != 'N') return false;
    if (expected[i] == '?' && (c == 'n' || c == 'N')) return false;
  }
  return true;
}

// The custom template reading of every object entry of the answer's ads.
void checkCustomTemplateAds(const std::string& answer) {
  platform::ErrorPtr error;
  auto document = zum_decodedJSONObjectError(answer, &error);
  auto ads = document ? ZUMNativeAd::adsArrayInAdsConfigurationDictionary(*document) : std::nullopt;
  if (!ads) return;
  auto images = ZUMNativeAdImageAdLoaderOptions::create();
  images->setDisableImageLoading(true);
  for (auto entry : *ads) {
    if (!entry.is_object()) continue;
    entry.erase("video");  // the video loads a page of its own
    auto ad = ZUMNativeCustomTemplateAd::create(entry, {images});
    if (!ad) continue;
    int completions = 0;
    ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr&) { ++completions; });
    fuzzenv::drainMainLoop();
    fuzzenv::check(completions == 1);
    const auto keys = ad->availableAssetKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      fuzzenv::check(!keys[i].empty());
      if (i == 0) continue;
      std::string previous = keys[i - 1], current = keys[i];
      for (auto* text : {&previous, &current}) {
        for (auto& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
      fuzzenv::check(previous <= current);
    }
    static_cast<void>(ad->description());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("native_ad_loader_fuzzer");
  static auto rendering = [] {
    platform::URLLoading::setOffline(true);
    ZUMRegisterNetworkDelivery();
    ZUMRegisterAdFetcher();
    auto made = nativepagetest::RecordingSlotRendering::install();
    ZUMRegisterLoadableClass(kZUMNativeContentAdClassName, std::make_shared<KindClass>("1"));
    ZUMRegisterLoadableClass(kZUMNativeAppInstallAdClassName, std::make_shared<KindClass>("2"));
    return made;
  }();
  if (size < 1) return 0;
  const std::int64_t requested = 1 + data[0] % 8;
  const std::string answer(reinterpret_cast<const char*>(data + 1), size - 1);

  auto option = ZUMMultipleAdsAdLoaderOptions::create();
  option->setNumberOfAds(requested);
  auto loader = ZUMAdLoader::create("unit-F", nullptr, {"1", "2"}, {option});
  auto delegate = std::make_shared<Delegate>();
  loader->setDelegate(delegate);
  // The response is handed to the loader below; its own fetch is stopped.
  auto request = ZUMRequest::create();
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(Json{{"_requestUrl", "https://ads.adnetwork.example/native"}});
  request->registerAdNetworkExtras(extras);
  loader->loadRequest(request);
  loader->slot()->cancelLoad();
  auto ad = ZUMAd::create();
  ad->setAdHTML(std::string("{\"ads\":[]}"));
  platform::ErrorPtr error;
  rendering->last = nullptr;
  static_cast<void>(loader->slotShouldProcessAdResponse(*loader->slot(), ad, &error));
  fuzzenv::check(rendering->last != nullptr);
  platform::NotificationCenter::defaultCenter().post("nativeAdPreProcess", rendering->last, Json{{"success", answer}});
  fuzzenv::drainMainLoop();

  fuzzenv::check(matches(delegate->results, expectedResults(answer, requested)));
  fuzzenv::check(delegate->finished == 1);
  fuzzenv::check(!loader->isLoading());
  loader.reset();
  fuzzenv::drainMainLoop();
  checkCustomTemplateAds(answer);
  return 0;
}
