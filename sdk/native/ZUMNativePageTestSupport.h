// For fuzz targets and benchmarks that hand an ad loader the native-ads page's answer
// without a page: the SDK's real ad views, remembering the last one made (a preprocessor
// makes its slot, hence its page's ad view, when a loader takes a response over), so the
// page's message can be posted as the ad view's. Header-only and free of test libraries.
#pragma once

#include <memory>
#include <string>

#include "ZUMAdLoader.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotRendering.h"

namespace nativepagetest {

class RecordingSlotRendering final : public ZUMSlotRendering {
 public:
  // Installs a recording rendering as the slots' and returns it.
  static std::shared_ptr<RecordingSlotRendering> install() {
    auto made = std::make_shared<RecordingSlotRendering>();
    ZUMSlotRendering::setShared(made);
    return made;
  }
  AdViewParts makeAdView(ZUMSlot& slot, const platform::Rect& frame) override {
    auto parts = real_.makeAdView(slot, frame);
    last = parts.adView;
    return parts;
  }
  void adViewDidMoveToPlacement(platform::View& view, const std::shared_ptr<ZUMSlotPlacement>& placement) override {
    real_.adViewDidMoveToPlacement(view, placement);
  }
  void pauseVideo(platform::View& view) override { real_.pauseVideo(view); }
  void clearTouched(platform::View& view) override { real_.clearTouched(view); }
  void detachAdView(platform::View& view) override { real_.detachAdView(view); }

  // Has `loader` take a response over, as when its ad request comes back (its own fetch
  // stopped): its preprocessor and the hidden page's ad view are made. Returns that ad
  // view, as whose messages the page's answers are posted.
  std::shared_ptr<platform::View> takeOverResponse(ZUMAdLoader& loader) {
    loader.slot()->cancelLoad();
    last = nullptr;
    auto response = ZUMAd::create();
    response->setAdHTML(std::string("{}"));
    platform::ErrorPtr error;
    static_cast<void>(loader.slotShouldProcessAdResponse(*loader.slot(), response, &error));
    return last;
  }

  std::shared_ptr<platform::View> last;

 private:
  ZUMAdViewSlotRendering real_;
};

}  // namespace nativepagetest
