// Overlay messages and attribution dictionaries from the input, through a real overlay
// view over a real ad view and a real attribution view. Each line is "<sender>.<name>=<json>"
// (sender "ad", "overlay" or "other"; a value that is no JSON is posted as a string) or
// "attribution=<json>". Never crashes; an overlay page exists only after the ad page
// asked for one with HTML and an http(s) or blank base URL, or sent it a message;
// messages of other senders change nothing; no duration, font size or colour that is not
// finite and in range reaches a view or a timer, and a rotation never spins.
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/JSONParsing.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Transition.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/native/ZUMNativeAdAttribution.h"
#include "sdk/native/ZUMNativeAdAttributionView.h"
#include "sdk/native/ZUMOverlayView.h"
#include "sdk/native/ZUMPushTransitionView.h"
#include "sdk/rendering/ZUMAdView.h"

namespace {

using Json = nlohmann::ordered_json;
using fuzzenv::check;

// The overlay's HTML is always this small page: the page engine has fuzz targets of its own.
constexpr const char* kOverlayPage = "<html><body>overlay</body></html>";

bool finiteDuration(double seconds) { return std::isfinite(seconds) && seconds >= 0.05 && seconds <= 86400; }

void checkColour(const platform::Color& colour) {
  for (double c : colour.components()) check(std::isfinite(c) && c >= 0 && c <= 1);
}

// The rule the overlay must follow, written out again.
bool loadsOverlay(const Json& info) {
  if (!ZUMJSONStringForKey(info, "overlayHtml")) return false;
  const auto base = ZUMJSONStringForKey(info, "baseUrl", "about:blank");
  const auto url = platform::URL::fromString(base);
  if (!url || !url->scheme()) return false;
  const std::string scheme = platform::asciiLowercased(*url->scheme());
  return scheme == "http" || scheme == "https" ||
         platform::equalsIgnoringASCIICase(url->absoluteString(), "about:blank");
}

void checkAttribution(const Json& dictionary) {
  const auto attribution = ZUMNativeAdAttribution::create(dictionary);
  for (double seconds : {attribution->iconAnimationDuration(), attribution->iconPresentationDuration()}) {
    check(std::isfinite(seconds) && seconds >= 0.05);
  }
  const double size = attribution->font().pointSize();
  check(std::isfinite(size) && size > 0 && size <= 256);
  checkColour(attribution->textColor());
  checkColour(attribution->backgroundColor());
  const auto view = ZUMNativeAdAttributionView::create(attribution);
  check(view != nullptr);

  // The icons take turns at the attribution's pace: the durations reach the rotation and
  // its transitions checked, and ten seconds hold at most a hundred pushes.
  auto rotation = ZUMPushTransitionView::create({0, 0, 20, 20});
  rotation->setAnimationDuration(attribution->iconAnimationDuration());
  rotation->setPresentationDuration(attribution->iconPresentationDuration());
  check(finiteDuration(rotation->animationDuration()) && finiteDuration(rotation->presentationDuration()));
  rotation->setViews({platform::View::create(), platform::View::create()});
  platform::MainLoopDriver::advance(std::chrono::seconds(10));
  check(platform::LayerTransitions::addedCount(*rotation->clippingView()) <= 100);
  if (auto push = platform::LayerTransitions::forKey(*rotation->clippingView(), kZUMPushTransitionKey)) {
    check(finiteDuration(push->duration));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("overlay_messages_fuzzer");
  static const bool once = [] {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    return true;
  }();
  (void)once;

  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto adPage = ZUMAdView::create({0, 0, 320, 50});
  const auto otherPage = ZUMAdView::create({0, 0, 320, 50});
  auto overlay = ZUMOverlayView::create({0, 0, 320, 50});
  overlay->setAdView(adPage);
  bool expectPage = false;
  auto& center = platform::NotificationCenter::defaultCenter();

  for (auto& [key, value] : fuzzenv::pairsFromLines(text, '=', false)) {
    Json info = platform::parseJSON(value, platform::JSONParseFailure::Discard);
    if (info.is_discarded()) info = value;
    if (key == "attribution") {
      checkAttribution(info);
      continue;
    }
    const std::size_t dot = key.find('.');
    if (dot == std::string::npos) continue;
    const std::string sender = key.substr(0, dot);
    const std::string name = key.substr(dot + 1);
    if (info.is_object() && info.contains("overlayHtml") && info["overlayHtml"].is_string()) {
      info["overlayHtml"] = kOverlayPage;
    }
    const bool hiddenBefore = overlay->isHidden();
    const bool pageBefore = overlay->overlayView() != nullptr;
    if (sender == "ad") {
      center.post(name, adPage, info);
      const Json dictionary = info.is_object() ? info : Json::object();
      expectPage = expectPage || (name == "loadHtml" && loadsOverlay(dictionary)) || name == "sendMessageToNativeJs";
    } else if (sender == "overlay") {
      if (overlay->overlayView()) center.post(name, overlay->overlayView(), info);
    } else {
      center.post(name, otherPage, info);
      check(overlay->isHidden() == hiddenBefore && (overlay->overlayView() != nullptr) == pageBefore);
    }
    fuzzenv::drainMainLoop();
    check((overlay->overlayView() != nullptr) == expectPage);
  }
  overlay.reset();
  fuzzenv::drainMainLoop();
  return 0;
}
