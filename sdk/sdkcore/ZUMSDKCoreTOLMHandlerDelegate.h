// What the SDK-core message handler passes on to its owner, the SDK-core controller.
// Request identifiers are the strings the page sent as "request_id".
//
// Operations 1 to 5 arrive on a later turn of the main queue; 6 to 8 at once, on the
// main thread, while the message is handled.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

class ZUMSDKCoreTOLMHandler;

class ZUMSDKCoreTOLMHandlerDelegate {
 public:
  virtual ~ZUMSDKCoreTOLMHandlerDelegate() = default;

  // 1. "loadAdURL": the message's parameters.
  virtual void SDKCoreTOLMHandlerLoadAdURLWithRequestID(ZUMSDKCoreTOLMHandler& handler, const std::string& requestID,
                                                        const nlohmann::ordered_json& parameters) = 0;
  // 2. "loadAd": the decoded ad dictionary.
  virtual void SDKCoreTOLMHandlerLoadAdWithRequestID(ZUMSDKCoreTOLMHandler& handler, const std::string& requestID,
                                                     const nlohmann::ordered_json& ad) = 0;
  // 3. "invalidRequest" (the identifier may be absent).
  virtual void SDKCoreTOLMHandlerDidReceiveInvalidAdWithRequestID(ZUMSDKCoreTOLMHandler& handler,
                                                                  const std::optional<std::string>& requestID,
                                                                  const nlohmann::ordered_json& parameters) = 0;
  // 4. "loadSdkConstants": every parameter.
  virtual void SDKCoreTOLMHandlerDidLoadSDKConstants(ZUMSDKCoreTOLMHandler& handler,
                                                     const nlohmann::ordered_json& constants) = 0;
  // 5. "requestReload".
  virtual void SDKCoreTOLMHandlerDidReceiveSDKCoreUpdateNotification(ZUMSDKCoreTOLMHandler& handler) = 0;
  // 6. "result" with an identifier.
  virtual void SDKCoreTOLMHandlerDidReceiveResultActionWithRequestID(ZUMSDKCoreTOLMHandler& handler,
                                                                     const std::string& requestID,
                                                                     const nlohmann::ordered_json& arguments) = 0;
  // 7 and 8. "sdkCoreRefresh": the page holds back or allows refreshes.
  virtual void SDKCoreTOLMHandlerDidReceivePauseSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler& handler) = 0;
  virtual void SDKCoreTOLMHandlerDidReceiveResumeSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler& handler) = 0;
};
