// The protocol of a requester of ad URLs from the SDK-core controller: slots, the
// rewarded video ad and mediation's URL adapter. The controller asks the requester for
// its parameters, gives it a request id, and answers with an ad URL, an ad, a refusal or
// the news that the SDK-core page could not be loaded.
//
// setRequestID() and adLoadActionTimeRecorder() are called on the controller's serial
// queue; every other operation on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

class ZUMAd;
class ZUMCSITimeRecorder;

class ZUMSDKCoreControllerDelegate {
 public:
  virtual ~ZUMSDKCoreControllerDelegate() = default;

  // The timings of the current load (nullptr: none are kept).
  virtual std::shared_ptr<ZUMCSITimeRecorder> adLoadActionTimeRecorder() = 0;
  // The parameters to send to the SDK-core page.
  virtual nlohmann::ordered_json requestParameters() = 0;
  // 1 for a banner view, 2 for an interstitial, else 0.
  virtual std::int64_t requestedAdType() = 0;
  virtual void setRequestID(const std::string& requestID) = 0;
  // The page answered with an ad URL.
  virtual void loadAdURLWithParameters(const nlohmann::ordered_json& parameters) = 0;
  // The page answered with an ad (headers: nullopt for none).
  virtual void loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<nlohmann::ordered_json>& headers) = 0;
  // The page refused the request.
  virtual void invalidJavaScriptRequest() = 0;
  // The SDK-core page could not be loaded.
  virtual void failedJavaScriptFile() = 0;
  // The request was lost: the page did not answer in time (code 5) or was refreshed
  // before it answered (code 11). Answers that come later are not delivered.
  virtual void SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) = 0;
};
