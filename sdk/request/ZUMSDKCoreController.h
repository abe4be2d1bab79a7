// The process-wide owner of the hidden SDK-core page, as the rest of the SDK sees it:
// turn a requester's parameters into an ad URL or an ad (answered through the
// requester's ZUMSDKCoreControllerDelegate operations), run scripts on the page once it
// is ready, and post notifications into it.
//
// The controller registers its shared instance at start-up; until then sharedInstance()
// is nullptr and requesters fail their load. Every operation may be called from any
// thread and returns at once.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

class ZUMActiveViewWebView;
class ZUMSDKCoreControllerDelegate;
class ZUMSDKCoreWebView;

// How often active-view and impression monitors sample until the constants say otherwise,
// in seconds.
inline constexpr double kZUMDefaultActiveViewSamplingInterval = 0.4;

// Given the request identifier, the script to run on the page; nullopt when there is
// nothing valid to run.
using ZUMSDKCoreScriptBlock = std::function<std::optional<std::string>(const std::string& requestID)>;
// The page's result (nullopt: none) and the error, if any. Called exactly once.
using ZUMSDKCoreCompletionBlock =
    std::function<void(const std::optional<nlohmann::ordered_json>& result, const platform::ErrorPtr& error)>;

class ZUMSDKCoreController {
 public:
  virtual ~ZUMSDKCoreController() = default;

  // The registered shared controller, or nullptr.
  static std::shared_ptr<ZUMSDKCoreController> sharedInstance();
  // Installs (or, with nullptr, removes) the shared controller.
  static void setSharedInstance(std::shared_ptr<ZUMSDKCoreController> controller);

  // Asks the page for an ad URL or an ad for `requester`. The controller's tables hold
  // the requester strongly until it is answered (each answer reaches it through a weak
  // reference on the main queue, so a requester released meanwhile is not called).
  virtual void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>& requester) = 0;
  // Runs the block's script on the page once the page is ready; `completion` (may be
  // empty) gets the page's result, a time-out or a refresh cancellation.
  virtual void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock block,
                                                   ZUMSDKCoreCompletionBlock completion) = 0;
  // Calls the page's exported `command` with {"args": parameters} (no "args" for nullopt).
  virtual void executeExportedJavaScriptCommand(const std::string& command,
                                                const std::optional<nlohmann::ordered_json>& parameters,
                                                ZUMSDKCoreCompletionBlock completion) = 0;
  // Posts the message `name` (with `userInfo`, when given) into the page.
  virtual void postJavaScriptNotification(const std::string& name,
                                          const std::optional<nlohmann::ordered_json>& userInfo) = 0;
  // The page that serves requests (nullptr before the first one is made).
  virtual std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() = 0;

  // --- Active view ----------------------------------------------------------------------
  // The sampling interval of the visibility monitors, seconds.
  virtual double activeViewSamplingInterval() { return kZUMDefaultActiveViewSamplingInterval; }
  // A page to run active-view measurement in, lent to the caller (main thread); nullptr
  // when the controller lends none.
  virtual std::shared_ptr<ZUMActiveViewWebView> SDKCoreWebViewForActiveViewProcessing() { return nullptr; }
  // The borrower is done with `webView` (its observer already removed).
  virtual void finishedUsingSDKCoreWebViewForActiveViewProcessing(const std::shared_ptr<ZUMActiveViewWebView>&) {}
};
