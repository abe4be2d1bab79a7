// Test helpers of the Fennick channel: the channel's own script served by a loopback
// server, the stored configuration that names it, and what the script received, read
// back from either engine.
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/web/JSContext.h"
#include "platform/web/JSVirtualMachine.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "sdk/telemetry/ZUMFennickCommandExecutors.h"
#include "sdk/telemetry/ZUMFennickConfig.h"
#include "sdk/telemetry/ZUMFennickScript.h"
#include "testing/LoopbackServer.h"

namespace fennicktest {

inline constexpr const char* kScriptURL = "https://cdn.fennick.example/fennick.js";

// The script's host on the loopback server (the script context's classes registered).
class ScriptHost {
 public:
  ScriptHost() {
    platform::JSVirtualMachine::registerClass();
    platform::JSContext::registerClass();
    platform::URLLoading::mapHostForTesting("cdn.fennick.example", "127.0.0.1", server.port());
    server.route("/fennick.js",
                 {.status = 200, .body = std::string(ZUMFennickScript()), .contentType = "text/javascript"});
  }
  ~ScriptHost() { platform::URLLoading::removeHostMappingsForTesting(); }

  testenv::LoopbackServer server;
};

// Stores the channel's configuration as the constants update does (JSON text).
inline void storeConfig(const nlohmann::ordered_json& config) {
  (void)platform::UserDefaults::standard().setObject(nlohmann::ordered_json(config.dump()), kZUMFennickConfigKey);
}

// Enabled; with the script named (in the script context, or the hidden ad view's page)
// unless `withScript` is false.
inline nlohmann::ordered_json enabledConfig(bool withScript = true, bool useJSCore = true) {
  nlohmann::ordered_json config = {
      {"enabled", true}, {"use_js_core", useJSCore}, {"version", "1"}, {"js_config", "cfg-1"}};
  if (withScript) config["script_url"] = kScriptURL;
  return config;
}

// Every command the script received so far, in order (it keeps the latest 1000).
inline nlohmann::ordered_json received(const ZUMFennick& fennick) {
  auto timer = std::dynamic_pointer_cast<ZUMFennickTimerCommandExecutor>(fennick.commandExecutor());
  if (!timer) return nlohmann::ordered_json::array();
  const std::string script = "JSON.stringify(QYRA_FennickState.received)";
  std::string text;
  if (auto jsCore = std::dynamic_pointer_cast<ZUMFennickJSCoreCommandExecutor>(timer->executor())) {
    return jsCore->context()->evaluateScript("QYRA_FennickState.received").toJSON();
  }
  if (auto adView = std::dynamic_pointer_cast<ZUMFennickAdViewCommandExecutor>(timer->executor())) {
    auto webView = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->adView()->webView());
    text = webView ? webView->engine()->stringByEvaluatingJavaScriptFromString(script) : "";
  }
  auto parsed = nlohmann::ordered_json::parse(text, nullptr, false);
  return parsed.is_array() ? parsed : nlohmann::ordered_json::array();
}

// The "params" of each received command of `id`, in order.
inline nlohmann::ordered_json paramsOf(const nlohmann::ordered_json& commands, const std::string& id) {
  nlohmann::ordered_json params = nlohmann::ordered_json::array();
  for (const auto& command : commands) {
    if (command.value("id", "") == id) params.push_back(command["params"]);
  }
  return params;
}

}  // namespace fennicktest
