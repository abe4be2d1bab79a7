#include "sdk/sdkcore/ZUMSDKCorePageController.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StringConversions.h"
#include "platform/base/UserDefaults.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMJavaScriptMessageString.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSDKCoreControllerDelegate.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kRefreshCancelledText = "SDKCore refreshed. All pending blocks are cancelled.";
constexpr const char* kTimedOutText = "Completion block execution timed out.";
constexpr const char* kEmptyCommandText = "Empty or invalid JavaScript command returned.";

// The argument text of a request: compact JSON of the JSON-safe parameters, "" when it
// cannot be written, nullopt when there are no parameters.
std::optional<std::string> adRequestParameterJSONFromParameters(const Json& parameters) {
  if (!parameters.is_object()) return std::nullopt;
  return ZUMScriptSafeJSON(zum_JSONStringPretty(zum_JSONSafeDictionary(parameters), false, nullptr).value_or(""));
}

void startTiming(const std::shared_ptr<ZUMCSITimeRecorder>& recorder, const char* name) {
  if (recorder) recorder->startTimingVariableWithName(name);
}

}  // namespace

std::shared_ptr<ZUMSDKCorePageController> ZUMSDKCorePageController::create() {
  platform::assertMainThread();
  auto controller = std::shared_ptr<ZUMSDKCorePageController>(new ZUMSDKCorePageController());
  controller->lockQueue_ = ZUMDispatchQueueCreate("com.vantor.morvane.sdk-core-controller");
  controller->webViewConfiguration_.setWebViewClassKey("ui");
  controller->setSDKCoreWebViewExperiment();
  controller->setActiveSDKCoreWebView(ZUMSDKCoreWebView::create(controller->webViewConfiguration_));
  return controller;
}

ZUMSDKCorePageController::~ZUMSDKCorePageController() = default;

std::shared_ptr<ZUMSDKCoreWebView> ZUMSDKCorePageController::activeSDKCoreWebView() {
  return lockQueue_->syncResult([&] { return activeSDKCoreWebView_; });
}

void ZUMSDKCorePageController::setActiveSDKCoreWebView(std::shared_ptr<ZUMSDKCoreWebView> webView) {
  if (webView && webView->SDKCoreTOLMHandler()) webView->SDKCoreTOLMHandler()->setDelegate(shared_from_this());
  lockQueue_->sync([&] { activeSDKCoreWebView_ = std::move(webView); });
}

double ZUMSDKCorePageController::SDKCoreJavaScriptCompletionBlockTimeoutInterval() const {
  return lockQueue_->syncResult([&] { return SDKCoreJavaScriptCompletionBlockTimeoutInterval_; });
}

void ZUMSDKCorePageController::setSDKCoreJavaScriptCompletionBlockTimeoutInterval(double seconds) {
  lockQueue_->async(
      [self = shared_from_this(), seconds] { self->SDKCoreJavaScriptCompletionBlockTimeoutInterval_ = seconds; });
}

bool ZUMSDKCorePageController::isRefreshPaused() const {
  return lockQueue_->syncResult([&] { return refreshPaused_; });
}

bool ZUMSDKCorePageController::SDKCoreUpdateHandled() const {
  return lockQueue_->syncResult([&] { return SDKCoreUpdateHandled_; });
}

std::string ZUMSDKCorePageController::nextRequestID() { return std::to_string(requestID_++); }

// --- Refreshing the page -------------------------------------------------------------------

void ZUMSDKCorePageController::attemptToRefreshActiveWebViewSDKCore() {
  lockQueue_->async([self = shared_from_this()] {
    const std::uint64_t now = ZUMMonotonicTimeInMilliseconds();
    const bool stale = now - self->lastWebViewRefreshTimestamp_ > kZUMSDKCoreRefreshAgeMilliseconds;
    const bool paused = self->refreshPaused_;
    auto webView = self->activeSDKCoreWebView_;
    platform::DispatchQueue::global()->async([self, webView, stale, paused] {
      const auto state = webView ? webView->state() : ZUMSDKCoreWebView::kNeverLoaded;
      if (state == ZUMSDKCoreWebView::kNeverLoaded || state == ZUMSDKCoreWebView::kFailed || (stale && !paused)) {
        self->refreshActiveWebViewSDKCore();
      } else {
        self->observeSDKCoreWebViewForSDKCoreLoadRequestCompleted();
      }
    });
  });
}

void ZUMSDKCorePageController::refreshActiveWebViewSDKCore() {
  if (auto webView = activeSDKCoreWebView()) webView->refreshSDKCoreAndNotifyObserver(shared_from_this());
  lockQueue_->async([self = shared_from_this()] {
    self->SDKCoreUpdateHandled_ = false;
    self->lastWebViewRefreshTimestamp_ = ZUMMonotonicTimeInMilliseconds();
    auto refreshed = ZUMMakeErrorWithDescription(kZUMErrorInternalError, kRefreshCancelledText);
    for (auto& entry : std::exchange(self->pendingJavaScriptCompletionHandlers_, {})) {
      platform::DispatchQueue::main()->async(
          [completion = std::move(entry.second), refreshed] { completion(Json::object(), refreshed); });
    }
    // Requests sent to the old page are lost with it: their requesters fail now rather
    // than wait for an answer that cannot come.
    for (auto& [identifier, requester] : std::exchange(self->pendingBuildAdURLDelegates_, {})) {
      if (auto recorder = requester->adLoadActionTimeRecorder()) recorder->cancelTimingVariableWithName("rur_ios");
      std::weak_ptr<ZUMSDKCoreControllerDelegate> weak = requester;
      platform::DispatchQueue::main()->async(
          ZUMBindWeak(weak, &ZUMSDKCoreControllerDelegate::SDKCoreRequestDidFailWithError, refreshed));
    }
  });
}

void ZUMSDKCorePageController::observeSDKCoreWebViewForSDKCoreLoadRequestCompleted() {
  if (auto webView = activeSDKCoreWebView()) webView->addObserverForOneTimeNotification(shared_from_this());
}

void ZUMSDKCorePageController::didFinishLoadingSDKCoreInSDKCoreWebView(ZUMSDKCoreWebView&) {
  lockQueue_->async([self = shared_from_this()] {
    self->handleSDKCoreUpdate();
    auto webView = self->activeSDKCoreWebView_;
    const auto state = webView ? webView->state() : ZUMSDKCoreWebView::kNeverLoaded;
    if (state == ZUMSDKCoreWebView::kLoaded) {
      for (auto& requester : std::exchange(self->pendingActiveWebViewLoadDelegates_, {})) {
        self->asynchronouslyRequestURLForDelegate(requester);
      }
      self->executePendingJavaScriptBlocks();
    } else if (state == ZUMSDKCoreWebView::kFailed) {
      for (auto& requester : std::exchange(self->pendingActiveWebViewLoadDelegates_, {})) {
        std::weak_ptr<ZUMSDKCoreControllerDelegate> weak = requester;
        platform::DispatchQueue::main()->async(ZUMBindWeak(weak, &ZUMSDKCoreControllerDelegate::failedJavaScriptFile));
      }
    }
    if (webView && !webView->hasSDKCoreLoadedAtLeastOnce()) self->lastWebViewRefreshTimestamp_ = 0;
    if (!self->pendingActiveWebViewLoadDelegates_.empty()) self->observeSDKCoreWebViewForSDKCoreLoadRequestCompleted();
  });
}

void ZUMSDKCorePageController::handleSDKCoreUpdate() {
  auto webView = activeSDKCoreWebView_;
  if (SDKCoreUpdateHandled_ || !webView || webView->state() != ZUMSDKCoreWebView::kLoaded) return;
  auto saved = platform::UserDefaults::standard().objectForKey(kZUMSDKCoreStateKey);
  if (saved && saved->is_object()) {
    Json state = *saved;
    state["is_refresh"] = hasReportedSDKCoreStateAtLeastOnce_ ? 1 : 0;
    hasReportedSDKCoreStateAtLeastOnce_ = true;
    if (auto text = zum_JSONStringPretty(zum_JSONSafeDictionary(state), false, nullptr)) {
      webView->enqueueJavaScriptCommand("QYRA_reloadSavedState(" + ZUMScriptSafeJSON(*text) + ");");
    }
  }
  auto parameters = adRequestParameterJSONFromParameters(ZUMRequest::create()->threadSafeParameters());
  if (!parameters) parameters = ZUMScriptSafeJSON(Json{{"js", ZUMRequest::sdkVersion()}}.dump());
  webView->enqueueJavaScriptCommand("QYRA_getSdkConstants(" + *parameters + ");");
}

// --- Ad requests ------------------------------------------------------------------------------

void ZUMSDKCorePageController::buildAdURL(const Requester& requester) {
  if (!requester) return;
  startTiming(requester->adLoadActionTimeRecorder(), "rur_ios");
  lockQueue_->async([self = shared_from_this(), requester] {
    self->pendingActiveWebViewLoadDelegates_.push_back(requester);
    self->attemptToRefreshActiveWebViewSDKCore();
  });
}

void ZUMSDKCorePageController::asynchronouslyRequestURLForDelegate(const Requester& requester) {
  const std::string identifier = nextRequestID();
  requester->setRequestID(identifier);
  auto self = shared_from_this();
  platform::DispatchQueue::main()->async([self, requester, identifier] {
    Json parameters = requester->requestParameters();
    self->lockQueue_->async([self, requester, identifier, parameters = std::move(parameters)] {
      auto recorder = requester->adLoadActionTimeRecorder();
      if (auto eid = ZUMStringForKey(parameters, "eid"); eid && recorder) {
        std::string::size_type start = 0;
        for (;;) {
          const auto comma = eid->find(',', start);
          recorder->addExperimentID(eid->substr(start, comma - start));
          if (comma == std::string::npos) break;
          start = comma + 1;
        }
      }
      const auto argument = adRequestParameterJSONFromParameters(parameters);
      if (!argument) {
        // Nothing can be asked for it; say so rather than leave it waiting.
        std::weak_ptr<ZUMSDKCoreControllerDelegate> weak = requester;
        platform::DispatchQueue::main()->async(
            ZUMBindWeak(weak, &ZUMSDKCoreControllerDelegate::invalidJavaScriptRequest));
        return;
      }
      const char* function =
          parameters.contains("vantor-ad-url-mediation") ? "QYRA_getAdapterLessMediationAd" : "QYRA_getAd";
      self->pendingBuildAdURLDelegates_[identifier] = requester;
      if (self->activeSDKCoreWebView_) {
        self->activeSDKCoreWebView_->enqueueJavaScriptCommand(std::string(function) + "(" + *argument + ");");
      }
      platform::DispatchQueue::main()->after(
          self->SDKCoreJavaScriptCompletionBlockTimeoutInterval_, [self, identifier] {
            self->lockQueue_->async([self, identifier] {
              auto lost = self->takeRequester(identifier);
              if (!lost) return;
              if (auto lostRecorder = lost->adLoadActionTimeRecorder())
                lostRecorder->cancelTimingVariableWithName("rur_ios");
              std::weak_ptr<ZUMSDKCoreControllerDelegate> weak = lost;
              platform::DispatchQueue::main()->async([weak] {
                if (auto live = weak.lock())
                  live->SDKCoreRequestDidFailWithError(ZUMMakeErrorWithCode(kZUMErrorTimeout));
              });
            });
          });
    });
  });
}

ZUMSDKCorePageController::Requester ZUMSDKCorePageController::takeRequester(const std::string& requestID) {
  auto node = pendingBuildAdURLDelegates_.extract(requestID);
  return node ? std::move(node.mapped()) : nullptr;
}

void ZUMSDKCorePageController::SDKCoreTOLMHandlerLoadAdURLWithRequestID(ZUMSDKCoreTOLMHandler&,
                                                                        const std::string& requestID,
                                                                        const Json& parameters) {
  lockQueue_->async([self = shared_from_this(), requestID, parameters] {
    auto requester = self->takeRequester(requestID);
    if (!requester) return;
    auto recorder = requester->adLoadActionTimeRecorder();
    if (recorder) recorder->endTimingVariableWithName("rur_ios");
    std::weak_ptr<ZUMSDKCoreControllerDelegate> weak = requester;
    platform::DispatchQueue::main()->async([weak, recorder, parameters] {
      auto live = weak.lock();
      if (!live) return;
      startTiming(recorder, "nwl_ios");
      live->loadAdURLWithParameters(parameters);
    });
  });
}

void ZUMSDKCorePageController::SDKCoreTOLMHandlerLoadAdWithRequestID(ZUMSDKCoreTOLMHandler&,
                                                                     const std::string& requestID, const Json& ad) {
  lockQueue_->async([self = shared_from_this(), requestID, ad] {
    auto requester = self->takeRequester(requestID);
    if (!requester) return;
    std::weak_ptr<ZUMSDKCoreControllerDelegate> weak = requester;
    platform::DispatchQueue::main()->async([weak, ad] {
      auto live = weak.lock();
      if (!live) return;
      std::shared_ptr<ZUMAd> made;
      switch (live->requestedAdType()) {
        case 0:
          made = ZUMAd::createWithDictionary(ad);
          break;
        case 1:
          made = ZUMBannerAd::createWithDictionary(ad);
          break;
        case 2:
          made = ZUMInterstitialAd::createWithDictionary(ad);
          break;
        default:
          break;
      }
      if (!made) return live->loadAd(nullptr, std::nullopt);
      if (ZUMJSONBoolForKey(ad, "is_mediation", false, ZUMJSONStrings::Read)) {
        made->setResponseType(kZUMMediationResponseType);
        Json headers = made->responseHeaders().value_or(Json::object());
        headers["x-qyra-mediation"] = 1;
        headers["Content-Type"] = "application/json";
        made->setResponseHeaders(headers);
      }
      live->loadAd(made, made->responseHeaders());
    });
  });
}

void ZUMSDKCorePageController::SDKCoreTOLMHandlerDidReceiveInvalidAdWithRequestID(
    ZUMSDKCoreTOLMHandler&, const std::optional<std::string>& requestID, const Json& parameters) {
  std::string text = "Invalid Request.";
  if (parameters.is_object() && parameters.contains("errors")) {
    const auto& errors = parameters["errors"];
    text += " " + (errors.is_string() ? errors.get<std::string>() : errors.dump());
  }
  ZUMLogger::sharedInstance()->logPublicMessage(text);
  if (!requestID) return;
  Requester requester;
  lockQueue_->sync([&] { requester = takeRequester(*requestID); });
  if (!requester) return;
  if (auto recorder = requester->adLoadActionTimeRecorder()) recorder->cancelTimingVariableWithName("rur_ios");
  std::weak_ptr<ZUMSDKCoreControllerDelegate> weak = requester;
  platform::DispatchQueue::main()->async(ZUMBindWeak(weak, &ZUMSDKCoreControllerDelegate::invalidJavaScriptRequest));
}

// --- Script blocks ----------------------------------------------------------------------------

void ZUMSDKCorePageController::completeOnce(CompletionTable& table, const std::string& requestID,
                                            std::optional<Json> result, platform::ErrorPtr error) {
  auto node = table.extract(requestID);
  if (!node || !node.mapped()) return;
  platform::DispatchQueue::main()->async([completion = std::move(node.mapped()), result = std::move(result),
                                          error = std::move(error)] { completion(result, error); });
}

void ZUMSDKCorePageController::executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock block,
                                                                   ZUMSDKCoreCompletionBlock completion) {
  lockQueue_->async([self = shared_from_this(), block = std::move(block), completion = std::move(completion)] {
    const std::string identifier = self->nextRequestID();
    self->pendingJavaScriptBlocks_[identifier] = block;
    if (completion) {
      self->pendingJavaScriptBlockExecutionCompletionHandlers_[identifier] = completion;
      // A block whose page never becomes ready would otherwise keep its caller waiting.
      const double wait = kZUMSDKCorePageLoadTimeout + self->SDKCoreJavaScriptCompletionBlockTimeoutInterval_;
      platform::DispatchQueue::main()->after(wait, [self, identifier] {
        self->lockQueue_->async([self, identifier] {
          if (!self->pendingJavaScriptBlockExecutionCompletionHandlers_.contains(identifier)) return;
          self->pendingJavaScriptBlocks_.erase(identifier);
          self->completeOnce(self->pendingJavaScriptBlockExecutionCompletionHandlers_, identifier, Json::object(),
                             ZUMMakeErrorWithDescription(kZUMErrorTimeout, kTimedOutText));
        });
      });
    }
    self->attemptToRefreshActiveWebViewSDKCore();
  });
}

void ZUMSDKCorePageController::executePendingJavaScriptBlocks() {
  auto webView = activeSDKCoreWebView_;
  for (auto& entry : std::exchange(pendingJavaScriptBlocks_, {})) {
    const std::string identifier = entry.first;
    const auto& block = entry.second;
    std::optional<std::string> script = block ? block(identifier) : std::nullopt;
    if (script && script->empty()) script.reset();
    auto completionNode = pendingJavaScriptBlockExecutionCompletionHandlers_.extract(identifier);
    ZUMSDKCoreCompletionBlock completion = completionNode ? std::move(completionNode.mapped()) : nullptr;
    if (script) {
      if (webView) webView->enqueueJavaScriptCommand(*script);
      if (!completion) continue;
      pendingJavaScriptCompletionHandlers_[identifier] = std::move(completion);
      auto self = shared_from_this();
      platform::DispatchQueue::main()->after(SDKCoreJavaScriptCompletionBlockTimeoutInterval_, [self, identifier] {
        self->lockQueue_->async([self, identifier] {
          self->completeOnce(self->pendingJavaScriptCompletionHandlers_, identifier, Json::object(),
                             ZUMMakeErrorWithDescription(kZUMErrorTimeout, kTimedOutText));
        });
      });
    } else if (completion) {
      platform::DispatchQueue::main()->async([completion = std::move(completion)] {
        completion(Json::object(), ZUMMakeErrorWithDescription(kZUMErrorInternalError, kEmptyCommandText));
      });
    }
  }
}

void ZUMSDKCorePageController::SDKCoreTOLMHandlerDidReceiveResultActionWithRequestID(ZUMSDKCoreTOLMHandler&,
                                                                                     const std::string& requestID,
                                                                                     const Json& arguments) {
  std::optional<Json> result;
  platform::ErrorPtr error;
  if (auto text = ZUMStringForKey(arguments, "result")) result = zum_decodedJSONObjectError(*text, &error);
  if (auto fail = ZUMStringForKey(arguments, "fail"); fail && platform::stringIntegerValue(*fail) >= 1) {
    error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, ZUMStringForKey(arguments, "fail_reason"));
  }
  lockQueue_->sync([&] { completeOnce(pendingJavaScriptCompletionHandlers_, requestID, result, error); });
}

void ZUMSDKCorePageController::executeExportedJavaScriptCommand(const std::string& command,
                                                                const std::optional<Json>& parameters,
                                                                ZUMSDKCoreCompletionBlock completion) {
  Json dictionary = Json::object();
  if (parameters) dictionary["args"] = *parameters;
  const bool answered = static_cast<bool>(completion);
  // The command name is written into the script: only a plain identifier can be called.
  const bool callable = ZUMIsPageMessageName(command) && command.find_first_of("-.:") == std::string::npos;
  executeJavaScriptFromBlockWhenReady(
      [command, dictionary, answered, callable](const std::string& identifier) mutable -> std::optional<std::string> {
        if (!callable) return std::nullopt;
        if (answered) dictionary["request_id"] = identifier;
        auto text = zum_JSONStringPretty(dictionary, false, nullptr);
        if (!text) return std::nullopt;
        return command + "(" + ZUMScriptSafeJSON(*text) + ")";
      },
      std::move(completion));
}

void ZUMSDKCorePageController::postJavaScriptNotification(const std::string& name,
                                                          const std::optional<Json>& userInfo) {
  auto script = ZUMJavaScriptMessageStringForCheckedName(name, userInfo);
  if (!script) {
    ZUMLogger::sharedInstance()->logPublicMessage("SDK core notification with an unfit name not posted.");
    return;
  }
  executeJavaScriptFromBlockWhenReady([script](const std::string&) { return script; }, {});
}

// --- Other messages of the page -----------------------------------------------------------------

void ZUMSDKCorePageController::SDKCoreTOLMHandlerDidLoadSDKConstants(ZUMSDKCoreTOLMHandler&, const Json& constants) {
  std::weak_ptr<ZUMSDKCorePageController> weak = shared_from_this();
  auto targets = ZUMSDKConstantsTargets::registered();
  targets.setJavaScriptCompletionTimeout =
      ZUMBindWeak(weak, &ZUMSDKCorePageController::setSDKCoreJavaScriptCompletionBlockTimeoutInterval);
  targets.didHandleUpdate = [weak] {
    if (auto self = weak.lock()) self->lockQueue_->async([self] { self->SDKCoreUpdateHandled_ = true; });
  };
  targets.setActiveViewUnloadCacheMaxSize = [weak](std::int64_t size) {
    if (auto self = weak.lock()) self->setActiveViewUnloadCacheMaxSize(size);
  };
  targets.setUseNewWebViewsForActiveViewProcessing = [weak](bool use) {
    if (auto self = weak.lock()) self->setUseNewWebViewsForActiveViewProcessing(use);
  };
  targets.setActiveViewSamplingInterval = [weak](double seconds) {
    if (auto self = weak.lock()) self->setActiveViewSamplingInterval(seconds);
  };
  targets.webViewExperimentID = experimentID_;
  targets.controller = shared_from_this();
  ZUMApplySDKConstants(constants, targets);
}

void ZUMSDKCorePageController::SDKCoreTOLMHandlerDidReceiveSDKCoreUpdateNotification(ZUMSDKCoreTOLMHandler&) {
  lockQueue_->async([self = shared_from_this()] { self->activeViewRequestedSDKCoreReload_ = true; });
}

void ZUMSDKCorePageController::SDKCoreTOLMHandlerDidReceivePauseSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler&) {
  lockQueue_->sync([&] { refreshPaused_ = true; });
}

void ZUMSDKCorePageController::SDKCoreTOLMHandlerDidReceiveResumeSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler&) {
  lockQueue_->sync([&] { refreshPaused_ = false; });
  attemptToRefreshActiveWebViewSDKCore();
}
