// Test helpers of the SDK-core area: the ad network's hosts served by a loopback
// server (the built-in page, or a page of the test's own), and a requester that records
// what the controller tells it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/base/URL.h"
#include "platform/net/URLLoading.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMSDKCoreControllerDelegate.h"
#include "sdk/sdkcore/ZUMSDKCorePage.h"
#include "sdk/sdkcore/ZUMSDKCoreWebView.h"
#include "testing/LoopbackServer.h"

namespace sdkcoretest {

inline constexpr const char* kPagePath = "/static/sdk/core/sdk-core-v40.html";

// The page's and the ad server's hosts, answered on the loopback server.
class NetworkHosts {
 public:
  NetworkHosts() {
    servePage(std::string(ZUMSDKCorePageHTML()));
    platform::URLLoading::mapHostForTesting("static.adnetwork.example", "127.0.0.1", server.port());
    platform::URLLoading::mapHostForTesting("ads.adnetwork.example", "127.0.0.1", server.port());
  }
  ~NetworkHosts() { platform::URLLoading::removeHostMappingsForTesting(); }
  void servePage(std::string html, bool held = false) {
    server.route(kPagePath, testenv::ScriptedResponse{.status = 200, .body = std::move(html), .held = held});
  }
  std::size_t pageLoads() const { return server.requests(kPagePath).size(); }

  testenv::LoopbackServer server;
};

// The built-in page with `script` added after its own.
inline std::string pageWith(const std::string& script) {
  std::string page(ZUMSDKCorePageHTML());
  page.insert(page.find("</head>"), "<script>" + script + "</script>\n");
  return page;
}

inline const std::vector<std::string>& evaluatedScripts(const ZUMSDKCoreWebView& webView) {
  return std::dynamic_pointer_cast<ZUMUIKitWebView>(webView.adView()->webView())->engine()->evaluatedScripts();
}

inline std::string evaluate(const ZUMSDKCoreWebView& webView, const std::string& script) {
  return std::dynamic_pointer_cast<ZUMUIKitWebView>(webView.adView()->webView())
      ->engine()
      ->stringByEvaluatingJavaScriptFromString(script);
}

// The keys of a recorder's timings, in order.
inline std::vector<std::string> timingKeys(const ZUMCSITimeRecorder::Timings& timings) {
  std::vector<std::string> keys;
  for (const auto& entry : timings) keys.push_back(entry.first);
  return keys;
}

struct Requester : ZUMSDKCoreControllerDelegate {
  std::shared_ptr<ZUMCSITimeRecorder> adLoadActionTimeRecorder() override { return recorder; }
  std::shared_ptr<ZUMCSITimeRecorder> recorder;
  // As a slot does, the parameters carry the identifier the controller gave.
  nlohmann::ordered_json requestParameters() override {
    auto sent = parameters;
    if (!requestIDs.empty()) sent["request_id"] = requestIDs.back();
    return sent;
  }
  std::int64_t requestedAdType() override { return adType; }
  void setRequestID(const std::string& identifier) override { requestIDs.push_back(identifier); }
  void loadAdURLWithParameters(const nlohmann::ordered_json& answer) override {
    log.push_back("url " + answer.value("url", ""));
  }
  void loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<nlohmann::ordered_json>&) override {
    loaded = ad;
    log.push_back(ad ? "ad" : "no ad");
  }
  void invalidJavaScriptRequest() override { log.push_back("invalid"); }
  void failedJavaScriptFile() override { log.push_back("page failed"); }
  void SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) override {
    log.push_back("lost " + std::to_string(error->code()));
  }

  nlohmann::ordered_json parameters = {{"slotname", "unit-A"}, {"format", "interstitial_mb"}};
  std::int64_t adType = 2;
  std::vector<std::string> requestIDs;
  std::vector<std::string> log;
  std::shared_ptr<ZUMAd> loaded;
};

}  // namespace sdkcoretest
