// The fluid search banner's navigation filter under hostile page messages: each input line
// becomes "tolm://" + the line, asked about as a navigation of the type its first byte
// picks (link taps included). Never crashes; after every message the views' frames are
// finite, the web view's height lies between 0 and the banner's maximum, and nothing was opened:
// a message URL is never a landing page.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ZUMSearchBannerView.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Application.h"
#include "sdk/formats/ZUMDynamicHeightSearchBannerView.h"
#include "sdk/rendering/ZUMWebView.h"

namespace {

bool finite(const platform::Rect& rect) {
  return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
         std::isfinite(rect.size.height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("search_navigation_fuzzer");
  // One banner for the run (one web view, not one per input).
  static const auto banner = ZUMSearchBannerView::create({0, 0, 320, 0}, kZUMAdSizeFluid);
  auto& view = *banner->dynamicHeightAdView();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    const auto type = static_cast<platform::WebViewNavigationType>(static_cast<unsigned char>(line.front()) % 6);
    const auto url = platform::URL::fromString("tolm://" + std::string(line.substr(1)));
    if (!url) continue;
    const bool load = view.webViewShouldStartLoadWithRequest(*view.adWebView(), platform::URLRequest(*url), type);
    fuzzenv::check(!load);
    const platform::Rect web = view.adWebView()->frame();
    fuzzenv::check(finite(web) && finite(view.frame()) && finite(banner->frame()));
    fuzzenv::check(web.size.height >= 0 && web.size.height <= ZUMDynamicHeightSearchBannerView::kMaximumHeight);
    fuzzenv::check(platform::Application::shared().openedURLs().empty());
  }
  fuzzenv::drainMainLoop();
  return 0;
}
