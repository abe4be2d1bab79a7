#include "sdk/video/ZUMVideoPlayerImpl.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/JSONObjectIndex.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/media/AudioMix.h"
#include "platform/media/PlayerItem.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/include/ZUMMobileAds.h"
#include "sdk/include/ZUMSlotDelegate.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMTCacheURL.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"
#include "sdk/video/ZUMAudioVideoManagerImpl.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoLoader.h"
#include "sdk/video/ZUMVideoPlayerDelegate.h"

namespace {

using Json = nlohmann::ordered_json;

// Seeks are made at this timescale (nanoseconds).
constexpr std::int32_t kSeekTimescale = 1'000'000'000;

// Seconds as the page reads them: "%f"; a time the platform does not know is 0.
std::string secondsString(double seconds) {
  char text[400];
  std::snprintf(text, sizeof text, "%f", std::isfinite(seconds) ? seconds : 0.0);
  return text;
}

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

std::shared_ptr<ZUMVideoPlayerImpl> ZUMVideoPlayerImpl::create(const std::shared_ptr<ZUMAdView>& adView) {
  platform::assertMainThread();
  auto player = std::shared_ptr<ZUMVideoPlayerImpl>(new ZUMVideoPlayerImpl(adView));
  player->observePlayer();
  return player;
}

ZUMVideoPlayerImpl::ZUMVideoPlayerImpl(const std::shared_ptr<ZUMAdView>& adView)
    : adView_(adView),
      reportingDisabled_(reportingDisabledFor(adView)),
      configuration_(ZUMVideoConfigurationImpl::create()),
      bufferingConfiguration_(std::static_pointer_cast<ZUMVideoConfigurationImpl>(configuration_)) {}

bool ZUMVideoPlayerImpl::reportingDisabledFor(const std::shared_ptr<ZUMAdView>& adView) {
  if (ZUMUserDefaults::boolForKey(std::string(kZUMUserDefaultsPrefix) + kReportingDisabledName).value_or(false))
    return true;
  if (!ZUMDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) return true;
  const auto opener = adView ? adView->opener() : nullptr;
  const auto slot = opener ? opener->slot() : nullptr;
  const auto owner = slot ? slot->slotDelegate() : nullptr;
  if (!owner) return false;
  return owner
      ->slotShouldDisableVideoEventReportToAudioVideoManager(*slot, ZUMMobileAds::sharedInstance()->audioVideoManager())
      .value_or(false);
}

ZUMVideoPlayerImpl::~ZUMVideoPlayerImpl() {
  for (const auto& token : periodicTimeObservers_) player_->removeTimeObserver(token);
  report(&ZUMAudioVideoManagerImpl::playerDidPauseVideo);
  if (std::exchange(isBuffering_, false)) {
    platform::NotificationCenter::defaultCenter().post(
        platform::Notification::fromEndingObject(kZUMVideoPlayerDidStopBufferingNotification, this, weak_from_this()));
  }
  stopObservingPlayer();
  stopObservingLoadedTimeRanges();
  stopObservingItemEnd();
  if (videoLoader_) {
    videoLoader_->setDelegate(nullptr);
    videoLoader_->cancel();
  }
  ZUMLoggingHierarchy::sharedInstance()->removeObject(weak_from_this());
}

// --- Sources ---------------------------------------------------------------------------------

void ZUMVideoPlayerImpl::setSourceURL(const std::optional<platform::URL>& url,
                                      const std::shared_ptr<ZUMResourceCache>& resourceCache,
                                      const std::shared_ptr<ZUMVideoConfiguration>& configuration) {
  platform::assertMainThread();
  resetLogger();
  if (auto dictionary = urlDictionary(url)) logEvent("loading_started", *dictionary);
  if (auto old = std::exchange(videoLoader_, nullptr)) {
    old->setDelegate(nullptr);
    old->cancel();
  }
  stopObservingItemEnd();
  willStartBuffering();
  const auto adView = adView_.lock();
  if (adView && url)
    ZUMAdURLStash::sharedInstance()->adViewWillLoadURLRequest(adView->stashKey(), platform::URLRequest(*url));
  sourceURL_ = url;
  configuration_ = configuration;
  bufferingConfiguration_ = std::dynamic_pointer_cast<ZUMVideoConfigurationImpl>(configuration);
  hasPostedCanPlayThrough_ = false;
  auto loader = ZUMVideoLoader::create(shared_from_this());
  videoLoader_ = loader;
  loader->setDelegate(shared_from_this());
  loader->loadURL(url, resourceCache, configuration);
}

void ZUMVideoPlayerImpl::videoLoaderDidStartedLoadingURL(ZUMVideoLoader& loader, const std::optional<platform::URL>&) {
  platform::assertMainThread();
  if (&loader != videoLoader_.get()) return;
  // Set for every source: one whose configuration turned the platform's wait off must
  // not leave a later source that wants it with no buffering at all.
  player_->setAutomaticallyWaitsToMinimizeStalling(!ownBuffering());
  playerItem_ = loader.playerItem();
  observeItemEnd(playerItem_);
  player_->replaceCurrentItem(playerItem_);
  // The item may be ready already: its key paths changed with the current item.
  currentItemChanged();
}

void ZUMVideoPlayerImpl::videoLoaderDidFailToLoadURL(ZUMVideoLoader& loader, const std::optional<platform::URL>& url,
                                                     const platform::ErrorPtr& error) {
  platform::assertMainThread();
  if (&loader != videoLoader_.get()) return;
  const auto keepLoader = videoLoader_;  // a retry replaces it while it calls us
  if (auto dictionary = urlDictionary(url)) {
    Json value = ZUMFennickErrorParameters(error).value_or(Json::object());
    platform::assignMembers(value, *dictionary);
    logEvent("loading_failed", value);
  }
  const auto inner = url && url->scheme() && platform::equalsIgnoringASCIICase(*url->scheme(), "tcache")
                         ? ZUMURLFromTCacheURL(url)
                         : std::nullopt;
  if (inner) return setSourceURL(inner, nullptr, configuration_);
  didStopBuffering();
}

// --- Controls --------------------------------------------------------------------------------

void ZUMVideoPlayerImpl::playNativePlayer() {
  platform::assertMainThread();
  report(&ZUMAudioVideoManagerImpl::playerWillStartPlayingVideo);
  logEvent("play", 1);
  player_->play();
  playing_ = true;
}

void ZUMVideoPlayerImpl::pauseNativePlayer() {
  platform::assertMainThread();
  playing_ = false;
  player_->pause();
  stopObservingLoadedTimeRanges();
  report(&ZUMAudioVideoManagerImpl::playerDidPauseVideo);
}

void ZUMVideoPlayerImpl::play() {
  if (hasPostedCanPlayThrough_) postVideoEvent({{"event", "play"}});
}

void ZUMVideoPlayerImpl::pause() {
  if (hasPostedCanPlayThrough_) postVideoEvent({{"event", "pause"}});
}

void ZUMVideoPlayerImpl::seekToTime(double seconds) {
  platform::assertMainThread();
  const auto time = platform::MediaTime::makeWithSeconds(seconds, kSeekTimescale);
  if (!std::isfinite(seconds) || seconds < 0 || !time.isValid()) return;
  player_->seekToTime(time);
}

void ZUMVideoPlayerImpl::setVolume(float volume) {
  platform::assertMainThread();
  if (!std::isfinite(volume) || volume < 0) return;
  if (volume > 0 && !muted_ && player_->rate() > 0) report(&ZUMAudioVideoManagerImpl::playerWillStartPlayingSound);
  player_->setVolume(volume);
  volume_ = volume;
  if (volume == 0) report(&ZUMAudioVideoManagerImpl::playerDidStopPlayingSound);
}

void ZUMVideoPlayerImpl::setMuted(bool muted) {
  platform::assertMainThread();
  if (!muted && volume_ > 0 && player_->rate() > 0) report(&ZUMAudioVideoManagerImpl::playerWillStartPlayingSound);
  player_->setMuted(muted);
  muted_ = muted;
  if (muted) report(&ZUMAudioVideoManagerImpl::playerDidStopPlayingSound);
}

void ZUMVideoPlayerImpl::setAudioMixVolume(float volume) {
  platform::assertMainThread();
  const auto& item = player_->currentItem();
  if (!item || std::isnan(volume)) return;
  volume = std::clamp(volume, 0.0f, 1.0f);
  if (volume == 1.0f) return item->setAudioMix(nullptr);
  auto mix = std::make_shared<platform::AudioMix>();
  for (const auto& track : item->asset()->tracksWithMediaType(platform::kMediaTypeAudio)) {
    mix->inputParameters.push_back({track->trackID(), volume});
  }
  item->setAudioMix(std::move(mix));
}

platform::Size ZUMVideoPlayerImpl::videoSize() const {
  platform::Size size{-1, -1};
  const auto& item = player_->currentItem();
  if (!item) return size;
  const double density = ZUMDevice::sharedInstance()->mainScreenDensity();
  for (const auto& track : item->asset()->tracksWithMediaType(platform::kMediaTypeVideo)) {
    const auto natural = track->naturalSize();
    if (natural.width == 0 && natural.height == 0) continue;
    const auto t = track->preferredTransform();
    const double width = (natural.width * t.a + natural.height * t.c) / density;
    const double height = (natural.width * t.b + natural.height * t.d) / density;
    // A size that is not finite (a broken transform, no density) never reaches the page.
    if (std::isfinite(width) && std::isfinite(height)) size = platform::Size{width, height};
  }
  return size;
}

// --- The loaders' time observers ---------------------------------------------------------------

void ZUMVideoPlayerImpl::addPeriodicTimeObserver(platform::MediaTime interval,
                                                 std::shared_ptr<platform::DispatchQueue> queue,
                                                 std::function<void(platform::MediaTime)> block,
                                                 std::function<void(Token)> completion) {
  ZUMRunOnMainThread([weak = weak_from_this(), interval, queue = std::move(queue), block = std::move(block),
                      completion = std::move(completion)]() mutable {
    auto self = weak.lock();
    if (!self) return;
    auto token = self->player_->addPeriodicTimeObserver(interval, std::move(queue), std::move(block));
    self->periodicTimeObservers_.push_back(token);
    if (completion) completion(token);
  });
}

void ZUMVideoPlayerImpl::removeTimeObserver(const Token& token) {
  platform::assertMainThread();
  std::erase(periodicTimeObservers_, token);
  player_->removeTimeObserver(token);
}

// --- Page events, notices, reports, logs ------------------------------------------------------

void ZUMVideoPlayerImpl::postVideoEvent(const Json& event) {
  if (auto adView = adView_.lock()) adView->postJSNotification("onVideoEvent", event);
}

void ZUMVideoPlayerImpl::videoIsReadyToPlay() {
  if (hasPostedCanPlayThrough_) return;
  if (auto dictionary = urlDictionary(sourceURL_)) logEvent("ready_to_play", *dictionary);
  notifyVideoReadyToPlay();
  // Later, and only while the player lives.
  platform::DispatchQueue::main()->async(ZUMBindWeak(weak_from_this(), &ZUMVideoPlayerImpl::tellDelegateDidLoad));
}

void ZUMVideoPlayerImpl::tellDelegateDidLoad() {
  if (auto d = delegate()) d->playerDidLoadURL(*this, sourceURL_, player_);
}

void ZUMVideoPlayerImpl::notifyVideoReadyToPlay() {
  const auto& item = player_->currentItem();
  const double duration = item ? finiteOrZero(item->duration().seconds()) : 0.0;
  const auto size = videoSize();
  didStopBuffering();
  postVideoEvent({{"event", "canplaythrough"},
                  {"duration", secondsString(duration)},
                  {"videoWidth", size.width},
                  {"videoHeight", size.height},
                  {"screenDensity", finiteOrZero(ZUMDevice::sharedInstance()->mainScreenDensity())}});
  hasPostedCanPlayThrough_ = true;
}

void ZUMVideoPlayerImpl::willStartBuffering() {
  if (std::exchange(isBuffering_, true)) return;
  platform::NotificationCenter::defaultCenter().post(kZUMVideoPlayerWillStartBufferingNotification, shared_from_this());
}

void ZUMVideoPlayerImpl::didStopBuffering() {
  if (!std::exchange(isBuffering_, false)) return;
  platform::NotificationCenter::defaultCenter().post(kZUMVideoPlayerDidStopBufferingNotification, shared_from_this());
}

void ZUMVideoPlayerImpl::report(Report report) {
  if (reportingDisabled_) return;
  if (auto manager = ZUMAudioVideoManagerImpl::shared()) ((*manager).*report)(player_);
}

void ZUMVideoPlayerImpl::resetLogger() {
  logger_ = ZUMLoggingHierarchy::sharedInstance()->loggerForObject(shared_from_this());
}

void ZUMVideoPlayerImpl::logEvent(const std::string& name, const Json& value) {
  if (!logger_) return;
  if (auto event = ZUMFennickEvent("video_player", Json{{name, value}})) logger_->reportEvent(*event);
}

std::optional<Json> ZUMVideoPlayerImpl::urlDictionary(const std::optional<platform::URL>& url) {
  if (!url || url->absoluteString().empty()) return std::nullopt;
  const bool tcache = url->scheme() && platform::equalsIgnoringASCIICase(*url->scheme(), "tcache");
  return Json{{"url", url->absoluteString()}, {"is_tcache", tcache ? 1 : 0}};
}
