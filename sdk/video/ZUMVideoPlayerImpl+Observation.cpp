// The video player's watch over its platform player: change notices, the 1/4-second
// time observer, the item's end, and the stall rule with its resume.
#include "sdk/video/ZUMVideoPlayerImpl.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/media/PlayerItem.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/video/ZUMAudioVideoManagerImpl.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"

namespace {

using Json = nlohmann::ordered_json;

// "currentItem.status" as well as "status": the platform player fails once for good, while
// each later item that fails fails on its own.
constexpr const char* kObservedKeyPaths[] = {"currentItem.playbackLikelyToKeepUp",
                                             "currentItem.playbackBufferFull",
                                             "currentItem.duration",
                                             "currentItem.status",
                                             "rate",
                                             "status"};

}  // namespace

void ZUMVideoPlayerImpl::observePlayer() {
  if (std::exchange(isObserving_, true)) return;
  for (const char* keyPath : kObservedKeyPaths) {
    playerObservers_.push_back(player_->addObserver(
        keyPath, ZUMBindWeak(weak_from_this(), &ZUMVideoPlayerImpl::observeValueForKeyPath, std::string(keyPath))));
  }
  timeObserver_ =
      player_->addPeriodicTimeObserver(platform::MediaTime{1, 4}, platform::DispatchQueue::main(),
                                       ZUMBindWeak(weak_from_this(), &ZUMVideoPlayerImpl::notifyVideoPlayerWithTime));
}

void ZUMVideoPlayerImpl::stopObservingPlayer() {
  if (!std::exchange(isObserving_, false)) return;
  for (const auto token : playerObservers_) player_->removeObserver(token);
  playerObservers_.clear();
  player_->removeTimeObserver(std::exchange(timeObserver_, nullptr));
}

void ZUMVideoPlayerImpl::observeValueForKeyPath(const std::string& keyPath) {
  if (keyPath == "status") {
    const auto status = player_->status();
    if (status == platform::Player::Status::Unknown) postVideoEvent({{"event", "error"}});
    if (status == platform::Player::Status::Failed) reportFailedItem();
  } else if (keyPath == "rate") {
    rateChanged();
  } else if (platform::startsWithIgnoringASCIICase(keyPath, "currentItem.")) {
    currentItemChanged();
  }
}

void ZUMVideoPlayerImpl::reportFailedItem() {
  const auto& item = player_->currentItem();
  // The player's failure and its item's are one failure when they come together.
  if (item && item == failedItem_.lock()) return;
  failedItem_ = item;
  postVideoEvent({{"event", "error"}});
}

void ZUMVideoPlayerImpl::rateChanged() {
  const float rate = player_->rate();
  if (rate != 0) {
    play();
  } else {
    pause();
  }
  if (rate == 0 && playing_ && ownBuffering() && !playbackStalled_) {
    playbackStalled_ = true;
    observeLoadedTimeRanges();
    player_->pause();
  }
  if (rate > 0) {
    playbackStalled_ = false;
    stopObservingLoadedTimeRanges();
  }
}

bool ZUMVideoPlayerImpl::ownBuffering() const {
  return bufferingConfiguration_ && !bufferingConfiguration_->enableAVPlayerPlaybackBuffering();
}

void ZUMVideoPlayerImpl::currentItemChanged() {
  const auto& item = player_->currentItem();
  // An item may come failed already, or fail once the player has failed for good.
  if (item && item->status() == platform::PlayerItem::Status::Failed) return reportFailedItem();
  if (hasPostedCanPlayThrough_) return;
  const auto duration = item ? item->duration() : platform::MediaTime::zero();
  const bool ready = item && (item->isPlaybackLikelyToKeepUp() || item->isPlaybackBufferFull());
  if (duration.isValid() && duration.timescale >= 1 && ready) videoIsReadyToPlay();
}

void ZUMVideoPlayerImpl::observeItemEnd(const std::shared_ptr<platform::PlayerItem>& item) {
  stopObservingItemEnd();
  if (!item) return;
  itemEndObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kPlayerItemDidPlayToEndTimeNotification, item, nullptr,
      ZUMBindWeak(weak_from_this(), &ZUMVideoPlayerImpl::itemDidPlayToEnd));
}

void ZUMVideoPlayerImpl::stopObservingItemEnd() {
  if (auto token = std::exchange(itemEndObserver_, nullptr))
    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

void ZUMVideoPlayerImpl::observeLoadedTimeRanges() {
  if (loadedRangesObserver_) return;
  loadedRangesItem_ = player_->currentItem();
  if (!loadedRangesItem_) return;
  loadedRangesObserver_ = loadedRangesItem_->addObserver(
      "loadedTimeRanges", ZUMBindWeak(weak_from_this(), &ZUMVideoPlayerImpl::handlePlayerItemDurationLoadUpdate));
}

void ZUMVideoPlayerImpl::stopObservingLoadedTimeRanges() {
  if (auto token = std::exchange(loadedRangesObserver_, std::nullopt)) loadedRangesItem_->removeObserver(*token);
  loadedRangesItem_ = nullptr;
}

void ZUMVideoPlayerImpl::handlePlayerItemDurationLoadUpdate() {
  const auto& item = player_->currentItem();
  if (!playing_ || player_->rate() > 0 || !item || !bufferingConfiguration_) return;
  const double threshold = hasPlaybackStalledAtLeastOnce_
                               ? bufferingConfiguration_->bufferForPlaybackAfterRebufferTimeInterval()
                               : bufferingConfiguration_->bufferForPlaybackTimeInterval();
  if (bufferedAheadSeconds(*item) < threshold) return;
  hasPlaybackStalledAtLeastOnce_ = true;
  player_->play();
}

double ZUMVideoPlayerImpl::bufferedAheadSeconds(const platform::PlayerItem& item) const {
  const auto ranges = item.loadedTimeRanges();
  const auto current = item.currentTime();
  if (ranges.empty() || !ranges.front().isValid() || !current.isValid() || ranges.front().duration.value == 0) return 0;
  const double start = ranges.front().start.seconds();
  const double end = ranges.front().endSeconds();
  const double now = current.seconds();
  if (!(start <= now && now < end)) return 0;
  return std::max(0.0, end - now);
}

void ZUMVideoPlayerImpl::notifyVideoPlayerWithTime(platform::MediaTime time) {
  const double seconds = time.seconds();
  if (player_->rate() <= 0 || !std::isfinite(seconds)) return;
  char text[400];
  std::snprintf(text, sizeof text, "%f", seconds);
  postVideoEvent({{"event", "timeupdate"}, {"time", text}});
  const auto& item = player_->currentItem();
  const double duration = item ? item->duration().seconds() : 0.0;
  logEvent("progress",
           {{"time_ms", seconds * 1000.0}, {"duration_ms", std::isfinite(duration) ? duration * 1000.0 : 0.0}});
}

void ZUMVideoPlayerImpl::itemDidPlayToEnd() {
  report(&ZUMAudioVideoManagerImpl::playerDidPauseVideo);
  postVideoEvent({{"event", "ended"}});
}
