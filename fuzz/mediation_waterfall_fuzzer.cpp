// A slot's mediation waterfall driven by the input. The first byte picks the format
// (banner or interstitial), whether the owner processes mediated ads itself, and the
// number of networks; the second the time-out per network (in tenths of a second, 0:
// due at once); then one byte per network chooses its adapter class (one of four, or a
// missing one). The rest are two-byte steps: an adapter's answer (a fill, no fill, an
// error), the owner's answer on a mediated ad, cancel(), or time passing, each on the
// main thread or from another queue, addressed to any adapter made so far, or a new pass
// (cancelling the last first, as a slot's new load does, or not).
//
// Native express (bit 5 of the first byte): the networks are native express entries whose
// "html_template", "ad_base_url", "template_ids" and "ad_loader_options" two more bytes
// per network pick (hostile forms and text from the input among them); a fill is a
// network's native ad of either kind, both or neither, with assets from the input, and
// the owner's steps become the template page's load finishing or failing.
//
// Properties: an answer of an attempt that has ended (a network timed out, failed or
// replaced, or a pass cancelled) changes nothing the waterfall or the slot shows; each
// pass has exactly one outcome (an ad, code 8 or code 9), none after cancel(); the shown
// network's own answers bring only its ads or its own failure (code 3), whatever pass
// runs; no time-out is left running. A native express network that is not being asked
// brings nothing at all: its attempt ended once.
//
// The same input, split at newlines into up to five fields, is also an entry's credentials
// ("pvotym_html", "pvotym_passback_url", "class_name", "parameter", "label", in that order;
// a field starting "#" is a number, "~" null, "[" an array, "-" absent, anything else the
// text itself), put through each built-in adapter for every format it is asked for.
// Properties: no crash; a request the adapter refuses is failed by exactly one
// adapter:didFailAd:, and no request is answered more than once.
//
// The first three fields are also, through the SDK's own network's adapter, the entry's
// inlined "ad_size" and "manual_impression_urls" and the response's "default_ad_sz".
// Properties: the banner it loads has the inlined size (else the default, else the
// requested one) whenever that size is valid; it is a publisher banner exactly when the
// inlined ad has manual impression URLs; the connector's manual impression, before and
// after the adapter stops, crashes nothing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "PXRBannerView.h"
#include "ZUMBannerView.h"
#include "ZUMCustomEventBanner.h"
#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdNetworkConnector.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMNativeAdImage.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/ui/View.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/formats/ZUMMAdURLAdapter.h"
#include "sdk/formats/ZUMMAdapterVantorMorvaneAds.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/mediation/ZUMMAdManager.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeExpressAd.h"
#include "sdk/mediation/ZUMMAdapterCustomEvents.h"
#include "sdk/mediation/ZUMMAdapterHTML.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMLoggingConnector.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMLoadableTestSupport.h"
#include "sdk/request/ZUMSlot.h"

using Json = nlohmann::ordered_json;

namespace {

struct Adapter : ZUMMAdNetworkAdapter {
  Adapter(const std::shared_ptr<ZUMMAdNetworkConnector>& connector, bool native)
      : connector(connector), native(native) {}
  bool getNativeAdWithAdTypes(const std::vector<std::string>&, const std::vector<std::any>&) override { return native; }
  void getBannerWithSize(const ZUMAdSize&) override {}
  void getInterstitial() override {}
  void stopBeingDelegate() override {}
  bool isBannerAnimationOK(std::int64_t) override { return true; }
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>&) override {}
  std::weak_ptr<ZUMMAdNetworkConnector> connector;
  bool native;
};

std::vector<std::shared_ptr<Adapter>>& adapters() {
  static std::vector<std::shared_ptr<Adapter>> made;
  return made;
}

struct AdapterClass : ZUMMAdapterClass {
  explicit AdapterClass(bool native) : native(native) {}
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    adapters().push_back(std::make_shared<Adapter>(connector, native));
    return adapters().back();
  }
  bool native;
};

// A banner custom event the credentials may name: it takes every request, never answers.
struct FuzzEvent : ZUMCustomEventBanner {
  void requestBannerAd(const ZUMAdSize&, const std::optional<std::string>&, const std::optional<std::string>&,
                       const std::shared_ptr<ZUMCustomEventRequest>&) override {}
  std::weak_ptr<ZUMCustomEventBannerDelegate> delegate() const override { return {}; }
  void setDelegate(std::weak_ptr<ZUMCustomEventBannerDelegate>) override {}
};

constexpr const char* kClasses[] = {"FuzzWfA", "FuzzWfB", "FuzzWfC", "FuzzWfD", "FuzzWfMissing"};

// --- Native express --------------------------------------------------------------------

// Text the input picks: absent, a hostile form, or a slice of the input itself.
std::optional<std::string> textFrom(unsigned choice, std::string_view input) {
  static const char* const kForms[] = {"", "</script><script>QYRA_ReceiveMessage('x')</script>", "\xff\xfe\xc0",
                                       "\xe2\x80\xa8'\"\\", "https://img.adnetwork.example/a.png"};
  if (choice % 7 == 0) return std::nullopt;
  if (choice % 7 < 6) return kForms[choice % 7 - 1];
  return std::string(input.substr(0, 64));
}

// A JSON value the input picks, for the entry's list and dictionary fields.
Json jsonFrom(unsigned choice, std::string_view input, const Json& good) {
  switch (choice % 8) {
    case 0:
      return nullptr;
    case 1:
      return good;
    case 2:
      return Json::array({true, nullptr, Json::object(), 2.5, -1, "9"});
    case 3:
      return Json{{"multiple_images", "yes"}, {"native_image_orientation", 5}};
    case 4:
      return Json{{"multiple_images", true}, {"native_image_orientation", "horizonal"}};
    case 5:
      return Json::array({1, "2", 1e300});
    case 6:
      return "2";
    default:
      return Json::parse(input.substr(0, 64), nullptr, false, true);
  }
}

// The express fields of an entry from two bytes.
void addExpressFields(Json& entry, std::uint8_t first, std::uint8_t second, std::string_view input) {
  static const char* const kBases[] = {"https://templates.adnetwork.example/",
                                       "http://t.example/x",
                                       "file:///etc/",
                                       "javascript:alert(1)",
                                       "https://",
                                       "about:blank"};
  if (first & 7) {
    entry["html_template"] =
        (first & 7) == 1 ? "<html><body>template</body></html>" : textFrom(first & 7, input).value_or("");
  }
  const unsigned base = (first >> 3) & 7;
  if (base < 6) entry["ad_base_url"] = kBases[base];
  if (base == 6) entry["ad_base_url"] = std::string(input.substr(0, 64));
  const Json ids = jsonFrom(second & 7, input, Json::array({2, "1"}));
  if (!ids.is_null() && !ids.is_discarded()) entry["template_ids"] = ids;
  const Json options = jsonFrom((second >> 3) & 7, input, Json{{"multiple_images", true}});
  if (!options.is_null() && !options.is_discarded()) entry["ad_loader_options"] = options;
}

struct Fields {
  std::optional<std::string> text[8];
  std::shared_ptr<ZUMNativeAdImage> icon, logo;
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images;
  Json extras;
};
struct FuzzAd : virtual ZUMMediatedNativeAd {
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override { return nullptr; }
  std::optional<Json> extraAssets() const override { return f.extras; }
  Fields f;
};
struct AppInstallAd : virtual FuzzAd, ZUMMediatedNativeAppInstallAd {
  std::optional<std::string> headline() const override { return f.text[0]; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return f.images; }
  std::optional<std::string> body() const override { return f.text[1]; }
  std::shared_ptr<ZUMNativeAdImage> icon() const override { return f.icon; }
  std::optional<std::string> callToAction() const override { return f.text[2]; }
  std::optional<std::string> starRating() const override { return f.text[3]; }
  std::optional<std::string> store() const override { return f.text[4]; }
  std::optional<std::string> price() const override { return f.text[5]; }
};
struct ContentAd : virtual FuzzAd, ZUMMediatedNativeContentAd {
  std::optional<std::string> headline() const override { return f.text[0]; }
  std::optional<std::string> body() const override { return f.text[1]; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return f.images; }
  std::shared_ptr<ZUMNativeAdImage> logo() const override { return f.logo; }
  std::optional<std::string> callToAction() const override { return f.text[2]; }
  std::optional<std::string> advertiser() const override { return f.text[6]; }
};
struct BothAd : AppInstallAd, ContentAd {
  std::optional<std::string> headline() const override { return f.text[0]; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return f.images; }
  std::optional<std::string> body() const override { return f.text[1]; }
  std::optional<std::string> callToAction() const override { return f.text[2]; }
};

// A network's native ad of the kind `arg` picks, its assets from the input.
std::shared_ptr<ZUMMediatedNativeAd> nativeAdFrom(std::uint8_t arg, std::string_view input) {
  std::shared_ptr<FuzzAd> ad;
  switch (arg & 3) {
    case 0:
      ad = std::make_shared<FuzzAd>();
      break;
    case 1:
      ad = std::make_shared<AppInstallAd>();
      break;
    case 2:
      ad = std::make_shared<ContentAd>();
      break;
    default:
      ad = std::make_shared<BothAd>();
      break;
  }
  unsigned seed = arg >> 2;
  for (auto& text : ad->f.text) {
    text = textFrom(seed, input);
    seed = seed * 5 + 3;
  }
  auto image = [&](unsigned choice) -> std::shared_ptr<ZUMNativeAdImage> {
    if (choice % 3 == 0) return nullptr;
    auto url = platform::URL::fromString(textFrom(choice, input).value_or(""));
    return std::make_shared<ZUMNativeAdImage>(choice % 3 == 1 ? url : std::nullopt, 1, false);
  };
  ad->f.icon = image(arg);
  ad->f.logo = image(arg >> 1);
  for (unsigned i = 0; i < (arg & 7u); ++i) ad->f.images.push_back(image(arg + i));
  ad->f.extras = jsonFrom(arg >> 3, input, Json{{"k", std::string(input.substr(0, 16))}});
  return ad;
}

// The template page of an express network's connector, when it has one.
std::shared_ptr<ZUMAdView> templateOf(const std::shared_ptr<ZUMMAdNetworkConnector>& connector) {
  auto express = std::dynamic_pointer_cast<ZUMMAdNetworkConnectorNativeExpressAd>(connector);
  return express ? express->adView() : nullptr;
}

// The slot's owner: connectors of its format; the outcomes it hears, in order.
struct Owner : ZUMSlotAdLoadDelegate, ZUMAdMediationDelegate {
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& entry) override {
    if (express) return ZUMMAdNetworkConnectorNativeExpressAd::create(config, entry);
    if (interstitial) return ZUMMAdNetworkConnectorInterstitial::create(config, entry);
    return ZUMMAdNetworkConnectorBanner::create(config, entry);
  }
  std::optional<std::shared_ptr<ZUMAdLoaderConfiguration>> adLoaderConfigurationForAd(
      const std::shared_ptr<ZUMAd>&, const std::shared_ptr<ZUMMAdNetworkConfig>& entry) override {
    if (!express || !entry) return std::nullopt;
    return ZUMMAdNetworkConnectorNativeExpressAd::adLoaderConfigurationForNetworkConfig(*entry);
  }
  bool processesMediatedAds() const override { return processes; }
  void adProcessMediatedAd(const std::shared_ptr<ZUMAd>&, const std::shared_ptr<ZUMMediatedAd>&,
                           std::function<void(const platform::ErrorPtr&)> done) override {
    completion = std::move(done);
  }
  void slotFinishedLoadingAdContent(ZUMSlot&) override { outcomes.push_back(0); }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) override {
    outcomes.push_back(error ? error->code() : -1);
  }
  bool interstitial = false;
  bool processes = false;
  bool express = false;
  std::function<void(const platform::ErrorPtr&)> completion;
  std::vector<std::int64_t> outcomes;  // 0: an ad; otherwise the failure's code
};

// What an ended attempt must leave as it is.
struct Snapshot {
  bool requestInProgress, timer;
  const void *requesting, *received, *interstitial;
  std::string exits, fills;
  std::size_t outcomes;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const ZUMMAdManager& manager, ZUMSlot& slot, const Owner& owner) {
  return {manager.requestInProgress(),
          manager.hasTimeoutTimer(),
          manager.requestingConnector().get(),
          manager.receivedConnector().get(),
          manager.lastMediatedInterstitial().get(),
          slot.slotStats()->adapterExitCodesParameter(),
          slot.slotStats()->adapterFillStatusParameter(),
          owner.outcomes.size()};
}

void setUpOnce() {
  static const bool done = [] {
    fuzzenv::setUpOnce("mediation-waterfall-fuzzer");
    // No mediation click tracking is registered: pings are dropped with a log line.
    ZUMMAdapterHTML::registerClass();
    ZUMMAdapterCustomEvents::registerClass();
    ZUMMAdURLAdapter::registerClass();
    ZUMMAdapterVantorMorvaneAds::registerClass();
    ZUMRegisterCustomEventClass("FuzzEvent", [] { return std::make_shared<FuzzEvent>(); });
    // The native kinds, so template ids name ad types.
    ZUMRegisterLoadableClass(kZUMNativeContentAdClassName, std::make_shared<loadabletest::LoadableClass>());
    ZUMRegisterLoadableClass(kZUMNativeAppInstallAdClassName, std::make_shared<loadabletest::LoadableClass>());
    for (std::size_t i = 0; i < 4; ++i) {
      // The last class has no native ads.
      ZUMMRegisterAdapterClass(kClasses[i], std::make_shared<AdapterClass>(i < 3),
                               {.protocols = {kZUMMAdNetworkAdapterProtocol},
                                .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation},
                                .initialisers = {kZUMMInitWithAdNetworkConnector}});
    }
    return true;
  }();
  (void)done;
}

Json credentialsFromInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kKeys[] = {"pvotym_html", "pvotym_passback_url", "class_name", "parameter", "label"};
  Json credentials = Json::object();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char* key : kKeys) {
    const std::size_t end = text.find('\n');
    const std::string field(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const char kind = field.empty() ? ' ' : field[0];
    if (kind == '-') continue;
    if (kind == '#') {
      credentials[key] = static_cast<double>(field.size()) - 1.5;
    } else if (kind == '~') {
      credentials[key] = nullptr;
    } else if (kind == '[') {
      credentials[key] = Json::array({field});
    } else {
      credentials[key] = field;
    }
  }
  return credentials;
}

// Whether the HTML adapter must refuse the credentials (its table of code-2 errors).
bool htmlAdapterRefuses(const Json& credentials) {
  if (const Json* passback = ZUMJSONValueForKey(credentials, "pvotym_passback_url"); passback && !passback->is_null()) {
    const auto text = ZUMJSONString(*passback);
    if (!text || text->empty() || !platform::URL::fromString(*text)) return true;
  }
  const auto html = ZUMJSONStringForKey(credentials, "pvotym_html");
  return !html || html->empty();
}

// A size string's size; zero for anything else.
platform::Size sizeFrom(const Json* value) {
  const auto text = value ? ZUMJSONString(*value) : std::nullopt;
  return text ? ZUMAdSizeFromString(*text) : platform::Size{0, 0};
}

void throughFirstPartyAdapter(const Json& fields) {
  Json inlined = Json::object();
  if (const Json* size = ZUMJSONValueForKey(fields, "pvotym_html")) inlined["ad_size"] = *size;
  const Json* urls = ZUMJSONValueForKey(fields, "pvotym_passback_url");
  if (urls) inlined["manual_impression_urls"] = *urls;
  Json response = {{"ad_networks", {{{"id", "own"}, {"adapters", {kZUMFirstPartyAdapterClassName}}, {"ad", inlined}}}}};
  if (const Json* size = ZUMJSONValueForKey(fields, "class_name")) response["default_ad_sz"] = *size;
  auto config = ZUMMConfig::create("unit-F", response, nullptr);
  fuzzenv::check(config && config->adNetworkConfigs().size() == 1);
  auto connector = ZUMMAdNetworkConnectorBanner::create(config, config->adNetworkConfigs()[0]);
  connector->setUpAdapter();
  auto adapter = std::dynamic_pointer_cast<ZUMMAdapterVantorMorvaneAds>(connector->adapter());
  fuzzenv::check(adapter != nullptr);
  adapter->getBannerWithSize(kZUMAdSizeMediumRectangle);
  fuzzenv::drainMainLoop();

  platform::Size size = sizeFrom(ZUMJSONValueForKey(inlined, "ad_size"));
  if (size.width == 0 && size.height == 0 && config->defaultAdSize()) {
    size = ZUMAdSizeFromString(*config->defaultAdSize());
  }
  const ZUMAdSize expected = size.width == 0 && size.height == 0 ? kZUMAdSizeMediumRectangle : ZUMAdSizeFromSize(size);
  auto banner = adapter->bannerView();
  fuzzenv::check(banner != nullptr);
  fuzzenv::check(!ZUMIsAdSizeValid(expected) || ZUMAdSizeEqualToSize(banner->adSize(), expected));
  fuzzenv::check((std::dynamic_pointer_cast<PXRBannerView>(banner) != nullptr) == (urls && !urls->is_null()));
  connector->reportManualImpression();
  fuzzenv::drainMainLoop();
  connector->askAdapterToStopBeingDelegate();
  connector->reportManualImpression();
  fuzzenv::drainMainLoop();
  fuzzenv::check(banner->delegate() == nullptr);
}

void throughBuiltInAdapters(const std::uint8_t* data, std::size_t size) {
  auto connector = std::make_shared<connectortest::InternalLoggingConnector>();
  connector->credentialsValue = credentialsFromInput(data, size);
  const Json& credentials = connector->credentialsValue;
  auto outcome = [&](auto request) {
    connector->log.clear();
    connector->errors.clear();
    request();
    fuzzenv::drainMainLoop();
    fuzzenv::check(connector->log.size() <= 1);
    return connector->errors.size();
  };
  {
    auto html = ZUMMAdapterHTML::create(connector);
    // A refused request fails once; any other is answered at most once, after the
    // page has had every check (about 20 s).
    const bool refused = htmlAdapterRefuses(credentials);
    const std::size_t failures = outcome([&] {
      html->getBannerWithSize(kZUMAdSizeBanner);
      platform::MainLoopDriver::advance(21);
    });
    fuzzenv::check(!refused || failures == 1);
    fuzzenv::check(outcome([&] { html->getInterstitial(); }) == 1);
    html->stopBeingDelegate();
  }
  {
    // Only a registered custom event of the asked kind is ever made; anything else
    // fails once.
    const auto name = ZUMJSONStringForKey(credentials, "class_name");
    auto events = ZUMMAdapterCustomEvents::create(connector);
    fuzzenv::check(outcome([&] { events->getBannerWithSize(kZUMAdSizeBanner); }) == (name == "FuzzEvent" ? 0u : 1u));
    fuzzenv::check(outcome([&] { events->getInterstitial(); }) == 1);
    fuzzenv::check(outcome([&] { events->getNativeAdWithAdTypes({"1"}, {}); }) == 1);  // not a native connector
    events->stopBeingDelegate();
  }
  for (const bool banner : {true, false}) {
    auto adURL = ZUMMAdURLAdapter::create(connector);
    fuzzenv::check(outcome([&] {
                     if (banner) adURL->getBannerWithSize(kZUMAdSizeBanner);
                     if (!banner) adURL->getInterstitial();
                   }) == 0);
    const Json sent = adURL->requestParameters();
    fuzzenv::check(sent.size() == 7 && sent["data"] == (credentials.is_object() ? credentials : Json::object()));
    fuzzenv::check(outcome([&] { adURL->loadAd(nullptr, std::nullopt); }) == 1);
    fuzzenv::check(outcome([&] { adURL->loadAdURLWithParameters(credentials); }) == 1);
    adURL->stopBeingDelegate();
    fuzzenv::check(outcome([&] { adURL->invalidJavaScriptRequest(); }) == 0);
  }
  throughFirstPartyAdapter(credentials);
  fuzzenv::drainMainLoop();
}

// Runs `step` on the main thread, or from a global queue (the answer then hops).
void run(bool offMain, std::function<void()> step) {
  if (offMain) {
    platform::DispatchQueue::global()->async(std::move(step));
  } else {
    step();
  }
  fuzzenv::drainMainLoop();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  setUpOnce();
  if (size < 2) return 0;
  adapters().clear();
  auto owner = std::make_shared<Owner>();
  owner->express = data[0] & 32;
  owner->interstitial = (data[0] & 1) && !owner->express;
  owner->processes = data[0] & 2;
  const std::size_t networks = 1 + ((data[0] >> 2) & 7);
  const double timeout = data[1] / 10.0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t at = 2;
  Json entries = Json::array();
  for (std::size_t i = 0; i < networks && at < size; ++i, ++at) {
    Json entry = {{"id", "n" + std::to_string(i)}, {"adapters", {kClasses[data[at] % 5]}}};
    if (owner->express && at + 2 < size) {
      addExpressFields(entry, data[at + 1], data[at + 2], input.substr(at));
      at += 2;
    }
    entries.push_back(std::move(entry));
  }
  auto config = ZUMMConfig::create(
      "unit-F", {{"ad_networks", entries}, {"settings", {{"ad_network_timeout_millis", data[1] * 100}}}}, nullptr);
  fuzzenv::check(config != nullptr);

  auto slot = ZUMSlot::create({0, 0, 320, 50});
  slot->setAdLoadDelegate(owner);
  auto ad = ZUMAd::create();
  ad->setMediationDelegate(owner);
  slot->setAd(ad);
  auto manager = ZUMMAdManager::create(slot);

  // The pass in progress: its outcomes so far, and whether it was cancelled.
  std::size_t passOutcomes = 0;
  bool cancelled = false;
  // Outcomes that `step` brings, counted for the pass unless the shown network spoke.
  auto count = [&](bool shownNetwork, std::size_t before) {
    for (std::size_t i = before; i < owner->outcomes.size(); ++i) {
      const auto code = owner->outcomes[i];
      fuzzenv::check(!cancelled);
      if (shownNetwork) {
        // The shown network by itself: an ad of its own, or its own failure.
        fuzzenv::check(code == 0 || (code == kZUMErrorServerError && !owner->interstitial));
      } else {
        fuzzenv::check(++passOutcomes == 1);
        fuzzenv::check(code == 0 || code == kZUMErrorNoMediationAdapter || code == kZUMErrorNoFillFromAnyNetwork);
      }
    }
  };
  // A pass that ends must have had its outcome, unless it was cancelled.
  auto endPass = [&] { fuzzenv::check(cancelled || passOutcomes == 1); };
  auto startPass = [&] {
    passOutcomes = 0;
    cancelled = false;
    const std::size_t started = owner->outcomes.size();
    manager->mediateForAdType(
        owner->interstitial ? ZUMAdType::createForInterstitial() : ZUMAdType::create(kZUMAdSizeBanner), config);
    fuzzenv::drainMainLoop();
    count(false, started);
  };
  startPass();

  for (; at + 1 < size; at += 2) {
    const std::uint8_t op = data[at];
    const std::uint8_t arg = data[at + 1];
    const bool offMain = op & 8;
    const std::size_t before = owner->outcomes.size();
    switch (op % 8) {
      case 0:
      case 1:
      case 2: {
        if (adapters().empty()) break;
        auto adapter = adapters()[arg % adapters().size()];
        auto connector = adapter->connector.lock();
        if (!connector) break;
        auto* impl = dynamic_cast<ZUMMAdNetworkConnectorImpl*>(connector.get());
        const bool asked = manager->requestInProgress() && impl == manager->requestingConnector().get();
        const bool shown = !asked && impl == manager->receivedConnector().get();
        const Snapshot earlier = snapshot(*manager, *slot, *owner);
        auto view = platform::View::create({0, 0, 320, 50});
        auto nativeAd = owner->express ? nativeAdFrom(arg, input.substr(at)) : nullptr;
        run(offMain, [adapter, connector, view, nativeAd, kind = op % 8, interstitial = owner->interstitial] {
          if (kind == 0 && nativeAd) return connector->adapterDidReceiveMediatedNativeAd(*adapter, nativeAd);
          if (kind == 0 && interstitial) return connector->adapterDidReceiveInterstitial(*adapter);
          if (kind == 0) return connector->adapterDidReceiveAdView(*adapter, view);
          connector->adapterDidFailAd(*adapter,
                                      ZUMMakeErrorWithCode(kind == 1 ? kZUMErrorNoFill : kZUMErrorNetworkError));
        });
        // An attempt that has ended changes nothing; an express one brings nothing at all.
        if (!asked && !shown) fuzzenv::check(snapshot(*manager, *slot, *owner) == earlier);
        if (!asked && owner->express) fuzzenv::check(owner->outcomes.size() == before);
        count(shown, before);
        break;
      }
      case 3:
      case 4: {
        if (owner->express) {
          // The template page of a network's connector finishes or fails to load.
          if (adapters().empty()) break;
          auto connector = adapters()[arg % adapters().size()]->connector.lock();
          auto page = templateOf(connector);
          if (!page) break;
          auto* impl = dynamic_cast<ZUMMAdNetworkConnectorImpl*>(connector.get());
          const bool asked = manager->requestInProgress() && impl == manager->requestingConnector().get();
          run(false, [page, failed = op % 8 == 4] {
            if (failed)
              return page->webViewDidFailLoadWithError(*page->webView(), ZUMMakeErrorWithCode(kZUMErrorNetworkError));
            page->webViewDidFinishLoad(*page->webView());
          });
          if (!asked) fuzzenv::check(owner->outcomes.size() == before);
          count(false, before);
          break;
        }
        auto completion = std::exchange(owner->completion, nullptr);
        if (!completion) break;
        const Snapshot earlier = snapshot(*manager, *slot, *owner);
        run(offMain, [completion, failed = op % 8 == 4] {
          completion(failed ? ZUMMakeErrorWithCode(kZUMErrorInternalError) : nullptr);
        });
        if (cancelled) fuzzenv::check(snapshot(*manager, *slot, *owner) == earlier);
        count(false, before);
        break;
      }
      case 5:
        run(offMain, [manager] { manager->cancel(); });
        cancelled = true;
        count(false, before);
        break;
      case 6:
        platform::MainLoopDriver::advance(arg * 0.02);
        count(false, before);
        break;
      default: {
        if (!(arg & 1)) {
          platform::MainLoopDriver::advance(arg * 1.0);
          count(false, before);
          break;
        }
        // A new pass, as a new load of the slot starts one (cancelling first), or by
        // itself once the last one has ended.
        const bool cancelFirst = arg & 2;
        if (!cancelFirst && (manager->requestInProgress() || owner->completion)) break;
        if (cancelFirst) {
          manager->cancel();
          cancelled = true;
          fuzzenv::drainMainLoop();
          count(false, before);
        }
        endPass();
        owner->completion = nullptr;
        startPass();
        break;
      }
    }
  }

  // The pass ends: the owner answers, and every network's time would be up.
  const std::size_t before = owner->outcomes.size();
  if (auto completion = std::exchange(owner->completion, nullptr)) completion(nullptr);
  fuzzenv::drainMainLoop();
  platform::MainLoopDriver::advance(static_cast<double>(networks) * (timeout + 1) + 1);
  count(false, before);
  fuzzenv::check(!manager->requestInProgress() && !manager->hasTimeoutTimer());
  endPass();
  manager.reset();
  slot.reset();
  fuzzenv::drainMainLoop();
  throughBuiltInAdapters(data, size);
  return 0;
}
