// Test helpers of the native area: the ad network's hosts on the loopback server with the
// native-ads page (the built-in one, or a variant of the test's own), a native ad kind
// and its class object that tests register in the class tables, a hidden slot that has
// loaded the page, and a delegate that records what an ad tells its host.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMAdLoader.h"
#include "ZUMAdLoaderDelegate.h"
#include "ZUMExtras.h"
#include "ZUMMobileAds.h"
#include "ZUMNativeAd.h"
#include "ZUMNativeAdDelegate.h"
#include "ZUMNativeAdImage.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "platform/base/RunLoop.h"
#include "platform/net/URLLoading.h"
#include "platform/net/URLProtocol.h"
#include "platform/ui/Image.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/native/ZUMNativeAdAttribution.h"
#include "sdk/native/ZUMNativeAdAttributionView.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/native/ZUMNativeAdsPage.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"
#include "testing/TestImages.h"

namespace nativetest {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;

inline constexpr const char* kPagePath = "/static/sdk/native/native_ads.html";

// The ad server's host, answered on the loopback server, serving the native-ads page.
class NativeHosts {
 public:
  NativeHosts() {
    servePage(std::string(ZUMNativeAdsPageHTML()));
    platform::URLLoading::mapHostForTesting("ads.adnetwork.example", "127.0.0.1", server.port());
    platform::URLLoading::mapHostForTesting("track.example", "127.0.0.1", server.port());
  }
  ~NativeHosts() { platform::URLLoading::removeHostMappingsForTesting(); }
  void servePage(std::string html, bool held = false) {
    server.route(kPagePath, testenv::ScriptedResponse{.status = 200, .body = std::move(html), .held = held});
  }
  std::size_t hits(const std::string& path) const { return server.requests(path).size(); }

  testenv::LoopbackServer server;
};

// The built-in page with `script` added after its own.
inline std::string pageWith(const std::string& script) {
  std::string page(ZUMNativeAdsPageHTML());
  page.insert(page.find("</head>"), "<script>" + script + "</script>\n");
  return page;
}

inline std::shared_ptr<ZUMAdView> adViewOf(const ZUMSlot& slot) {
  return std::dynamic_pointer_cast<ZUMAdView>(slot.adView());
}

inline const std::vector<std::string>& evaluatedScripts(const ZUMSlot& slot) {
  return std::dynamic_pointer_cast<ZUMUIKitWebView>(adViewOf(slot)->webView())->engine()->evaluatedScripts();
}

// The scripts evaluated in the slot's page that call the native-ads script.
inline std::vector<std::string> nativeCalls(const ZUMSlot& slot) {
  std::vector<std::string> calls;
  for (const auto& script : evaluatedScripts(slot)) {
    if (script.rfind("vantor.qyra.nativeAds.", 0) == 0) calls.push_back(script);
  }
  return calls;
}

// A native ad kind for tests: its template id, required and requested assets are the
// test's. Its assets finish when the test says so.
class TestAd : public ZUMNativeAd {
 public:
  static std::shared_ptr<TestAd> create(const Json& dictionary, const ZUMAdConfiguration::Options& options = {}) {
    return std::shared_ptr<TestAd>(new TestAd(dictionary, options));
  }
  std::string adFormatTemplateID() const override { return templateID; }
  std::set<std::string> requiredAssets() const override { return required; }
  void loadAssetsWithCompletionHandler(AssetCompletion completion) override {
    if (shouldLoadAssets()) {
      for (const auto& name : assets) addAssetWithNameToRequestedAssets(name);
    }
    ZUMNativeAd::loadAssetsWithCompletionHandler(std::move(completion));
  }
  void adLoaderDidReceiveAd(ZUMAdLoader&) override {}

  std::string templateID = "1";
  std::set<std::string> required;
  std::vector<std::string> assets;

 protected:
  TestAd(const Json& dictionary, const ZUMAdConfiguration::Options& options) : ZUMNativeAd(dictionary, options) {}
};

// The delegate protocol of the test kinds.
class TestAdLoaderDelegate : public virtual ZUMAdLoaderDelegate {
 public:
  virtual void adLoaderDidReceiveTestAd(ZUMAdLoader& loader, const std::shared_ptr<TestAd>& ad) = 0;
};

// A loadable ad produced by a test kind's loader delegation: it hands itself to a
// TestAdLoaderDelegate.
class DeliveredTestAd : public TestAd {
 public:
  static std::shared_ptr<DeliveredTestAd> create(const Json& dictionary, const ZUMAdConfiguration::Options& options,
                                                 std::string className) {
    auto ad = std::shared_ptr<DeliveredTestAd>(new DeliveredTestAd(dictionary, options));
    ad->className = std::move(className);
    return ad;
  }
  void adLoaderDidReceiveAd(ZUMAdLoader& loader) override {
    auto self = std::static_pointer_cast<DeliveredTestAd>(shared_from_this());
    if (auto delegate = std::dynamic_pointer_cast<TestAdLoaderDelegate>(loader.delegate())) {
      delegate->adLoaderDidReceiveTestAd(loader, self);
    }
  }
  std::optional<std::string> loadableClassName() const override { return className; }
  std::string className;

 private:
  using TestAd::TestAd;
};

// The class object of a test kind registered under one of the native class names: its
// ads take the entry's "assets" (names) as requested assets, and it keeps every ad it
// made.
class TestAdClass : public ZUMNativeAdClass {
 public:
  TestAdClass(std::string className, std::string templateID)
      : className(std::move(className)), templateID(std::move(templateID)) {}
  std::string requiredDelegateProtocol() const override { return "TestAdLoaderDelegate"; }
  bool delegateConformsToRequiredProtocol(const ZUMAdLoaderDelegate& delegate) const override {
    return dynamic_cast<const TestAdLoaderDelegate*>(&delegate) != nullptr;
  }
  std::optional<Json> requestParametersForAdLoader(ZUMAdLoader&) const override {
    return Json{{"format", std::stoi(templateID)}, {"allowed_response_types", {"ina"}}};
  }
  bool canInitWithAdLoader(ZUMAdLoader&, platform::ErrorPtr* error) const override {
    if (refusal && error) *error = refusal;
    return !refusal;
  }
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) const override {
    return nullptr;
  }
  std::shared_ptr<ZUMNativeAd> adWithDictionary(const Json& dictionary,
                                                const ZUMAdConfiguration::Options& options) const override {
    auto ad = DeliveredTestAd::create(dictionary, options, className);
    ad->templateID = templateID;
    if (const auto* assets = dictionary.contains("assets") ? &dictionary["assets"] : nullptr;
        assets && assets->is_array()) {
      for (const auto& name : *assets) {
        if (name.is_string()) ad->assets.push_back(name.get<std::string>());
      }
    }
    if (dictionary.contains("required") && dictionary["required"].is_string()) ad->required = {dictionary["required"]};
    made.push_back(ad);
    return ad;
  }

  std::string className;
  std::string templateID;
  platform::ErrorPtr refusal;
  mutable std::vector<std::weak_ptr<DeliveredTestAd>> made;
};

// Registers the test kinds under the content ("1") and app-install ("2") class names, in
// place of the SDK's own kinds (registered first, so a later load keeps the test's).
struct TestKinds {
  TestKinds() {
    ZUMRegisterBuiltIns();
    ZUMRegisterLoadableClass(kZUMNativeContentAdClassName, content);
    ZUMRegisterLoadableClass(kZUMNativeAppInstallAdClassName, appInstall);
  }
  std::shared_ptr<TestAdClass> content = std::make_shared<TestAdClass>(kZUMNativeContentAdClassName, "1");
  std::shared_ptr<TestAdClass> appInstall = std::make_shared<TestAdClass>(kZUMNativeAppInstallAdClassName, "2");
};

// What an ad tells its host, "!" marking a call off the main thread.
struct AdDelegate : ZUMNativeAdDelegate {
  explicit AdDelegate(std::string name = "") : name(std::move(name)) {}
  ZUMImplemented nativeAdWillPresentScreen(ZUMNativeAd&) override { return note("present"); }
  ZUMImplemented nativeAdWillDismissScreen(ZUMNativeAd&) override { return note("dismiss"); }
  ZUMImplemented nativeAdDidDismissScreen(ZUMNativeAd&) override { return note("dismissed"); }
  ZUMImplemented nativeAdWillLeaveApplication(ZUMNativeAd&) override { return note("leave"); }
  ZUMImplemented nativeAdDidRecordImpression(ZUMNativeAd&) override { return note("impression"); }
  ZUMImplemented nativeAdDidRecordClick(ZUMNativeAd&) override { return note("click"); }
  ZUMImplemented note(const std::string& what) {
    log.push_back(name + what + (platform::isMainThread() ? "" : "!"));
    return kZUMImplemented;
  }
  std::string name;
  Log log;
};

// Records a slot's load outcome.
struct LoadRecorder : ZUMSlotAdLoadDelegate {
  void slotFinishedLoadingAdContent(ZUMSlot&) override { log.push_back("loaded"); }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) override {
    log.push_back("failed " + std::to_string(error->code()));
  }
  Log log;
};

inline std::shared_ptr<ZUMRequest> pageRequest(const std::string& url) {
  auto request = ZUMRequest::create();
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(Json{{"_requestUrl", url}});
  request->registerAdNetworkExtras(extras);
  return request;
}

// A hidden slot of unit "unit-A" that has loaded the native-ads page.
inline std::shared_ptr<ZUMSlot> loadedPageSlot(testenv::TestEnvironment& env) {
  auto slot = ZUMSlot::create();
  slot->setAdUnitID("unit-A");
  auto recorder = std::make_shared<LoadRecorder>();
  slot->setAdLoadDelegate(recorder);
  slot->loadRequest(pageRequest(ZUMNativeAd::supportHTMLURL()));
  EXPECT_TRUE(env.runUntil([&] { return !recorder->log.empty(); }));
  EXPECT_EQ(recorder->log, Log{"loaded"});
  slot->setAdLoadDelegate(nullptr);
  return slot;
}

// An AdChoices badge with the text "AdChoices" and one icon of `iconSize` points (already
// decoded, so no download), as a native ad makes it; nothing sets its frames.
inline std::shared_ptr<ZUMNativeAdAttributionView> attributionBadge(testenv::TestEnvironment& env,
                                                                    platform::Size iconSize) {
  auto attribution = ZUMNativeAdAttribution::create(
      Json{{"text", "AdChoices"}, {"image", {{"url", "https://img.example/choices.png"}, {"scale", 1}}}});
  attribution->loadingImages().front()->setImage(platform::Image::createBlank(iconSize));
  attribution->loadAssetsWithCompletionHandler([](const platform::ErrorPtr&) {});
  env.runUntilIdle();
  return ZUMNativeAdAttributionView::create(attribution);
}

// Image loads of the host "img.example", answered as the test plays them (play()): the
// path's first segment names the host's pace.
class HostedImages : public platform::URLProtocol {
 public:
  using URLProtocol::URLProtocol;
  static inline std::vector<std::shared_ptr<HostedImages>> started;
  static bool canInitWithRequest(const platform::URLRequest& request) { return request.url()->host() == "img.example"; }
  void startLoading() override { started.push_back(std::static_pointer_cast<HostedImages>(shared_from_this())); }
  void stopLoading() override { stopped = true; }  // after the load's end too
  void answer(int status) {
    client()->URLProtocolDidReceiveResponse(*this, platform::HTTPURLResponse(*request().url(), status, {}));
    client()->URLProtocolDidLoadData(*this, status == 200 ? testenv::pngBytes(1, 1) : "gone");
    client()->URLProtocolDidFinishLoading(*this);
  }
  // Acts as the host its path's first segment names: "/answers/" sends the image,
  // "/trickles/" one more byte of a body that never ends, "/silent/" nothing.
  void play() {
    const auto path = request().url()->path().value_or("");
    if (stopped || path.starts_with("/silent/")) return;
    if (path.starts_with("/answers/")) return answer(200);
    if (!trickling_)
      client()->URLProtocolDidReceiveResponse(*this, platform::HTTPURLResponse(*request().url(), 200, {}));
    trickling_ = true;
    client()->URLProtocolDidLoadData(*this, "x");
  }
  bool stopped = false;

 private:
  bool trickling_ = false;
};

}  // namespace nativetest
