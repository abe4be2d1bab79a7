// The SDK's process-wide hub: runs the two start-up batches once each, keeps the
// application configuration (persisted across launches), the session and request
// statistics, the requesters in progress, the application's identity and windows, and
// opens URLs outside the application.
//
// Made once by sharedInstance(), never destroyed. Thread-safe unless an operation says
// "main thread": state is guarded by the hub's lock, user-interface state is read on the
// main thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/ui/InterfaceOrientation.h"
#include "sdk/foundation/ZUMConfigurationDelegate.h"
#include "sdk/foundation/ZUMStatisticDictionaryDelegate.h"

namespace platform {
class DispatchQueue;
class ViewController;
class Window;
}  // namespace platform

class ZUMAd;
class ZUMConfiguration;
class ZUMContentQueue;
class ZUMScheduler;
class ZUMSlot;
class ZUMStatisticDictionary;

// Posted (no object) when the number of requesters in progress changes.
inline constexpr const char* kZUMApplicationStatisticsCurrentAdRequestCountChangedNotification =
    "ZUMApplicationStatisticsCurrentAdRequestCountChangedNotification";
// Posted (no object) when the application configuration changes.
inline constexpr const char* kZUMApplicationConfigurationChangedNotification =
    "ZUMApplicationConfigurationChangedNotification";

// The SDK's version, reported in requests and pings.
inline constexpr const char* kZUMSDKVersion = "qyra-sdk-i-v7.23.0";

// The statistics of an earlier ad, waiting to be sent with a request: the ad's own
// statistics dictionary, read when the request is built, so changes made meanwhile go too;
// or a plain dictionary, which needs no statistics object (nor its queue) of its own.
class ZUMAdStatistics {
 public:
  // The pending entry of an ad's statistics.
  static std::shared_ptr<ZUMAdStatistics> create(std::shared_ptr<ZUMStatisticDictionary> statistics);
  // Statistics holding `dictionary` (an object; anything else counts as empty).
  static std::shared_ptr<ZUMAdStatistics> create(const nlohmann::ordered_json& dictionary);
  // A copy of the statistics as they are now.
  nlohmann::ordered_json dictionary() const;
  // The ad's statistics; null for a plain dictionary.
  const std::shared_ptr<ZUMStatisticDictionary>& statistics() const { return statistics_; }
  // Who the statistics belong to: entries of one ad share it.
  const void* identity() const;

 private:
  ZUMAdStatistics(std::shared_ptr<ZUMStatisticDictionary> statistics,
                  std::shared_ptr<const nlohmann::ordered_json> dictionary);
  const std::shared_ptr<ZUMStatisticDictionary> statistics_;
  const std::shared_ptr<const nlohmann::ordered_json> dictionary_;
};

class ZUMApplication final : public ZUMConfigurationDelegate,
                             public ZUMStatisticDictionaryDelegate,
                             public std::enable_shared_from_this<ZUMApplication> {
 public:
  static std::shared_ptr<ZUMApplication> sharedInstance();
  // What happens when the SDK is loaded, before the application's main: observe the
  // platform's did-finish-launching notification, which runs the first start-up batch.
  // Idempotent; the host calls it (through ZUMMobileAds) before the application main.
  static void load();

  // --- Start-up ----------------------------------------------------------------------
  // The first batch, once per process: URL interception, static device parameters, an
  // empty temporary folder, network observation, purchase and crash reporting, the
  // additional batch unless delayed, and return-to-foreground handling. Main thread.
  void runEarlyActivities();
  // The additional batch, once per process: pinger retries, more device parameters,
  // content hashing and the interstitial pool when switched on, the rewarded ad, and a
  // settings refresh when an application identifier is stored. Main thread.
  void runAdditionalEarlyActivities();
  bool hasRunEarlyActivities() const { return ranEarly_; }
  bool hasRunAdditionalEarlyActivities() const { return ranAdditional_; }

  // --- Requests in progress ----------------------------------------------------------
  // Idempotent per requester (held by identity, not retained).
  void requesterWillBeginRequest(const void* requester);
  void requesterDidEndRequest(const void* requester);
  std::int64_t currentAdRequestCount() const;

  // --- Statistics ---------------------------------------------------------------------
  std::shared_ptr<ZUMStatisticDictionary> statistics() const { return statistics_; }
  std::shared_ptr<ZUMStatisticDictionary> nativeAdStatistics() const { return nativeAdStatistics_; }
  // The application statistics for the next request: a copy of the statistics with a new
  // "seq_num" and "currts" (wall-clock milliseconds).
  nlohmann::ordered_json nextRequestStatisticsDictionaryForSlot(const ZUMSlot* slot);
  // Takes the statistics of earlier ads that wait to be sent. An ad's statistics join
  // them whenever they change and tell the hub, their delegate (statisticDictionaryDidChange);
  // each ad's statistics wait at most once.
  std::vector<std::shared_ptr<ZUMAdStatistics>> pendingAdStatistics();
  // Adds an ad's statistics to those waiting to be sent, unless they already wait.
  // At most kMaximumPendingAdStatistics ads wait: past it the oldest is dropped, counted
  // (droppedAdStatisticsCount()) and logged once until the statistics are next taken.
  void addPendingAdStatistics(const std::shared_ptr<ZUMAdStatistics>& statistics);
  // Hands back statistics that were taken but not sent (they wait as if they were added).
  void didNotSendAdStatistics(const std::vector<std::shared_ptr<ZUMAdStatistics>>& statistics);
  static constexpr std::size_t kMaximumPendingAdStatistics = 64;
  std::uint64_t droppedAdStatisticsCount() const;
  void incrementTotalAdClickCount();
  std::int64_t totalAdClickCount() const;
  void willLeaveApplicationDueToClickOnAd(const std::shared_ptr<ZUMAd>& ad);
  std::uint64_t nextActiveViewID();
  std::string sessionIdentifier() const;
  std::string nextSequenceNumberAsString();

  // --- Configuration ------------------------------------------------------------------
  std::shared_ptr<ZUMConfiguration> configuration() const { return configuration_; }
  // Refreshes the server-side settings unless this launch already has them.
  void loadServerSideConfigurationIfNeeded();
  void refreshServerSideConfiguration();
  // The script that asks the SDK-core page for the application settings.
  std::string javaScriptForRequestingServerSideConfiguration() const;

  // --- State and switches -------------------------------------------------------------
  bool active() const { return active_; }
  bool backgroundLoadingEnabled() const { return backgroundLoadingEnabled_; }
  void setBackgroundLoadingEnabled(bool enabled) { backgroundLoadingEnabled_ = enabled; }
  // The background-loading flag and the switch "/vantor/ads/bg_reload_enabled".
  bool backgroundReloadingEnabled() const;
  bool debugModeEnabled() const { return debugModeEnabled_; }
  void setDebugModeEnabled(bool enabled) { debugModeEnabled_ = enabled; }
  std::optional<std::string> inAppPreviewCreativeToken() const;
  void setInAppPreviewCreativeToken(std::optional<std::string> token);
  bool isSplitScreenEnabled() const;

  // --- Mediation adapters -------------------------------------------------------------
  // The potential names that name adapter classes present in the process, as mediation
  // answers (ZUMStartupHooks::availableAdapterNamesInSet); none before it registers.
  std::vector<std::string> availableAdapterNames() const;
  // The potential names become the built-in adapters plus `names` (nullopt: none).
  void updateAvailableAdapterNamesWithPotentialAdapterNames(const std::optional<std::vector<std::string>>& names);

  // --- Windows and orientation (main thread unless said) -----------------------------
  std::shared_ptr<platform::Window> mainWindow() const;
  std::shared_ptr<platform::Window> placeholderWindow();
  std::shared_ptr<platform::ViewController> topViewController() const;
  std::int64_t topViewControllerOrientation() const;
  // Set by a full-screen ad that forces an orientation while it shows; nullopt clears.
  void setForcedInterfaceOrientation(std::optional<std::int64_t> orientation);
  // Any thread: whether the main window supports any orientation of `mask`.
  bool supportsOrientations(std::uint64_t mask) const;

  // --- Opening URLs (main thread) -----------------------------------------------------
  void openURL(const platform::URL& url);
  void openURL(const platform::URL& url, bool strictUniversalLink, std::function<void(bool opened)> completionHandler);

  // --- Identity -----------------------------------------------------------------------
  std::optional<std::string> mainBundleIdentifier() const { return bundleIdentifier_; }
  const std::string& UUIDString() const { return uuid_; }
  std::string version() const;
  // "appversion", "bundleid", "osversion", "rdid", "lat", "sdkversion".
  nlohmann::ordered_json parameters() const;

  // --- Content hashing -------------------------------------------------------------
  // The state of content hashing, whose driver lives in telemetry: the content-hashing
  // queue, the scheduler whose presence means hashing is on, and the content queue. All
  // absent until hashing first starts.
  std::shared_ptr<platform::DispatchQueue> serialQueue() const;
  std::shared_ptr<ZUMScheduler> scheduler() const;
  std::shared_ptr<ZUMContentQueue> contentQueue() const;
  // Installs the three when hashing is off (no scheduler); false, changing nothing, when
  // it is on. The content queue replaces the last one.
  [[nodiscard]] bool startContentHashingWith(std::shared_ptr<platform::DispatchQueue> serialQueue,
                                             std::shared_ptr<ZUMScheduler> scheduler,
                                             std::shared_ptr<ZUMContentQueue> contentQueue);
  // Clears the queue and takes the scheduler out, for the driver to stop; the content
  // queue stays, so requests keep their fingerprints. Nullptr when hashing was off.
  std::shared_ptr<ZUMScheduler> stopContentHashingAndTakeScheduler();

  // Delegates of the configuration and the statistics.
  void configurationDidChange(ZUMConfiguration& configuration) override;
  void statisticDictionaryDidChange(ZUMStatisticDictionary& statistics) override;

  ZUMApplication();
  ~ZUMApplication() override;

 private:
  void setUp();
  void emptyTemporaryFolder();
  void observeApplication();
  void applicationDidBecomeActive();
  void applicationDidEnterBackground();
  void applicationWillEnterForeground();
  void refreshSupportedOrientations();
  void startNewSession();
  void sendForegroundPingIfEnabled();
  void restoreConfiguration();

  std::shared_ptr<ZUMConfiguration> configuration_;
  std::shared_ptr<ZUMStatisticDictionary> statistics_;
  std::shared_ptr<ZUMStatisticDictionary> nativeAdStatistics_;
  std::vector<platform::NotificationCenter::Token> observers_;

  std::atomic<bool> ranEarly_{false};
  std::atomic<bool> ranAdditional_{false};
  std::atomic<bool> active_{false};
  std::atomic<bool> backgroundLoadingEnabled_{false};
  std::atomic<bool> debugModeEnabled_{false};
  std::atomic<bool> configurationUpdateNeeded_{false};
  std::atomic<std::uint64_t> supportedOrientations_{0};
  std::atomic<std::uint64_t> nextActiveViewID_{0};

  const std::optional<std::string> bundleIdentifier_;
  const std::string uuid_;

  mutable std::mutex mutex_;  // guards what follows
  std::set<const void*> requesters_;
  // Oldest first, with an index by identity so that a repeated ad is found at once.
  std::list<std::shared_ptr<ZUMAdStatistics>> pendingAdStatistics_;
  std::unordered_map<const void*, std::list<std::shared_ptr<ZUMAdStatistics>>::iterator> pendingAdStatisticsIndex_;
  std::uint64_t droppedAdStatistics_ = 0;
  bool droppedAdStatisticsLogged_ = false;
  std::vector<std::string> potentialAdapterNames_;
  std::shared_ptr<platform::DispatchQueue> contentHashingQueue_;
  std::shared_ptr<ZUMScheduler> scheduler_;
  std::shared_ptr<ZUMContentQueue> contentQueue_;
  std::optional<std::string> previewToken_;
  std::string sessionIdentifier_;
  std::uint64_t sequenceNumber_ = 0;
  std::int64_t totalAdClickCount_ = 0;
  double backgroundSince_ = -1;  // seconds since boot, -1 while in the foreground
  std::optional<std::int64_t> forcedOrientation_;
  std::shared_ptr<platform::Window> placeholderWindow_;
};
