// The demo host: what the read-aloud application does with the SDK, against the demo's
// own ad server, on virtual time. It configures the SDK, loads an interstitial, shows it
// when it arrives, taps it, closes it, and loads the next one after 60 ticks of a
// one-second timer; every request the server gets, every slot state seen and every
// delegate callback is printed as it happens. Where a display is available the ads' pages
// run on WebKit and a PNG of the screen is written for each ad shown (into
// MORVANE_DEMO_PICTURES, else demo-pictures/ in the current folder). The ad server's
// constants switch the interstitial pool on: the first interstitial misses it, and the
// next comes from it. Exits 0 when both interstitials were received, shown and dismissed,
// the second from the pool.
//
// With --banner it shows a banner instead: loaded once, then refreshed twice on its ad's
// 30-second timer, each callback printed. Exits 0 when all three ads were received.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "AdServer.h"
#include "BannerHost.h"
#include "DemoEnvironment.h"
#include "InterstitialHost.h"
#include "RequestPrinter.h"
#include "ZUMMobileAds.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/base/UserDefaults.h"
#include "platform/web/WebPage.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/formats/ZUMInterstitialCache.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

constexpr const char* kApplicationID = "app-demo-0001";
constexpr const char* kAdUnitID = "demo/unit-A";
constexpr std::size_t kInterstitials = 2;
constexpr double kSecondsOnScreenBeforeTap = 4;
constexpr double kSecondsOnScreenAfterTap = 3;
constexpr std::chrono::seconds kRealLimit{30};
constexpr std::chrono::milliseconds kSettleTime{150};

// Lets real sockets and pages answer for a moment without moving virtual time: nothing is
// awaited, so the run always ends at the settle time.
void settle() {
  static_cast<void>(platform::MainLoopDriver::runUntil([] { return false; }, kSettleTime));
}

// "1 hit", "2 misses".
std::string counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : noun.back() == 's' ? "es" : "s");
}

constexpr std::size_t kBannerAds = 3;  // the first load and two refreshes
constexpr double kBannerRefreshSeconds = 30;

// The banner variant, once the SDK is configured.
int runBanner(DemoEnvironment& environment, RequestPrinter& printer) {
  auto host = std::make_shared<BannerHost>(
      [&](const std::string& who, const std::string& what) { printer.say(who, what); }, kAdUnitID);
  host->launch();
  host->loadBanner();
  for (std::size_t ads = 1; ads <= kBannerAds; ++ads) {
    const bool heard = environment.runUntil(
        [&] {
          host->noteSlotState();
          return host->received() >= ads || host->failed() > 0;
        },
        kRealLimit);
    if (!heard || host->failed() > 0 || ads == kBannerAds) break;
    settle();
    platform::MainLoopDriver::advance(kBannerRefreshSeconds);
  }
  settle();  // the last pings
  printer.summarize(std::to_string(host->received()) + " of " + std::to_string(kBannerAds) +
                    " banner ads received (one load, then refreshes)");
  return host->received() == kBannerAds && host->failed() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool banner = argc > 1 && std::string_view(argv[1]) == "--banner";
  DemoEnvironment environment;
  RequestPrinter printer(std::cout, [&] { return environment.elapsed(); });
  AdServer server([&](const AdServer::Request& request) { printer.print(request); });
  environment.routeHosts(AdServer::hosts(), server.port());
  if (banner) {
    std::cout << "The road of a banner and its refreshes, against an ad server on 127.0.0.1:" << server.port()
              << ", on virtual time:" << std::endl;
  } else {
    std::cout << "The road of " << kInterstitials
              << " interstitials, against an ad server on 127.0.0.1:" << server.port()
              << ", on virtual time:" << std::endl;
  }

  // Every latency beacon is sent, not a sample of them, so the road shows its timings.
  if (!platform::UserDefaults::standard().setObject("1", kZUMCSIReportingProbabilityKey)) {
    std::cerr << "The demo could not switch every latency beacon on; some may be missing.\n";
  }
  auto host = std::make_shared<InterstitialHost>(
      [&](const std::string& who, const std::string& what) { printer.say(who, what); }, kAdUnitID);
  ZUMMobileAds::load();
  environment.launch();
  printer.say("host", std::string("configure the SDK with application id \"") + kApplicationID + "\"");
  ZUMMobileAds::configureWithApplicationID(kApplicationID);
  if (banner) return runBanner(environment, printer);
  host->launch();

  auto waitFor = [&](auto done) {
    return environment.runUntil(
        [&] {
          host->noteSlotState();
          return done() || host->failed() > 0;
        },
        kRealLimit);
  };
  // The ad network's constants switch the interstitial pool on; the first load waits for
  // them, so that the pool is made then and the next interstitial comes from it.
  environment.runUntil([] { return ZUMUserDefaults::boolForKey(kZUMInterstitialPoolEnabledKey).value_or(false); },
                       kRealLimit);
  const bool poolOn = ZUMUserDefaults::boolForKey(kZUMInterstitialPoolEnabledKey).value_or(false);
  printer.say("host", poolOn ? "the ad server's constants switched the interstitial pool on"
                             : "the interstitial pool is off: no constants switched it on");
  host->loadInterstitial();
  // Lets requests already on their way reach the server before the clock jumps, so each
  // is printed at the time it was sent.
  auto advance = [&](double seconds) {
    settle();
    platform::MainLoopDriver::advance(seconds);
  };
  const char* picturesFolder = std::getenv("MORVANE_DEMO_PICTURES");
  const std::string pictures = picturesFolder && *picturesFolder ? picturesFolder : "demo-pictures";
  for (std::size_t shown = 1; shown <= kInterstitials; ++shown) {
    if (!waitFor([&] { return host->onScreen(); }) || host->failed() > 0) break;
    advance(kSecondsOnScreenBeforeTap);
    // Only a real engine draws the page; the deterministic one paints a colour.
    if (platform::WebPage::defaultEngine() == platform::WebEngine::WebKit) {
      host->savePicture(pictures + "/interstitial-" + std::to_string(shown) + ".png");
    }
    host->tapAd();
    advance(kSecondsOnScreenAfterTap);
    host->closeAd();
    if (!waitFor([&] { return host->dismissed() == shown; })) break;
    if (shown == kInterstitials) break;
    // The next load starts from the host's one-second timer.
    advance(InterstitialHost::kTicksBetweenAds);
  }
  settle();  // the last pings

  // Every interstitial after the first comes from the pool.
  const bool ok = host->received() == kInterstitials && host->dismissed() == kInterstitials && host->failed() == 0 &&
                  host->poolHits() == kInterstitials - 1;
  printer.summarize(std::to_string(host->dismissed()) + " of " + std::to_string(kInterstitials) +
                    " interstitials received, shown and dismissed (interstitial pool: " +
                    counted(host->poolHits(), "hit") + ", " + counted(host->poolMisses(), "miss") + ")");
  return ok ? 0 : 1;
}
