// A page's small messages (active view, CSI timings, page-load delays, orientation,
// rewards, analytics, logging, touches, openable URLs) with any name and parameters,
// through their handlers. Never crashes; the page-load delay count never goes below 0
// and every change reaches the delegate one step at a time; a forced orientation's
// animation stays within 0 and its cap; no CSI timing runs backwards or starts before
// 1970. ("httpTrack" hands its URL to the click trackers, whose pings would outlive each
// input; their own tests cover them.)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/presentation/ZUMDefaultTOLMHandler.h"
#include "sdk/presentation/ZUMOrientationTOLMHandler.h"
#include "sdk/rendering/ZUMActiveViewTOLMHandler.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAnalyticsTOLMHandler.h"
#include "sdk/rendering/ZUMCSITOLMHandler.h"
#include "sdk/rendering/ZUMDelayPageLoadTOLMHandler.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandler.h"

namespace {

struct Collaborators : ZUMActiveViewTOLMHandlerDelegate, ZUMCSITOLMHandlerDelegate, ZUMDelayLoadDelegate {
  void activeViewTOLMHandlerDidReceiveVisibilityNotification(ZUMTOLMHandler&, bool, std::uint64_t) override {}
  void activeViewTOLMHandlerDidReceiveUntrackNotification(ZUMTOLMHandler&, std::uint64_t) override {}
  std::shared_ptr<ZUMCSI> CSIForTOLMHandler(ZUMTOLMHandler&) override { return csi; }
  void loadHandlerDidChangeDelay(ZUMTOLMHandler&, std::int64_t from, std::int64_t to) override {
    fuzzenv::check(from >= 0 && to >= 0 && (to == from + 1 || to == from - 1));
  }
  void loadHandlerDidCancel(ZUMTOLMHandler&) override {}
  std::shared_ptr<ZUMCSI> csi = ZUMCSI::create();
};

struct Page {
  std::shared_ptr<Collaborators> collaborators = std::make_shared<Collaborators>();
  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 480});
  std::shared_ptr<ZUMAdAppViewController> controller = ZUMAdAppViewController::create(adView);
  std::vector<std::shared_ptr<ZUMTOLMHandler>> handlers;
  Page() {
    adView->setViewController(controller);
    auto activeView = ZUMActiveViewTOLMHandler::create();
    activeView->setDelegate(collaborators);
    auto csi = ZUMCSITOLMHandler::create();
    csi->setCSIDelegate(collaborators);
    handlers = {activeView,
                csi,
                ZUMDelayPageLoadTOLMHandler::create(collaborators),
                ZUMOrientationTOLMHandler::create(),
                ZUMRewardBasedVideoAdTOLMHandler::create(),
                ZUMAnalyticsTOLMHandler::create(),
                ZUMDefaultTOLMHandler::create()};
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("small_messages_fuzzer");
  static Page* page = new Page();  // one page for the whole run, as an ad's handlers live long

  // The name's line, then the query as the page wrote it.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto newline = text.find('\n');
  const std::string name(text.substr(0, newline));
  const std::string query(newline == std::string_view::npos ? "" : text.substr(newline + 1));
  auto url = platform::URL::fromString("tolm://page/" + ZUMPercentEncodedString(name) + "?" + query);
  auto notification = url ? ZUMNotification::createWithNotificationURL(*url) : nullptr;
  if (!notification || notification->name() == "httpTrack") return 0;
  for (const auto& handler : page->handlers) {
    if (handler->handleNotification(notification, page->adView)) break;
  }
  fuzzenv::drainMainLoop();
  const double duration = page->controller->orientationUpdateAnimationDuration();
  fuzzenv::check(duration >= 0 && duration <= kZUMMaxOrientationAnimationDuration);
  if (auto recorder = page->collaborators->csi->timeRecorderForAction("make_wv")) {
    for (const auto& [label, timing] : recorder->completedVariables()) {
      fuzzenv::check(timing->start() > 0 && timing->length() >= 0);
    }
  }
  return 0;
}
