// Test helpers of the formats area: a loaded SDK with a key window and the ad network's
// hosts on the loopback server (the built-in SDK-core page, or one of the test's own),
// and a delegate that records what an interstitial tells its host.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ZUMAdReward.h"
#include "ZUMInterstitial.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "ZUMRewardBasedVideoAd.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace formatstest {

using Log = std::vector<std::string>;

// The callbacks a host hears, in order, "!" marking one off the main thread.
struct HostDelegate : ZUMInterstitialDelegate {
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override { return note("received"); }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr& e) override {
    lastError = e;
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented interstitialDidReceiveAdClick(ZUMInterstitial&) override { return note("click"); }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? std::move(what) : what + "!");
    return kZUMImplemented;
  }
  Log log;
  ZUMRequestErrorPtr lastError;
};

// The callbacks a rewarded ad's host hears, in order, "!" marking one off the main thread;
// a reward as "reward 'type' amount", so an empty type shows.
struct RewardedHost : ZUMRewardBasedVideoAdDelegate {
  void rewardBasedVideoAdDidRewardUserWithReward(ZUMRewardBasedVideoAd&,
                                                 const std::shared_ptr<ZUMAdReward>& r) override {
    note("reward '" + r->type() + "' " + r->amount().stringValue());
  }
  ZUMImplemented rewardBasedVideoAdDidFailToLoadWithError(ZUMRewardBasedVideoAd&,
                                                          const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()) + " " + e->localizedDescription());
  }
  ZUMImplemented rewardBasedVideoAdDidReceiveAd(ZUMRewardBasedVideoAd&) override { return note("received"); }
  ZUMImplemented rewardBasedVideoAdDidOpen(ZUMRewardBasedVideoAd&) override { return note("open"); }
  ZUMImplemented rewardBasedVideoAdDidStartPlaying(ZUMRewardBasedVideoAd&) override { return note("start"); }
  ZUMImplemented rewardBasedVideoAdDidClose(ZUMRewardBasedVideoAd&) override { return note("close"); }
  ZUMImplemented rewardBasedVideoAdWillLeaveApplication(ZUMRewardBasedVideoAd&) override { return note("leave"); }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? std::move(what) : what + "!");
    return kZUMImplemented;
  }
  Log log;
};

class FormatsTest : public testenv::PlatformTest {
 protected:
  FormatsTest() {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    serveAd({});
  }
  // The ad at the built-in page's ad URL.
  void serveAd(std::vector<std::pair<std::string, std::string>> headers,
               std::string body = "<html><body>Ad<script>var a = 1;</script></body></html>") {
    hosts.server.route("/ad", {.headers = std::move(headers), .body = std::move(body)});
  }
  // Loads and waits until the delegate hears something.
  void load(ZUMInterstitial& interstitial, const HostDelegate& delegate,
            std::shared_ptr<ZUMRequest> request = ZUMRequest::create()) {
    const auto heard = delegate.log.size();
    interstitial.loadRequest(request);
    ASSERT_TRUE(env.runUntil([&] { return delegate.log.size() > heard; }));
  }
  std::size_t pings(const std::string& path) const { return hosts.server.requests(path).size(); }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
};

}  // namespace formatstest
