#include "AdServer.h"

#include <cctype>
#include <cstdio>
#include <functional>
#include <httplib.h>
#include <map>
#include <stdexcept>
#include <string_view>

#include "ZUMNativeAd.h"
#include "platform/base/URL.h"
#include "sdk/native/ZUMNativeAdsPage.h"
#include "sdk/sdkcore/ZUMSDKCorePage.h"
#include "sdk/sdkcore/ZUMSDKCoreWebView.h"

namespace {

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

constexpr const char* kAdServer = "https://ads.adnetwork.example";

// Keeps what a URL query or an HTML attribute may hold as it stands; the rest as %XX.
std::string percentEncoded(std::string_view text) {
  std::string encoded;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      encoded += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      encoded += escape;
    }
  }
  return encoded;
}

std::string pathOf(const std::string& address, const char* page) {
  const auto url = platform::URL::fromString(address);
  if (!url || !url->path()) throw std::logic_error(std::string(page) + " has no path");
  return *url->path();
}

// The SDK-core page with the demo network's constants: the interstitial pool is on and
// keeps one ad preloaded.
std::string pageHTML() {
  std::string html(ZUMSDKCorePageHTML());
  const std::string constants = "var SDK_CONSTANTS = {";
  const auto at = html.find(constants);
  if (at == std::string::npos) throw std::logic_error("the SDK-core page has no constants");
  html.insert(at + constants.size(),
              "'zums:interstitial_ad_pool:enabled': '1', 'zums:interstitial_ad_pool:max_pool_depth': '1', ");
  return html;
}

// The ad every ad URL gets: a page with a link to the advertiser, and the pings the SDK
// sends when it is shown and when it is clicked; a banner's refreshes every 30 seconds.
void answerAd(const httplib::Request& request, httplib::Response& response) {
  const std::string unit = percentEncoded(request.get_param_value("unit"));
  response.set_header("x-qyra-tracking-urls", std::string(kAdServer) + "/impression?unit=" + unit);
  response.set_header("x-qyra-click-tracking-urls", std::string(kAdServer) + "/click_ping?unit=" + unit);
  response.set_header("x-qyra-orientation", "portrait");
  // Banners refresh on the ad's timer.
  if (request.get_param_value("format") == "banner") response.set_header("x-qyra-refresh-rate", "30");
  response.set_content(
      "<!DOCTYPE html>\n<html><head><meta name=\"viewport\" content=\"width=device-width\">"
      "<title>Demo interstitial</title></head>\n"
      "<body style=\"margin:0;background:#1d4e89;color:#fff\">"
      "<a href=\"https://advertiser.adnetwork.example/landing?unit=" +
          unit +
          "\">Visit the advertiser</a>"
          "</body></html>\n",
      "text/html; charset=utf-8");
}

std::map<std::string, Handler> routes() {
  return {
      {pathOf(ZUMSDKCorePageURLString, "the SDK-core page"),
       [html = pageHTML()](const httplib::Request&, httplib::Response& response) {
         response.set_content(html, "text/html; charset=utf-8");
       }},
      // The built-in native-ads page, where the ad loader looks for it.
      {pathOf(ZUMNativeAd::supportHTMLURL(), "the native-ads page"),
       [](const httplib::Request&, httplib::Response& response) {
         response.set_content(std::string(ZUMNativeAdsPageHTML()), "text/html; charset=utf-8");
       }},
      {"/app_settings",
       [](const httplib::Request&, httplib::Response& response) {
         response.set_content(R"({"status":1})", "application/json");
       }},
      {"/ad", answerAd},
  };
}

}  // namespace

const std::vector<std::string>& AdServer::hosts() {
  static const std::vector<std::string> hosts{"static.adnetwork.example", "ads.adnetwork.example",
                                              "csi.adnetwork.example", "advertiser.adnetwork.example"};
  return hosts;
}

AdServer::AdServer(Observer observer) : observer_(std::move(observer)), server_(std::make_unique<httplib::Server>()) {
  addRoutes();
  // One request per connection: an idle kept-alive connection would hold the shutdown.
  server_->set_keep_alive_max_count(1);
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("ad server: cannot listen on 127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() only takes effect once the accept loop runs.
  while (!server_->is_running()) std::this_thread::yield();
}

AdServer::~AdServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void AdServer::addRoutes() {
  auto answer = [this, table = routes()](const httplib::Request& request, httplib::Response& response) {
    observer_(Request{request.method, request.get_header_value("Host"), request.target});
    if (const auto route = table.find(request.path); route != table.end()) {
      route->second(request, response);
    } else {
      response.status = 204;  // pings, click URLs and beacons want no body
    }
  };
  server_->Get(".*", answer);
  server_->Post(".*", answer);
}
