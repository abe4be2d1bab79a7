// For tests of active view: an SDK-core controller that lends a recording page for
// active-view processing and counts what it lent and got back. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sdk/rendering/ZUMActiveViewWebView.h"
#include "sdk/request/ZUMSDKCoreController.h"

namespace activeviewtest {

// Records the observer, "observe <id>" / "remove <id>" and the script commands it gets.
struct LentPage : ZUMActiveViewWebView {
  void setActiveViewObserver(const std::shared_ptr<ZUMAdViewActiveViewMonitoring>& o, std::uint64_t id) override {
    observer = o;
    log.push_back("observe " + std::to_string(id));
  }
  void removeActiveViewObserverForActiveViewID(std::uint64_t id) override {
    observer.reset();
    log.push_back("remove " + std::to_string(id));
  }
  void enqueueJavaScriptCommand(std::string command) override { commands.push_back(std::move(command)); }
  std::weak_ptr<ZUMAdViewActiveViewMonitoring> observer;
  std::vector<std::string> log;
  std::vector<std::string> commands;
};

struct LendingController : ZUMSDKCoreController {
  using Json = nlohmann::ordered_json;
  void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>&) override {}
  void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock, ZUMSDKCoreCompletionBlock) override {}
  void executeExportedJavaScriptCommand(const std::string&, const std::optional<Json>&,
                                        ZUMSDKCoreCompletionBlock) override {}
  void postJavaScriptNotification(const std::string&, const std::optional<Json>&) override {}
  std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() override { return nullptr; }
  std::shared_ptr<ZUMActiveViewWebView> SDKCoreWebViewForActiveViewProcessing() override {
    ++lent;
    return page;
  }
  void finishedUsingSDKCoreWebViewForActiveViewProcessing(const std::shared_ptr<ZUMActiveViewWebView>&) override {
    ++returned;
  }
  double activeViewSamplingInterval() override { return 0.5; }
  std::shared_ptr<LentPage> page = std::make_shared<LentPage>();
  int lent = 0;
  int returned = 0;
};

}  // namespace activeviewtest
