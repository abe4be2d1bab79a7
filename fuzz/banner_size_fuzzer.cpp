// A banner's sizes from hostile hands: the input is a sequence of steps, each a step byte
// and four doubles taken raw from the bytes (so NaN, infinities, negative and huge values
// all come up): an ad size with flags, a frame, bounds, or the content size a fluid
// ad's page reports. Never crashes, and after every step the banner's frame, bounds and
// ad size are finite and within any screen (the invalid size, -1 x -1, aside).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "ZUMBannerView.h"
#include "fuzz/FuzzEnvironment.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr double kLimit = 100000;

bool sane(const platform::Rect& rect) {
  return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
         std::isfinite(rect.size.height) && std::fabs(rect.size.width) <= kLimit &&
         std::fabs(rect.size.height) <= kLimit;
}

bool sane(const ZUMAdSize& size) {
  if (ZUMAdSizeEqualToSize(size, kZUMAdSizeInvalid)) return true;
  return std::isfinite(size.size.width) && std::isfinite(size.size.height) && size.size.width >= 0 &&
         size.size.height >= 0 && size.size.width <= kLimit && size.size.height <= kLimit;
}

double take(const std::uint8_t*& data, std::size_t& size) {
  double value = 0;
  const std::size_t n = size < sizeof value ? size : sizeof value;
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("banner_size_fuzzer");
  // One banner for the run, its ad view a real one (one web view, not one per input).
  static const auto banner = [] {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    return ZUMBannerView::create(kZUMAdSizeBanner);
  }();
  banner->setAdSize(kZUMAdSizeBanner);
  while (size > 0) {
    const std::uint8_t step = *data++;
    --size;
    const double a = take(data, size), b = take(data, size), c = take(data, size), d = take(data, size);
    switch (step % 5) {
      case 0:
        banner->setAdSize(ZUMAdSize{{a, b}, static_cast<std::uint64_t>(step >> 3) & 0x3b});
        break;
      case 1:
        banner->setFrame({a, b, c, d});
        break;
      case 2:
        banner->setBounds({a, b, c, d});
        break;
      case 3:
        banner->setAdSize(ZUMFluidAdSizeWithSize(0, 0));
        [[fallthrough]];
      default:
        banner->slotContentSizeDidChange(*banner->slot(), {a, b});
        break;
    }
    fuzzenv::check(sane(banner->frame()) && sane(banner->bounds()) && sane(banner->adSize()));
    fuzzenv::check(sane(banner->adView()->frame()));
  }
  fuzzenv::drainMainLoop();
  return 0;
}
