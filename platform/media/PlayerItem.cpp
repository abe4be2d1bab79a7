#include "platform/media/PlayerItem.h"

#include <algorithm>
#include <cmath>

#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/media/ByteSource.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItemVideoOutput.h"

namespace platform {
namespace {

constexpr std::int32_t kTimescale = 600000;

bool holds(const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges, const MediaIndexEntry& e) {
  auto it = std::upper_bound(ranges.begin(), ranges.end(), e.position,
                             [](std::int64_t v, const auto& r) { return v < r.first; });
  return it != ranges.begin() && std::prev(it)->second >= e.position + e.size;
}

// The loaded span of one stream around `at`: from the first sample whose bytes are all
// present, back from `at`, to the start of the first missing one after it.
std::pair<double, double> loadedSpan(const std::vector<MediaIndexEntry>& index,
                                     const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges, double at,
                                     double duration) {
  if (index.empty()) return {0, 0};
  auto first = std::upper_bound(index.begin(), index.end(), at, [](double v, const auto& e) { return v < e.time; });
  if (first != index.begin()) --first;
  if (!holds(ranges, *first)) return {at, at};
  auto start = first;
  while (start != index.begin() && holds(ranges, *std::prev(start))) --start;
  auto end = first;
  while (end != index.end() && holds(ranges, *end)) ++end;
  const double startTime = start == index.begin() ? 0.0 : start->time;
  return {startTime, end == index.end() ? duration : end->time};
}

}  // namespace

std::shared_ptr<PlayerItem> PlayerItem::create(std::shared_ptr<Asset> asset) {
  if (!asset) return nullptr;
  auto item = std::shared_ptr<PlayerItem>(new PlayerItem(std::move(asset)));
  item->start();
  return item;
}

PlayerItem::PlayerItem(std::shared_ptr<Asset> asset) : asset_(std::move(asset)) {}

PlayerItem::~PlayerItem() {
  if (auto source = asset_->byteSource()) source->setChangeHandler(nullptr);
}

void PlayerItem::start() {
  decoder_ = asset_->decoder();
  std::weak_ptr<PlayerItem> weak = weak_from_this();
  auto pending = changePending_;
  asset_->byteSource()->setChangeHandler([weak, pending] {
    if (pending->exchange(true)) return;  // one notice per main-queue turn
    DispatchQueue::main()->async([weak, pending] {
      pending->store(false);
      if (auto self = weak.lock()) self->bytesChanged();
    });
  });
  asset_->whenLoaded([weak] {
    DispatchQueue::main()->async([weak] {
      if (auto self = weak.lock()) self->loaded();
    });
  });
}

void PlayerItem::loaded() {
  if (status_ != Status::Unknown) return;
  ErrorPtr error;
  if (asset_->statusOfValue("duration", &error) != Asset::KeyValueStatus::Loaded) {
    status_ = Status::Failed;
    error_ = error;
    // The decoder's thread ends with the failure: joined here, as a failed item decodes
    // nothing, rather than by whoever lets the asset go last, which may be never (a
    // block still queued for the main loop at exit holds it).
    if (decoder_) decoder_->stop();
  } else {
    status_ = Status::ReadyToPlay;
    observers_.notify("duration");
  }
  // The loaded ranges first, so nobody sees a ready item with nothing loaded (a player
  // would take that for a stall).
  bytesChanged();
  observers_.notify("status");
  if (auto player = player_.lock()) player->itemChanged(*this);
}

void PlayerItem::bytesChanged() {
  const MediaInfo* info = asset_->mediaInfo();
  if (!info || status_ != Status::ReadyToPlay) return;
  const auto ranges = asset_->byteSource()->availableRanges();
  const double at = seconds(), duration = info->duration;
  double start = 0, end = duration;
  for (const auto& index : info->index) {
    auto [s, e] = loadedSpan(index, ranges, at, duration);
    start = std::max(start, s);
    end = std::min(end, e);
  }
  MediaTimeRanges loaded;
  if (end > start) {
    loaded.push_back(
        {MediaTime::makeWithSeconds(start, kTimescale), MediaTime::makeWithSeconds(end - start, kTimescale)});
  }
  if (loaded != loaded_) {
    loaded_ = std::move(loaded);
    observers_.notify("loadedTimeRanges");
  }
  updateBuffering();
  if (auto player = player_.lock()) player->itemChanged(*this);
}

void PlayerItem::updateBuffering() {
  const double duration = durationSeconds(), at = seconds();
  const double ahead = loadedEnd() - at;
  const bool likely =
      status_ == Status::ReadyToPlay && ahead + 1e-9 >= std::min(kLikelyToKeepUpAhead, std::max(0.0, duration - at));
  const bool full = status_ == Status::ReadyToPlay && (ahead >= kBufferFullAhead || loadedEnd() >= duration);
  if (likely != likelyToKeepUp_) {
    likelyToKeepUp_ = likely;
    observers_.notify("playbackLikelyToKeepUp");
  }
  if (full != bufferFull_) {
    bufferFull_ = full;
    observers_.notify("playbackBufferFull");
  }
}

MediaTime PlayerItem::duration() const {
  if (status_ != Status::ReadyToPlay) return MediaTime::invalid();
  return asset_->duration();
}

double PlayerItem::durationSeconds() const {
  const MediaInfo* info = asset_->mediaInfo();
  return status_ == Status::ReadyToPlay && info ? info->duration : 0.0;
}

MediaTime PlayerItem::currentTime() const { return MediaTime::makeWithSeconds(seconds(), kTimescale); }

bool PlayerItem::isPlaybackBufferEmpty() const { return loadedEnd() <= seconds(); }

double PlayerItem::loadedEnd() const {
  const double at = seconds();
  for (const auto& r : loaded_) {
    if (r.start.seconds() <= at + 1e-9 && at <= r.endSeconds() + 1e-9) return r.endSeconds();
  }
  return at;
}

double PlayerItem::timeAtClock(double clock) const {
  std::lock_guard lock(timelineMutex_);
  const double t = time_ + (clock - clock_) * rate_;
  return std::clamp(t, 0.0, std::max(time_, limit_));
}

void PlayerItem::setTimeline(double time, double rate, double clock, double limit) {
  std::lock_guard lock(timelineMutex_);
  time_ = std::max(0.0, time);
  rate_ = rate;
  clock_ = clock;
  limit_ = limit;
}

double PlayerItem::seconds() const { return timeAtClock(platform::clock().monotonicNow()); }

int PlayerItem::audioTrackID() const {
  for (const auto& t : asset_->tracksWithMediaType(kMediaTypeAudio)) return t->trackID();
  return 0;
}

void PlayerItem::addOutput(const std::shared_ptr<PlayerItemVideoOutput>& output) {
  assertMainThread();
  if (!output || std::find(outputs_.begin(), outputs_.end(), output) != outputs_.end()) return;
  outputs_.push_back(output);
  output->attach(weak_from_this());
}

void PlayerItem::removeOutput(const std::shared_ptr<PlayerItemVideoOutput>& output) {
  assertMainThread();
  std::erase(outputs_, output);
  if (output) output->attach({});
}

KeyValueObservers::Token PlayerItem::addObserver(std::string keyPath, std::function<void()> callback) {
  assertMainThread();
  return observers_.add(std::move(keyPath), std::move(callback));
}

void PlayerItem::removeObserver(KeyValueObservers::Token token) {
  assertMainThread();
  observers_.remove(token);
}

}  // namespace platform
