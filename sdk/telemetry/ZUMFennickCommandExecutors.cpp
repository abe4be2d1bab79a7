#include "sdk/telemetry/ZUMFennickCommandExecutors.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/Timer.h"
#include "platform/net/URLConnection.h"
#include "platform/web/JSVirtualMachine.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMScheduledBlockTimer.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/telemetry/ZUMFennickNetworkBridge.h"

namespace {

using Json = nlohmann::ordered_json;
using platform::JSValue;

constexpr const char* kNetworkFunctionName = "ZUMFennickNetworkIOFn";

void failedToStart(const std::string& why) { ZUMLog(kZUMLogLevelDefault, "Fennick: the script did not start: " + why); }

void call(const JSValue& callback, const Json& argument) {
  if (!callback.isFunction()) {
    ZUMLog(kZUMLogLevelDebug, "Fennick: skipped a network callback that is not a function.");
    return;
  }
  callback.callWithArguments({JSValue(argument)});
}

bool containsIgnoringCase(const std::string& text, std::string_view needle) {
  auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
  return it != text.end();
}

}  // namespace

// --- Script context -----------------------------------------------------------------------

std::shared_ptr<ZUMFennickJSCoreCommandExecutor> ZUMFennickJSCoreCommandExecutor::create(const std::string& script) {
  if (!ZUMDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) {
    failedToStart("the system is older than 7.0.0.");
    return nullptr;
  }
  if (script.empty()) {
    failedToStart("it is empty.");
    return nullptr;
  }
  auto& registry = platform::ClassRegistry::shared();
  auto machineClass = registry.create<platform::JSVirtualMachine::Factory>(platform::JSVirtualMachine::kClassName);
  auto contextClass = registry.create<platform::JSContext::Factory>(platform::JSContext::kClassName);
  if (!machineClass || !contextClass) {
    failedToStart("the system has no script contexts.");
    return nullptr;
  }
  auto executor = std::shared_ptr<ZUMFennickJSCoreCommandExecutor>(new ZUMFennickJSCoreCommandExecutor());
  executor->virtualMachine_ = machineClass->create();
  executor->context_ = contextClass->create(executor->virtualMachine_);
  auto& context = executor->context_;
  if (!context) {
    failedToStart("no script context could be made.");
    return nullptr;
  }
  context->evaluateScript(script);
  if (auto exception = context->exception()) {
    failedToStart(*exception);
    return nullptr;
  }
  // The context keeps the function; the function must not keep the executor.
  std::weak_ptr<ZUMFennickJSCoreCommandExecutor> weak = executor;
  context->setObjectForKeyedSubscript(kNetworkFunctionName, [weak](const std::vector<JSValue>& arguments) {
    auto argument = [&](std::size_t i) { return i < arguments.size() ? arguments[i] : JSValue(); };
    if (auto self = weak.lock()) self->handleNetworkIO(argument(0), argument(1), argument(2));
    return JSValue();
  });
  auto init = context->objectForKeyedSubscript("QYRA_FennickInit");
  if (!init.isFunction()) {
    failedToStart("it has no QYRA_FennickInit.");
    return nullptr;
  }
  init.callWithArguments({JSValue::object({{"netIOFn", context->objectForKeyedSubscript(kNetworkFunctionName)}})});
  if (auto exception = context->exception()) {
    failedToStart(*exception);
    return nullptr;
  }
  return executor;
}

bool ZUMFennickJSCoreCommandExecutor::isLoaded() const { return context_->isValid(); }

void ZUMFennickJSCoreCommandExecutor::asynchronouslyExecuteCommands(const Json& commands) {
  auto function = context_->objectForKeyedSubscript("QYRA_Fennick");
  function.callWithArguments({JSValue(zum_JSONSafeArray(commands))});
  if (auto exception = context_->exception()) ZUMLog(kZUMLogLevelDefault, "Fennick: the script threw: " + *exception);
}

void ZUMFennickJSCoreCommandExecutor::handleNetworkIO(const JSValue& parameters, const JSValue& successCallback,
                                                      const JSValue& failureCallback) {
  auto made = ZUMFennickMakeBridgeRequest(parameters.toJSON());
  if (made.request && inFlight_->fetch_add(1) >= kMaxRequestsInFlight) {
    inFlight_->fetch_sub(1);
    made = {.request = std::nullopt, .refusal = "Too many requests are running."};
    ZUMLog(kZUMLogLevelDefault, "Fennick: refused a script's request: too many are running.");
  }
  if (!made.request) {
    // Answered on a later turn, as a sent request would be: the script is mid-call.
    auto refusal = ZUMFennickBridgeRefusal(made.refusal);
    platform::OperationQueue::main()->addOperation([failureCallback, refusal] { call(failureCallback, refusal); });
    return;
  }
  platform::URLConnection::sendAsynchronousRequest(
      std::move(*made.request), platform::OperationQueue::main(),
      [successCallback, failureCallback, inFlight = inFlight_](std::optional<platform::HTTPURLResponse> response,
                                                               std::string data, platform::ErrorPtr error) {
        inFlight->fetch_sub(1);
        bool failed = false;
        auto result = ZUMFennickBridgeResult(response, data, error, &failed);
        call(failed ? failureCallback : successCallback, result);
      },
      kMaxResponseBytes);
}

// --- Ad view ------------------------------------------------------------------------------

std::shared_ptr<ZUMFennickAdViewCommandExecutor> ZUMFennickAdViewCommandExecutor::create(
    const std::string& script, const std::optional<platform::URL>& baseURL) {
  platform::assertMainThread();
  if (script.empty()) {
    failedToStart("it is empty.");
    return nullptr;
  }
  auto executor = std::shared_ptr<ZUMFennickAdViewCommandExecutor>(new ZUMFennickAdViewCommandExecutor());
  executor->adView_ = ZUMAdView::create(platform::Rect{});
  executor->adView_->setDelegate(executor);
  executor->adView_->loadHTMLString(pageHTML(script), baseURL);
  return executor;
}

std::string ZUMFennickAdViewCommandExecutor::pageHTML(const std::string& script) {
  static constexpr std::string_view kPage =
      "<head><script type='text/javascript'>@JAVASCRIPT@</script></head><body></body>";
  static constexpr std::string_view kPlaceholder = "@JAVASCRIPT@";
  std::string body = script;
  // "</script" would end the element and "<!--" changes how the parser looks for its
  // end: such a script runs from a string literal instead, byte for byte.
  if (containsIgnoringCase(script, "</script") || script.find("<!--") != std::string::npos) {
    body = "(0, eval)(" + ZUMScriptSafeJSON(Json(script).dump(-1, ' ', false, Json::error_handler_t::replace)) + ");";
  }
  std::string page(kPage);
  page.replace(page.find(kPlaceholder), kPlaceholder.size(), body);
  return page;
}

std::optional<std::string> ZUMFennickAdViewCommandExecutor::commandScript(const Json& commands) {
  platform::ErrorPtr error;
  auto json = zum_JSONStringPretty(zum_JSONSafeArray(commands), false, &error);
  if (!json) return std::nullopt;
  return "QYRA_Fennick(" + ZUMScriptSafeJSON(*json) + ")";
}

ZUMFennickAdViewCommandExecutor::~ZUMFennickAdViewCommandExecutor() {
  // The view is the main thread's; its delegate pointer is weak and already expired.
  ZUMReleaseOnMainThread(std::move(adView_));
}

bool ZUMFennickAdViewCommandExecutor::isLoaded() const {
  std::lock_guard lock(mutex_);
  return loaded_;
}

void ZUMFennickAdViewCommandExecutor::asynchronouslyExecuteCommands(const Json& commands) {
  auto script = commandScript(commands);
  if (!script) {
    ZUMLog(kZUMLogLevelDefault, "Fennick: dropped a command list that is not JSON.");
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (!loaded_) {
      // A beacon sent before the page is ready would be lost otherwise.
      if (waiting_.size() == kMaxWaitingCommandLists) {
        waiting_.pop_front();
        ZUMLog(kZUMLogLevelDefault, "Fennick: dropped the oldest command list waiting for the page.");
      }
      waiting_.push_back(std::move(*script));
      return;
    }
  }
  ZUMRunOnMainThread([weak = weak_from_this(), script = std::move(*script)] {
    if (auto self = weak.lock()) self->run(script);
  });
}

void ZUMFennickAdViewCommandExecutor::run(const std::string& script) {
  platform::assertMainThread();
  if (adView_) adView_->executeJavaScriptAsynchronouslyFromString(script);
}

void ZUMFennickAdViewCommandExecutor::adViewDidFinishLoad(ZUMAdView&) {
  platform::assertMainThread();
  std::deque<std::string> waiting;
  {
    std::lock_guard lock(mutex_);
    if (loaded_) return;
    loaded_ = true;
    waiting.swap(waiting_);
  }
  for (const auto& script : waiting) run(script);
}

// --- Beacon timer -------------------------------------------------------------------------

std::shared_ptr<ZUMFennickTimerCommandExecutor> ZUMFennickTimerCommandExecutor::create(
    std::shared_ptr<ZUMFennickCommandExecuting> executor, double interval) {
  auto wrapper = std::shared_ptr<ZUMFennickTimerCommandExecutor>(
      new ZUMFennickTimerCommandExecutor(std::move(executor), interval));
  ZUMRunOnMainThread(ZUMBindWeak(wrapper->weak_from_this(), &ZUMFennickTimerCommandExecutor::startTimer));
  return wrapper;
}

void ZUMFennickTimerCommandExecutor::startTimer() {
  platform::assertMainThread();
  auto timer = ZUMScheduledBlockTimer(true, ZUMBindWeak(weak_from_this(), &ZUMFennickTimerCommandExecutor::sendBeacon),
                                      interval_, interval_ / 10);
  std::lock_guard lock(mutex_);
  timer_ = std::move(timer);
}

ZUMFennickTimerCommandExecutor::~ZUMFennickTimerCommandExecutor() {
  std::shared_ptr<platform::Timer> timer;
  {
    std::lock_guard lock(mutex_);
    timer.swap(timer_);
  }
  if (timer) ZUMRunOnMainThread([timer] { timer->invalidate(); });
}

bool ZUMFennickTimerCommandExecutor::isLoaded() const { return executor_ && executor_->isLoaded(); }

void ZUMFennickTimerCommandExecutor::asynchronouslyExecuteCommands(const Json& commands) {
  if (executor_) executor_->asynchronouslyExecuteCommands(commands);
}

void ZUMFennickTimerCommandExecutor::sendBeacon() {
  // Whole seconds go as integers, as the script would write them.
  const Json seconds = std::trunc(interval_) == interval_ && interval_ < 1e15
                           ? Json(static_cast<std::int64_t>(interval_))
                           : Json(interval_);
  asynchronouslyExecuteCommands(Json::array({Json{{"beacon", Json{{"time_interval_sec", seconds}}}}}));
}
