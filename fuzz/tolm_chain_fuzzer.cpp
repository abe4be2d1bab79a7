// A page's message (a name and its parameters) through the whole road: the ad-view
// delegate's navigation policy, the parse, the handler chain with fake handlers (one
// acts on geometry from the parameters, one holds messages until a placement) and the
// fallback notification. Never crashes; a message URL is never loaded; no notification
// under one of the SDK's or the platform's own names is posted; held messages do not
// pile up past a placement; views keep finite geometry.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/request/ZUMSlotPlacement.h"

namespace {

using Json = nlohmann::ordered_json;

// Names the SDK and the platform post themselves; pages must never post them.
constexpr std::string_view kOwnNames[] = {"kAdModalViewControllerWillPresentFullScreen",
                                          "kAdModalViewControllerDidDismissFullScreen",
                                          "delay_page_close_start",
                                          "delay_page_close_stop",
                                          "zum-native-ad-video-click",
                                          "ZUMSDKCoreDidUpdateConstants",
                                          "ZUMSlotDidLeaveWindowNotification",
                                          "UIApplicationDidBecomeActiveNotification",
                                          "UIApplicationWillResignActiveNotification",
                                          "UIApplicationDidEnterBackgroundNotification",
                                          "UIApplicationWillEnterForegroundNotification",
                                          "UIApplicationDidChangeStatusBarOrientationNotification"};

// "frame" sets the ad view's frame from x, y, w, h, read as every handler reads numbers.
class GeometryHandler : public ZUMTOLMHandler {
 public:
  const ActionTable* actionBlockDictionary() const override {
    static const ActionTable table{{"frame", action(&GeometryHandler::adViewFrame)}};
    return &table;
  }
  void adViewFrame(ZUMAdView& adView, const Json& parameters) {
    const double x = doubleParameter(parameters, "x"), y = doubleParameter(parameters, "y");
    const double w = doubleParameter(parameters, "w"), h = doubleParameter(parameters, "h");
    fuzzenv::check(std::isfinite(x) && std::isfinite(y) && std::isfinite(w) && std::isfinite(h));
    adView.setFrame({x, y, w, h});
  }
};

// Holds "held" until the ad view has a placement.
class HoldingHandler : public ZUMTOLMHandler {
 public:
  const ActionTable* actionBlockDictionary() const override {
    static const ActionTable table{{"held", [](ZUMTOLMHandler&, ZUMAdView&, const Json&) {}}};
    return &table;
  }
  bool shouldBufferNotification(const ZUMNotification&, const ZUMAdView& adView) override {
    return !adView.attachedToPlacement();
  }
};

struct Road {
  std::shared_ptr<ZUMAdViewDelegate> delegate = ZUMAdViewDelegate::create();
  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 50});
  std::shared_ptr<HoldingHandler> holding = std::make_shared<HoldingHandler>();
  std::shared_ptr<ZUMSlotPlacement> placement = std::make_shared<ZUMSlotPlacement>();
  platform::NotificationCenter::Token observer;

  Road() {
    delegate->addTOLMHandler(std::make_shared<GeometryHandler>());
    delegate->addTOLMHandler(holding);
    adView->setDelegate(delegate);
    observer = platform::NotificationCenter::defaultCenter().addObserver(
        "", adView, nullptr, [](const platform::Notification& notification) {
          for (auto own : kOwnNames) fuzzenv::check(notification.name() != own);
          fuzzenv::check(notification.userInfo().is_object());
        });
  }
};

bool finite(const platform::Rect& rect) {
  return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
         std::isfinite(rect.size.height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("tolm_chain_fuzzer");
  static Road* road = new Road();  // one page for the whole run, as an ad view lives long

  // The first line is the name, the rest the query as the page wrote it.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto newline = text.find('\n');
  const std::string name(text.substr(0, newline));
  const std::string query(newline == std::string_view::npos ? "" : text.substr(newline + 1));
  auto url = platform::URL::fromString("tolm://page/" + ZUMPercentEncodedString(name) + "?" + query);
  if (!url) return 0;

  const bool allowed = *road->delegate->adViewShouldStartLoadWithRequest(*road->adView, platform::URLRequest(*url),
                                                                         platform::WebViewNavigationType::Other);
  fuzzenv::check(!allowed);
  fuzzenv::drainMainLoop();
  fuzzenv::check(finite(road->adView->frame()) && finite(road->adView->bounds()));

  if (road->holding->bufferedNotificationCount() > 16) {
    road->adView->didMoveToPlacement(road->placement);
    fuzzenv::check(road->holding->bufferedNotificationCount() == 0);
    road->adView->didMoveToPlacement(nullptr);
  }
  return 0;
}
