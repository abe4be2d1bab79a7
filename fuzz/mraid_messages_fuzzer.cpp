// A page's "mraid" messages with any parameters ("a" = "resize",
// "setOrientationProperties", "storePicture", "createCalendarEvent" or anything),
// through the MRAID message handler to its opener, whose click handling records the
// resize requests that pass. Never crashes; every resize that reaches the presentation
// area has a finite size and finite offsets (what is not finite reads as 0), and every
// frame the resize presenter accepts is finite and no larger than the extent it allows,
// and so is the frame it places the ad at; the orientations set
// on the full-screen ad controller are a subset of the four, and its animation
// duration is finite and not negative.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/URL.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/presentation/ZUMMRAIDResizeOverlayPresenter.h"
#include "sdk/presentation/ZUMMRAIDTOLMHandler.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMClickHandling.h"
#include "sdk/rendering/ZUMMRAIDResizeProperties.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMOpener.h"

namespace {

bool finite(const platform::Rect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

bool within(const platform::Rect& r) {
  return r.width() <= ZUMMRAIDResizeProperties::kMaxExtent && r.height() <= ZUMMRAIDResizeProperties::kMaxExtent;
}

// Checks what reaches the presentation area, then computes what the resize presenter
// would place.
struct RecordingClickHandling : ZUMClickHandling {
  void openInAppStoreWithProductID(ZUMOpener&, const std::optional<std::string>&, const std::optional<platform::URL>&,
                                   ZUMStoreSheetPresentation) override {}
  void fetchInAppStoreForProductID(ZUMOpener&, const std::string&) override {}
  void openWebViewBrowserToURL(ZUMOpener&, const platform::URL&, std::uint64_t) override {}
  void openSafariViewControllerToURL(ZUMOpener&, const platform::URL&) override {}
  bool hasSafariViewController() const override { return false; }
  void openEmailComposer(ZUMOpener&, const platform::URL&) override {}
  void openSmsComposer(ZUMOpener&, const platform::URL&) override {}
  void openWebAppWithResizeProperties(ZUMOpener&, const ZUMMRAIDResizeProperties& properties) override {
    const auto frame = properties.frame();
    fuzzenv::check(finite(frame));
    const auto bounds = platform::Rect{0, 20, 375, 647};
    const auto adjusted = ZUMMRAIDResizeOverlayPresenter::adjustedContentFrame(frame, bounds);
    if (ZUMMRAIDResizeProperties::isContentFrameValid(adjusted, bounds, properties.allowOffscreen(),
                                                      properties.customClosePosition())) {
      fuzzenv::check(finite(adjusted) && within(adjusted));
    }
    auto presenter = ZUMMRAIDResizeOverlayPresenter::create(reference);
    if (presenter->setResizeProperties(properties)) fuzzenv::check(finite(presenter->contentFrame()) && within(frame));
  }
  std::shared_ptr<platform::View> reference = platform::View::create({0, 100, 320, 50});
};

struct Page {
  std::shared_ptr<ZUMOpener> opener = ZUMOpener::create();
  std::shared_ptr<ZUMMRAIDTOLMHandler> handler = ZUMMRAIDTOLMHandler::create(opener);
  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 50});
  std::shared_ptr<ZUMAdAppViewController> controller = ZUMAdAppViewController::create();
  Page() {
    ZUMClickHandling::setShared(std::make_shared<RecordingClickHandling>());
    opener->setAdView(adView);
    opener->setViewController(controller);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("mraid_messages_fuzzer");
  static Page* page = new Page();  // one ad view for the whole run, as its opener lives long

  // The first byte: bit 0 touched, bit 1 "mraidLoaded" instead of "mraid"; then the
  // query as the page wrote it.
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::string query(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string name = (flags & 2) ? "mraidLoaded" : "mraid";
  auto url = platform::URL::fromString("tolm://page/" + name + "?" + query);
  auto notification = url ? ZUMNotification::createWithNotificationURL(*url) : nullptr;
  if (!notification) return 0;

  page->adView->setTouched(flags & 1);
  page->handler->handleNotification(notification, page->adView);
  fuzzenv::drainMainLoop();
  fuzzenv::check((page->controller->adOrientations() & ~platform::kInterfaceOrientationMaskAll) == 0);
  const double duration = page->controller->orientationUpdateAnimationDuration();
  fuzzenv::check(std::isfinite(duration) && duration >= 0);
  return 0;
}
