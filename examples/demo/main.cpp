// The demo host: starts the SDK against the demo's own ad server on virtual time, prints
// every request the server gets, and ends with a one-line summary. Exits 0 when the SDK
// has fetched and stored the application's settings.
#include <chrono>
#include <iostream>

#include <nlohmann/json.hpp>

#include "AdServer.h"
#include "DemoEnvironment.h"
#include "RequestPrinter.h"
#include "ZUMMobileAds.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMConfiguration.h"

namespace {

constexpr const char* kApplicationID = "app-demo-0001";
constexpr std::chrono::seconds kRealLimit{30};

// No public call reports the settings, so the demo reads the mark the SDK leaves.
bool settingsFetched() {
  const auto mark = ZUMApplication::sharedInstance()->configuration()->objectForKey(
      "app_config_refreshed_since_app_start");
  return mark && *mark == true;
}

}  // namespace

int main() {
  DemoEnvironment environment;
  RequestPrinter printer(std::cout, [&] { return environment.elapsed(); });
  AdServer server([&](const AdServer::Request& request) { printer.print(request); });
  environment.routeHosts(AdServer::hosts(), server.port());
  std::cout << "Ad server on 127.0.0.1:" << server.port() << "; requests as they arrive:" << std::endl;

  ZUMMobileAds::load();
  environment.launch();
  ZUMMobileAds::configureWithApplicationID(kApplicationID);
  const bool fetched = environment.runUntil(settingsFetched, kRealLimit);

  printer.summarize(fetched ? "Settings fetched" : "Settings NOT fetched");
  return fetched ? 0 : 1;
}
