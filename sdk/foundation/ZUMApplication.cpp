#include "sdk/foundation/ZUMApplication.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <string_view>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/FileManager.h"
#include "platform/base/KeyedHash.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/Random.h"
#include "platform/base/TestingReset.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "sdk/foundation/ZUMScheduler.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/foundation/ZUMValues.h"

using json = nlohmann::ordered_json;

namespace {

// Where the application configuration survives a relaunch: {"values", "priorities"}.
constexpr const char* kPersistedConfigurationKey = "/vantor/ads/application_configuration";
// Keys of the configuration that hold for one launch only.
constexpr const char* kRefreshedSinceAppStartKey = "app_config_refreshed_since_app_start";
constexpr const char* kApplicationIdentifierKey = "app_id";
constexpr const char* kLastRequestedAdUnitKey = "last_requested_ad_unit_id";
constexpr const char* kSessionTimeoutKey = "zums:app_activity_tracker:app_session_timeout_ms";
constexpr double kDefaultSessionTimeout = 300;

const char* const kBuiltInAdapters[] = {"ZUMMAdapterVantorMorvaneAds", "ZUMMAdapterCustomEvents", "ZUMMAdapterHTML",
                                        "ZUMMAdURLAdapter"};

std::optional<std::string> nonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

// --- ZUMAdStatistics ------------------------------------------------------------------

ZUMAdStatistics::ZUMAdStatistics(std::shared_ptr<ZUMStatisticDictionary> statistics,
                                 std::shared_ptr<const json> dictionary)
    : statistics_(std::move(statistics)), dictionary_(std::move(dictionary)) {}

std::shared_ptr<ZUMAdStatistics> ZUMAdStatistics::create(std::shared_ptr<ZUMStatisticDictionary> statistics) {
  if (!statistics) return nullptr;
  return std::shared_ptr<ZUMAdStatistics>(new ZUMAdStatistics(std::move(statistics), nullptr));
}

std::shared_ptr<ZUMAdStatistics> ZUMAdStatistics::create(const json& dictionary) {
  auto copy = std::make_shared<const json>(dictionary.is_object() ? dictionary : json::object());
  return std::shared_ptr<ZUMAdStatistics>(new ZUMAdStatistics(nullptr, std::move(copy)));
}

json ZUMAdStatistics::dictionary() const { return statistics_ ? statistics_->dictionary() : *dictionary_; }

const void* ZUMAdStatistics::identity() const {
  return statistics_ ? static_cast<const void*>(statistics_.get()) : static_cast<const void*>(this);
}

// --- The hub --------------------------------------------------------------------------

ZUMApplication::ZUMApplication()
    : configuration_(ZUMConfiguration::create()),
      bundleIdentifier_(nonEmpty(platform::Bundle::main().bundleIdentifier())),
      uuid_(platform::Random::uuidString()),
      sessionIdentifier_(platform::Random::uuidString()) {}

ZUMApplication::~ZUMApplication() = default;

std::shared_ptr<ZUMApplication> ZUMApplication::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMApplication>([] {
    auto hub = std::make_shared<ZUMApplication>();
    hub->setUp();
    return hub;
  });
  return shared->get();
}

void ZUMApplication::setUp() {
  ZUMSetSystemVersionProvider([] { return ZUMDevice::sharedInstance()->systemVersion(); });
  auto self = shared_from_this();
  statistics_ = ZUMStatisticDictionary::create(self);
  nativeAdStatistics_ = ZUMStatisticDictionary::create();
  restoreConfiguration();
  configuration_->setDelegate(self);
  updateAvailableAdapterNamesWithPotentialAdapterNames(std::nullopt);
  active_ = platform::Application::shared().isActive();
  observeApplication();
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMApplication::refreshSupportedOrientations));
}

void ZUMApplication::load() {
  // Kept for the life of the process, like the hub itself; tests drop it with the hub.
  static auto* observer = new platform::ResettableShared<platform::NotificationCenter::Token>([] {
    auto& center = platform::NotificationCenter::defaultCenter();
    return std::make_shared<platform::NotificationCenter::Token>(center.addObserver(
        platform::kApplicationDidFinishLaunchingNotification, nullptr, platform::OperationQueue::main(),
        [](const platform::Notification&) { sharedInstance()->runEarlyActivities(); }));
  });
  observer->get();
}

void ZUMApplication::observeApplication() {
  auto& center = platform::NotificationCenter::defaultCenter();
  auto main = platform::OperationQueue::main();
  std::weak_ptr<ZUMApplication> weak = weak_from_this();
  auto on = [&](const char* name, std::function<void(ZUMApplication&)> handler) {
    observers_.push_back(center.addObserver(name, nullptr, main, [weak, handler](const platform::Notification&) {
      if (auto hub = weak.lock()) handler(*hub);
    }));
  };
  on(platform::kApplicationDidBecomeActiveNotification, [](ZUMApplication& hub) {
    hub.active_ = true;
    hub.refreshSupportedOrientations();
  });
  on(platform::kApplicationWillResignActiveNotification, [](ZUMApplication& hub) { hub.active_ = false; });
  on(platform::kApplicationDidEnterBackgroundNotification, [](ZUMApplication& hub) {
    hub.active_ = false;
    std::lock_guard lock(hub.mutex_);
    hub.backgroundSince_ = ZUMTimeIntervalSinceBoot();
  });
  on(platform::kApplicationDidChangeStatusBarOrientationNotification,
     [](ZUMApplication& hub) { hub.refreshSupportedOrientations(); });
}

// --- Start-up -------------------------------------------------------------------------

void ZUMApplication::runEarlyActivities() {
  platform::assertMainThread();
  if (ranEarly_.exchange(true)) return;
  const ZUMStartupHooks hooks = ZUMCurrentStartupHooks();
  if (hooks.registerURLInterception) hooks.registerURLInterception();
  ZUMDevice::sharedInstance();
  emptyTemporaryFolder();
  ZUMNetwork::sharedInstance();
  if (hooks.enableInAppPurchaseReporting) hooks.enableInAppPurchaseReporting();
  if (hooks.installCrashReporter) hooks.installCrashReporter();
  // The host may delay the additional batch until it configures the SDK or loads its
  // first ad; so may the server, through the "init_delay" flag of the last launch.
  const bool delayed = platform::Bundle::main().boolForInfoDictionaryKey("ZUMDelayEarlyActivities").value_or(false) ||
                       ZUMBoolCacheValueForKey("init_delay");
  if (!delayed) runAdditionalEarlyActivities();
  auto main = platform::OperationQueue::main();
  std::weak_ptr<ZUMApplication> weak = weak_from_this();
  observers_.push_back(platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationWillEnterForegroundNotification, nullptr, main,
      ZUMBindWeak(weak, &ZUMApplication::applicationWillEnterForeground)));
}

void ZUMApplication::runAdditionalEarlyActivities() {
  platform::assertMainThread();
  if (ranAdditional_.exchange(true)) return;
  const ZUMStartupHooks hooks = ZUMCurrentStartupHooks();
  if (hooks.startPingerRetrySchedule) hooks.startPingerRetrySchedule();
  ZUMDevice::sharedInstance()->updateDynamicParameters();
  if (hooks.startContentHashing && ZUMUserDefaults::boolForKey("/vantor/ads/content_url_enabled").value_or(false)) {
    hooks.startContentHashing();
  }
  if (hooks.warmInterstitialPool &&
      ZUMUserDefaults::boolForKey("/vantor/ads/zums:interstitial_ad_pool:enabled").value_or(false)) {
    hooks.warmInterstitialPool();
  }
  if (hooks.createRewardedAd) hooks.createRewardedAd();
  if (configuration_->objectForKey(kApplicationIdentifierKey)) refreshServerSideConfiguration();
}

void ZUMApplication::emptyTemporaryFolder() {
  const auto folder = platform::FileManager::temporaryDirectory() / "MorvaneTemp";
  platform::ErrorPtr error;
  if (platform::FileManager::exists(folder) && !platform::FileManager::removeItem(folder, &error)) {
    ZUMLog(1, "Failed to empty the temporary folder: " + (error ? error->localizedDescription() : folder.string()));
  }
}

void ZUMApplication::applicationWillEnterForeground() {
  double since;
  {
    std::lock_guard lock(mutex_);
    since = std::exchange(backgroundSince_, -1);
  }
  double timeout = kDefaultSessionTimeout;
  if (auto stored = platform::UserDefaults::standard().objectForKey(kSessionTimeoutKey)) {
    if (auto ms = ZUMJSONDouble(*stored); ms && *ms >= 0) timeout = *ms / 1000;
  }
  if (since >= 0 && ZUMTimeIntervalSinceBoot() - since >= timeout) startNewSession();
  sendForegroundPingIfEnabled();
}

void ZUMApplication::startNewSession() {
  std::lock_guard lock(mutex_);
  sessionIdentifier_ = platform::Random::uuidString();
  sequenceNumber_ = 0;
}

void ZUMApplication::sendForegroundPingIfEnabled() {
  if (!ZUMUserDefaults::boolForKey("/vantor/ads/foreground_ping_enabled").value_or(false)) return;
  auto urlString = ZUMUserDefaults::stringForKey("/vantor/ads/foreground_ping_url");
  const auto hooks = ZUMCurrentStartupHooks();
  if (!urlString || urlString->empty() || !hooks.sendForegroundPing) return;
  double delay = ZUMUserDefaults::doubleForKey("/vantor/ads/foreground_ping_delay").value_or(0);
  if (!std::isfinite(delay) || delay < 0) delay = 0;
  const std::string url = *urlString;
  auto send = hooks.sendForegroundPing;
  platform::DispatchQueue::main()->after(std::min(delay, 24.0 * 3600), [send, url] {
    // The request signal of the moment the ping leaves, as an ad request carries it.
    std::string signed_ = url;
    if (auto signal = ZUMRDIIMSignalParameters()) {
      if (auto parsed = platform::URL::fromString(url)) {
        if (auto withSignal = ZUMURLByAppendingQueryParameters(*parsed, *signal))
          signed_ = withSignal->absoluteString();
      }
    }
    send(signed_);
  });
}

// --- Requests in progress -------------------------------------------------------------

void ZUMApplication::requesterWillBeginRequest(const void* requester) {
  if (!requester) return;
  bool added;
  {
    std::lock_guard lock(mutex_);
    added = requesters_.insert(requester).second;
  }
  if (!added) return;
  statistics_->incrementNumberForKey("crqc", true);
  platform::NotificationCenter::defaultCenter().post(kZUMApplicationStatisticsCurrentAdRequestCountChangedNotification);
}

void ZUMApplication::requesterDidEndRequest(const void* requester) {
  bool removed;
  {
    std::lock_guard lock(mutex_);
    removed = requesters_.erase(requester) > 0;
  }
  if (removed) {
    platform::NotificationCenter::defaultCenter().post(
        kZUMApplicationStatisticsCurrentAdRequestCountChangedNotification);
  }
}

std::int64_t ZUMApplication::currentAdRequestCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::int64_t>(requesters_.size());
}

// --- Statistics -----------------------------------------------------------------------

json ZUMApplication::nextRequestStatisticsDictionaryForSlot(const ZUMSlot*) {
  statistics_->incrementNumberForKey("seq_num", false);
  json result = statistics_->dictionary();
  if (!result.is_object()) result = json::object();
  const double wall = platform::clock().wallNow() * 1000;
  result["currts"] = std::isfinite(wall) ? static_cast<std::int64_t>(wall) : 0;
  return result;
}

std::vector<std::shared_ptr<ZUMAdStatistics>> ZUMApplication::pendingAdStatistics() {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<ZUMAdStatistics>> taken(std::make_move_iterator(pendingAdStatistics_.begin()),
                                                      std::make_move_iterator(pendingAdStatistics_.end()));
  pendingAdStatistics_.clear();
  pendingAdStatisticsIndex_.clear();
  droppedAdStatisticsLogged_ = false;
  return taken;
}

std::uint64_t ZUMApplication::droppedAdStatisticsCount() const {
  std::lock_guard lock(mutex_);
  return droppedAdStatistics_;
}

void ZUMApplication::addPendingAdStatistics(const std::shared_ptr<ZUMAdStatistics>& statistics) {
  didNotSendAdStatistics({statistics});
}

void ZUMApplication::didNotSendAdStatistics(const std::vector<std::shared_ptr<ZUMAdStatistics>>& statistics) {
  std::lock_guard lock(mutex_);
  for (const auto& entry : statistics) {
    // One entry per ad's statistics: a set, as the statistics themselves are one object.
    if (!entry || pendingAdStatisticsIndex_.count(entry->identity())) continue;
    pendingAdStatisticsIndex_.emplace(entry->identity(),
                                      pendingAdStatistics_.insert(pendingAdStatistics_.end(), entry));
    if (pendingAdStatistics_.size() <= kMaximumPendingAdStatistics) continue;
    // Ads loaded without a request that would carry them (a direct ad URL) must not
    // pile up: the oldest goes.
    pendingAdStatisticsIndex_.erase(pendingAdStatistics_.front()->identity());
    pendingAdStatistics_.pop_front();
    ++droppedAdStatistics_;
    if (!std::exchange(droppedAdStatisticsLogged_, true)) {
      ZUMLog(kZUMLogLevelDefault, "Dropped the statistics of an earlier ad: at most " +
                                      std::to_string(kMaximumPendingAdStatistics) + " wait for a request (" +
                                      std::to_string(droppedAdStatistics_) + " dropped in all).");
    }
  }
}

void ZUMApplication::incrementTotalAdClickCount() {
  std::lock_guard lock(mutex_);
  ++totalAdClickCount_;
}

std::int64_t ZUMApplication::totalAdClickCount() const {
  std::lock_guard lock(mutex_);
  return totalAdClickCount_;
}

void ZUMApplication::willLeaveApplicationDueToClickOnAd(const std::shared_ptr<ZUMAd>&) {
  ZUMLog(1, "Leaving the application for a click on an ad.");
}

std::uint64_t ZUMApplication::nextActiveViewID() { return ++nextActiveViewID_; }

std::string ZUMApplication::sessionIdentifier() const {
  std::lock_guard lock(mutex_);
  return sessionIdentifier_;
}

std::string ZUMApplication::nextSequenceNumberAsString() {
  std::lock_guard lock(mutex_);
  return std::to_string(++sequenceNumber_);
}

void ZUMApplication::statisticDictionaryDidChange(ZUMStatisticDictionary& statistics) {
  // The hub is also the delegate of its own statistics, which travel as "app" instead.
  if (&statistics == statistics_.get() || &statistics == nativeAdStatistics_.get()) return;
  // Any other statistics telling the hub are an ad's: they wait for the next request.
  addPendingAdStatistics(ZUMAdStatistics::create(statistics.shared_from_this()));
}

// --- Configuration --------------------------------------------------------------------

void ZUMApplication::restoreConfiguration() {
  auto stored = platform::UserDefaults::standard().dictionaryForKey(kPersistedConfigurationKey);
  if (!stored) return;
  const json* values = ZUMJSONObjectForKey(*stored, "values");
  const json* priorities = ZUMJSONObjectForKey(*stored, "priorities");
  if (!values) return;
  // Each key's priority found through a table, not a search of the stored priorities; its
  // hash keyed, as a page chose the keys.
  std::unordered_map<std::string_view, const json*, platform::KeyedHash> priorityOf;
  if (priorities) {
    for (const auto& [key, priority] : priorities->items()) priorityOf.emplace(key, &priority);
  }
  // One merge per priority: a relaunch restores the configuration in a few writes. The
  // stored keys are distinct, so each goes at the end of its merge with no look-up.
  std::map<ZUMConfiguration::Priority, json> byPriority;
  for (const auto& [key, value] : values->items()) {
    if (key == kRefreshedSinceAppStartKey) continue;
    ZUMConfiguration::Priority priority = ZUMConfiguration::kSDKPriority;
    if (auto stored = priorityOf.find(key); stored != priorityOf.end()) {
      priority = ZUMJSONInteger(*stored->second).value_or(priority);
    }
    auto& merge = byPriority.try_emplace(priority, json::object()).first->second;
    merge.get_ref<json::object_t&>().emplace_back(key, value);
  }
  for (const auto& [priority, entries] : byPriority) configuration_->addEntriesFromDictionary(entries, priority);
}

void ZUMApplication::configurationDidChange(ZUMConfiguration& configuration) {
  // On the configuration's queue, where reading it does not block.
  json values = configuration.dictionary();
  json priorities = json::object();
  auto& members = priorities.get_ref<json::object_t&>();  // distinct keys, each put at the end
  for (const auto& [key, value] : values.items()) {
    (void)value;
    if (auto p = configuration.priorityForKey(key)) members.emplace_back(key, *p);
  }
  // The page may write the flag with any type; only true counts.
  if (auto flag = values.find(kRefreshedSinceAppStartKey); flag != values.end() && *flag == true) {
    configurationUpdateNeeded_ = false;
  }
  // A value the defaults cannot hold (a null from the page) leaves the last stored
  // configuration for the next launch.
  if (!platform::UserDefaults::standard().setObject(json{{"values", values}, {"priorities", priorities}},
                                                    kPersistedConfigurationKey)) {
    ZUMLog(kZUMLogLevelDefault, "Could not store the configuration for the next launch.");
  }
  platform::NotificationCenter::defaultCenter().post(kZUMApplicationConfigurationChangedNotification);
}

void ZUMApplication::loadServerSideConfigurationIfNeeded() {
  auto refreshed = configuration_->objectForKey(kRefreshedSinceAppStartKey);
  if ((refreshed && *refreshed == true) || configurationUpdateNeeded_) return;
  refreshServerSideConfiguration();
}

void ZUMApplication::refreshServerSideConfiguration() {
  configurationUpdateNeeded_ = true;
  const auto hooks = ZUMCurrentStartupHooks();
  if (!hooks.executeSDKCoreScript) return;
  std::weak_ptr<ZUMApplication> weak = weak_from_this();
  hooks.executeSDKCoreScript([weak]() -> std::string {
    auto hub = weak.lock();
    return hub ? hub->javaScriptForRequestingServerSideConfiguration() : std::string();
  });
}

std::string ZUMApplication::javaScriptForRequestingServerSideConfiguration() const {
  json arguments = json::object();
  auto stringValue = [&](const char* key) -> json {
    auto value = configuration_->objectForKey(key);
    return value && value->is_string() ? *value : json("");
  };
  arguments["app_id"] = stringValue(kApplicationIdentifierKey);
  arguments["ad_unit_id"] = stringValue(kLastRequestedAdUnitKey);
  arguments["pn"] = bundleIdentifier_.value_or("");
  auto refreshed = configuration_->objectForKey(kRefreshedSinceAppStartKey);
  arguments["is_init"] = ZUMNumberWithBool(!(refreshed && *refreshed == true));
  arguments["sdk_version"] = kZUMSDKVersion;
  const std::string payload = ZUMScriptSafeJSON(zum_JSONStringPretty(arguments, false, nullptr).value_or("{}"));
  return "setTimeout(function(){QYRA_fetchAppSettings(" + payload + ");}, 1);";
}

// --- State and switches ---------------------------------------------------------------

bool ZUMApplication::backgroundReloadingEnabled() const {
  return backgroundLoadingEnabled_ && ZUMUserDefaults::boolForKey("/vantor/ads/bg_reload_enabled").value_or(false);
}

std::optional<std::string> ZUMApplication::inAppPreviewCreativeToken() const {
  std::lock_guard lock(mutex_);
  return previewToken_;
}

void ZUMApplication::setInAppPreviewCreativeToken(std::optional<std::string> token) {
  std::lock_guard lock(mutex_);
  previewToken_ = std::move(token);
}

bool ZUMApplication::isSplitScreenEnabled() const {
  return ZUMUserDefaults::boolForKey("/vantor/ads/application_supports_split_screen").value_or(false);
}

// --- Mediation adapters ---------------------------------------------------------------

std::vector<std::string> ZUMApplication::availableAdapterNames() const {
  std::vector<std::string> potential;
  {
    std::lock_guard lock(mutex_);
    potential = potentialAdapterNames_;
  }
  // Asked at each read: mediation may register its adapters after the hub is made.
  const auto inSet = ZUMCurrentStartupHooks().availableAdapterNamesInSet;
  if (!inSet) return {};
  const std::vector<std::string> adapters = inSet(potential);
  std::vector<std::string> available;
  for (const auto& name : potential) {
    if (std::find(adapters.begin(), adapters.end(), name) != adapters.end()) available.push_back(name);
  }
  return available;
}

void ZUMApplication::updateAvailableAdapterNamesWithPotentialAdapterNames(
    const std::optional<std::vector<std::string>>& names) {
  std::vector<std::string> potential(std::begin(kBuiltInAdapters), std::end(kBuiltInAdapters));
  if (names) {
    for (const auto& name : *names) {
      if (std::find(potential.begin(), potential.end(), name) == potential.end()) potential.push_back(name);
    }
  }
  std::lock_guard lock(mutex_);
  potentialAdapterNames_ = std::move(potential);
}

// --- Content hashing ------------------------------------------------------------------

std::shared_ptr<platform::DispatchQueue> ZUMApplication::serialQueue() const {
  std::lock_guard lock(mutex_);
  return contentHashingQueue_;
}

std::shared_ptr<ZUMScheduler> ZUMApplication::scheduler() const {
  std::lock_guard lock(mutex_);
  return scheduler_;
}

std::shared_ptr<ZUMContentQueue> ZUMApplication::contentQueue() const {
  std::lock_guard lock(mutex_);
  return contentQueue_;
}

bool ZUMApplication::startContentHashingWith(std::shared_ptr<platform::DispatchQueue> serialQueue,
                                             std::shared_ptr<ZUMScheduler> scheduler,
                                             std::shared_ptr<ZUMContentQueue> contentQueue) {
  if (!scheduler) return false;
  std::lock_guard lock(mutex_);
  if (scheduler_) return false;
  contentHashingQueue_ = std::move(serialQueue);
  scheduler_ = std::move(scheduler);
  contentQueue_ = std::move(contentQueue);
  return true;
}

std::shared_ptr<ZUMScheduler> ZUMApplication::stopContentHashingAndTakeScheduler() {
  std::lock_guard lock(mutex_);
  contentHashingQueue_.reset();
  return std::exchange(scheduler_, nullptr);
}

// --- Windows and orientation ----------------------------------------------------------

std::shared_ptr<platform::Window> ZUMApplication::mainWindow() const {
  auto& app = platform::Application::shared();
  if (auto key = app.keyWindow()) return key;
  if (auto delegate = app.delegate()) return delegate->window();
  return nullptr;
}

std::shared_ptr<platform::Window> ZUMApplication::placeholderWindow() {
  platform::assertMainThread();
  std::lock_guard lock(mutex_);
  if (!placeholderWindow_) {
    // Off screen, never key: views parked here stay in a window and keep running.
    placeholderWindow_ = platform::Window::create(platform::Rect{{-10000, -10000}, {1, 1}});
    placeholderWindow_->setHidden(false);
  }
  return placeholderWindow_;
}

std::shared_ptr<platform::ViewController> ZUMApplication::topViewController() const {
  auto window = mainWindow();
  auto controller = window ? window->rootViewController() : nullptr;
  while (controller && controller->presentedViewController()) controller = controller->presentedViewController();
  return controller;
}

std::int64_t ZUMApplication::topViewControllerOrientation() const {
  {
    std::lock_guard lock(mutex_);
    if (forcedOrientation_) return *forcedOrientation_;
  }
  return static_cast<std::int64_t>(platform::Application::shared().statusBarOrientation());
}

void ZUMApplication::setForcedInterfaceOrientation(std::optional<std::int64_t> orientation) {
  platform::assertMainThread();
  std::lock_guard lock(mutex_);
  forcedOrientation_ = orientation;
}

void ZUMApplication::refreshSupportedOrientations() {
  auto window = mainWindow();
  supportedOrientations_ = platform::Application::shared().supportedInterfaceOrientationsForWindow(window);
}

bool ZUMApplication::supportsOrientations(std::uint64_t mask) const {
  return (supportedOrientations_.load() & mask) != 0;
}

// --- Opening URLs ---------------------------------------------------------------------

void ZUMApplication::openURL(const platform::URL& url) {
  platform::assertMainThread();
  platform::Application::shared().openURL(url, json::object(), nullptr);
}

void ZUMApplication::openURL(const platform::URL& url, bool strictUniversalLink,
                             std::function<void(bool opened)> completionHandler) {
  platform::assertMainThread();
  json options = json::object();
  const std::string scheme = url.scheme() ? *url.scheme() : std::string();
  const bool web =
      platform::equalsIgnoringASCIICase(scheme, "http") || platform::equalsIgnoringASCIICase(scheme, "https");
  if (strictUniversalLink && web) {
    auto name = ZUMUserDefaults::stringForKey("/vantor/ads/strict_universal_links_option_name");
    options[name && !name->empty() ? *name : std::string(platform::kApplicationOpenURLOptionUniversalLinksOnly)] = true;
  }
  platform::Application::shared().openURL(url, options, std::move(completionHandler));
}

// --- Identity -------------------------------------------------------------------------

std::string ZUMApplication::version() const {
  return platform::Bundle::main().stringForInfoDictionaryKey("CFBundleVersion").value_or("");
}

json ZUMApplication::parameters() const {
  json parameters = json::object();
  auto& bundle = platform::Bundle::main();
  if (auto appVersion = bundle.stringForInfoDictionaryKey("CFBundleShortVersionString")) {
    parameters["appversion"] = *appVersion;
  }
  if (bundleIdentifier_) parameters["bundleid"] = *bundleIdentifier_;
  auto device = ZUMDevice::sharedInstance();
  parameters["osversion"] = device->systemVersion();
  if (auto rdid = device->rawDeviceIdentifier()) parameters["rdid"] = *rdid;
  parameters["lat"] = device->limitAdTrackingString();
  parameters["sdkversion"] = kZUMSDKVersion;
  return parameters;
}
