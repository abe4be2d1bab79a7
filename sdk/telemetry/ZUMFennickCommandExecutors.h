// The engines that run the Fennick script, and the wrapper that adds the periodic
// beacon. An engine that cannot start is never made (create() gives nullptr), so the
// service keeps no executor and tries again at the next constants update.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/base/URL.h"
#include "platform/web/JSContext.h"
#include "sdk/rendering/ZUMAdViewDelegateProtocol.h"
#include "sdk/telemetry/ZUMFennickCommandExecuting.h"

namespace platform {
class Timer;
}
class ZUMAdView;

// The script in a script context of the platform, with "ZUMFennickNetworkIOFn" as its
// HTTP transport. Commands run on the caller's thread (the context serialises calls);
// network answers reach the script on the main thread.
class ZUMFennickJSCoreCommandExecutor final : public ZUMFennickCommandExecuting,
                                              public std::enable_shared_from_this<ZUMFennickJSCoreCommandExecutor> {
 public:
  // nullptr below system version 7.0.0, for an empty script, without the script-context
  // classes, or when the script throws, has no "QYRA_FennickInit" or its init throws.
  static std::shared_ptr<ZUMFennickJSCoreCommandExecutor> create(const std::string& script);

  // Whether the context still runs (its process may have died).
  bool isLoaded() const override;
  void asynchronouslyExecuteCommands(const nlohmann::ordered_json& commands) override;

  // At most this many of the script's requests run at once; more are refused.
  static constexpr int kMaxRequestsInFlight = 16;
  // The most of one answer handed to the script; a longer body fails its request.
  static constexpr std::size_t kMaxResponseBytes = 1u << 20;

  // The native function's work: sends the script's request, or refuses it.
  void handleNetworkIO(const platform::JSValue& parameters, const platform::JSValue& successCallback,
                       const platform::JSValue& failureCallback);

  const std::shared_ptr<platform::JSContext>& context() const { return context_; }
  int requestsInFlight() const { return *inFlight_; }

 private:
  ZUMFennickJSCoreCommandExecutor() = default;
  // Shared with the requests' completions, which may outlive the executor.
  std::shared_ptr<std::atomic<int>> inFlight_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<platform::JSVirtualMachine> virtualMachine_;
  std::shared_ptr<platform::JSContext> context_;
};

// The script in a hidden ad view's page. Command lists that arrive before the page has
// loaded wait for it (at most kMaxWaitingCommandLists, the oldest dropped first).
// create() on the main thread; the rest on any thread.
class ZUMFennickAdViewCommandExecutor final : public ZUMFennickCommandExecuting,
                                              public ZUMAdViewDelegateProtocol,
                                              public std::enable_shared_from_this<ZUMFennickAdViewCommandExecutor> {
 public:
  static constexpr std::size_t kMaxWaitingCommandLists = 100;

  // nullptr for an empty script.
  static std::shared_ptr<ZUMFennickAdViewCommandExecutor> create(const std::string& script,
                                                                 const std::optional<platform::URL>& baseURL);
  // The page that holds the script: the template with the script spliced in literally;
  // a script that would end its element early runs through an eval of its text.
  static std::string pageHTML(const std::string& script);
  // The script text that hands `commands` to the page; std::nullopt when the list
  // cannot be serialised.
  static std::optional<std::string> commandScript(const nlohmann::ordered_json& commands);
  ~ZUMFennickAdViewCommandExecutor() override;

  bool isLoaded() const override;
  void asynchronouslyExecuteCommands(const nlohmann::ordered_json& commands) override;
  void adViewDidFinishLoad(ZUMAdView& adView) override;

  const std::shared_ptr<ZUMAdView>& adView() const { return adView_; }

 private:
  ZUMFennickAdViewCommandExecutor() = default;
  void run(const std::string& script);  // main thread

  std::shared_ptr<ZUMAdView> adView_;
  mutable std::mutex mutex_;
  bool loaded_ = false;
  std::deque<std::string> waiting_;
};

// Forwards to the wrapped executor and sends it [{"beacon": {"time_interval_sec": N}}]
// every `interval` seconds from a main-loop timer. Any thread.
class ZUMFennickTimerCommandExecutor final : public ZUMFennickCommandExecuting,
                                             public std::enable_shared_from_this<ZUMFennickTimerCommandExecutor> {
 public:
  static std::shared_ptr<ZUMFennickTimerCommandExecutor> create(std::shared_ptr<ZUMFennickCommandExecuting> executor,
                                                                double interval);
  ~ZUMFennickTimerCommandExecutor() override;

  bool isLoaded() const override;
  void asynchronouslyExecuteCommands(const nlohmann::ordered_json& commands) override;
  void sendBeacon();

  const std::shared_ptr<ZUMFennickCommandExecuting>& executor() const { return executor_; }
  double beaconTimeInterval() const { return interval_; }

 private:
  ZUMFennickTimerCommandExecutor(std::shared_ptr<ZUMFennickCommandExecuting> executor, double interval)
      : executor_(std::move(executor)), interval_(interval) {}
  void startTimer();  // main thread

  const std::shared_ptr<ZUMFennickCommandExecuting> executor_;
  const double interval_;
  std::mutex mutex_;
  std::shared_ptr<platform::Timer> timer_;
};
