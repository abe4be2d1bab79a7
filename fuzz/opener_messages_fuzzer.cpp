// A page's open messages ("open" with any "a", "fetchAppStore") with any parameters, through the opener's message handler to the opener, with the ad
// view touched or not and confirmation alerts answered either way. Never crashes; a
// URL whose scheme would act inside the application (file, about, javascript, data, or
// none) is never opened outside it. ("click" only hands its URL to the click trackers,
// whose pings would outlive each input here; their own tests cover them.)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/URL.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMOpenerTOLMHandler.h"

namespace {

struct Page {
  std::shared_ptr<ZUMOpener> opener = ZUMOpener::create();
  std::shared_ptr<ZUMOpenerTOLMHandler> handler = ZUMOpenerTOLMHandler::create(opener);
  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 50});
  Page() {
    opener->setAdView(adView);
    // Everything "installed", so only the opener's own refusal keeps a URL in.
    platform::Application::shared().setInstalledURLSchemes(
        {"http", "https", "tel", "sms", "mailto", "facetime", "itms-apps", "file", "about", "javascript", "data", "x"});
  }
};

bool actsInside(const platform::URL& url) {
  const auto scheme = platform::asciiLowercased(url.scheme().value_or(""));
  return scheme.empty() || scheme == "file" || scheme == "about" || scheme == "javascript" || scheme == "data";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("opener_messages_fuzzer");
  static Page* page = new Page();  // one ad view for the whole run, as its opener lives long

  // The first byte: bit 0 touched, bit 1 the alert button to tap; then the name's line
  // and the query as the page wrote it.
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto newline = text.find('\n');
  const std::string name(text.substr(0, newline));
  const std::string query(newline == std::string_view::npos ? "" : text.substr(newline + 1));
  auto url = platform::URL::fromString("tolm://page/" + ZUMPercentEncodedString(name) + "?" + query);
  auto notification = url ? ZUMNotification::createWithNotificationURL(*url) : nullptr;
  if (!notification || notification->name() == "click") return 0;

  page->adView->setTouched(flags & 1);
  const auto before = platform::Application::shared().openedURLs().size();
  page->handler->handleNotification(notification, page->adView);
  fuzzenv::drainMainLoop();
  for (const auto& alert : platform::AlertView::visibleAlerts()) alert->tapButtonAtIndex((flags >> 1) & 1);
  fuzzenv::drainMainLoop();
  const auto& opened = platform::Application::shared().openedURLs();
  for (auto at = before; at < opened.size(); ++at) fuzzenv::check(!actsInside(opened[at]));
  return 0;
}
