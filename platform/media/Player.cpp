#include "platform/media/Player.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/Timer.h"
#include "platform/media/PlayerItem.h"

namespace platform {
namespace {
constexpr double kEpsilon = 1e-9;
constexpr std::int32_t kTimescale = 600000;
const char* const kItemKeyPaths[] = {"status", "duration", "loadedTimeRanges", "playbackLikelyToKeepUp",
                                     "playbackBufferFull"};
}  // namespace

struct Player::TimeObserver {
  double interval;
  std::shared_ptr<DispatchQueue> queue;
  std::function<void(MediaTime)> block;
  double next = 0;
  bool removed = false;
};

std::shared_ptr<Player> Player::create(std::shared_ptr<PlayerItem> item) {
  auto player = std::shared_ptr<Player>(new Player());
  if (item) player->replaceCurrentItem(std::move(item));
  return player;
}

Player::~Player() {
  if (timer_) timer_->invalidate();
}

void Player::replaceCurrentItem(std::shared_ptr<PlayerItem> item) {
  assertMainThread();
  if (item == item_) return;
  if (item_) {
    if (effectivelyPlaying()) renderAudio(item_->seconds());
    // An item that leaves the player stops where it is.
    item_->setTimeline(item_->seconds(), 0, clock().monotonicNow(), item_->durationSeconds());
    for (const auto& [key, token] : itemTokens_) item_->removeObserver(token);
    item_->setPlayer(nullptr);
  }
  itemTokens_.clear();
  item_ = std::move(item);
  timelineStarted_ = false;
  waiting_ = endPosted_ = false;
  audioRendered_ = item_ ? item_->seconds() : 0;
  if (item_) {
    item_->setPlayer(shared_from_this());
    observeItem();
  }
  observers_.notify("currentItem");
  if (item_) {
    retime(item_->seconds());
    itemChanged(*item_);
  } else if (timer_) {
    timer_->invalidate();
  }
}

void Player::observeItem() {
  std::weak_ptr<Player> weak = weak_from_this();
  for (const char* key : kItemKeyPaths) {
    const std::string path = std::string("currentItem.") + key;
    itemTokens_.emplace_back(key, item_->addObserver(key, [weak, path] {
      if (auto self = weak.lock()) self->observers_.notify(path);
    }));
  }
}

void Player::itemChanged(PlayerItem& item) {
  if (&item != item_.get()) return;
  if (item.status() == PlayerItem::Status::Failed && status_ != Status::Failed) {
    status_ = Status::Failed;
    error_ = item.error();
    observers_.notify("status");
  } else if (item.status() == PlayerItem::Status::ReadyToPlay && status_ == Status::Unknown) {
    status_ = Status::ReadyToPlay;
    observers_.notify("status");
  }
  // A rate set before the item was ready starts the time now.
  if (item.status() == PlayerItem::Status::ReadyToPlay && !timelineStarted_) {
    timelineStarted_ = true;
    retime(item.seconds());
  }
  update();
}

void Player::setRate(float rate) {
  assertMainThread();
  if (!std::isfinite(rate) || rate < 0) rate = 0;
  if (rate == rate_) return;
  const double t = item_ ? item_->seconds() : 0;
  if (effectivelyPlaying()) renderAudio(t);
  waiting_ = false;
  setRateValue(rate);
  fireObservers(t, true);
  update();
}

void Player::setRateValue(float rate) {
  rate_ = rate;
  if (item_) retime(item_->seconds());
  observers_.notify("rate");
  observers_.notify("timeControlStatus");
}

Player::TimeControlStatus Player::timeControlStatus() const {
  if (rate_ <= 0) return TimeControlStatus::Paused;
  if (waiting_ || !item_ || item_->status() != PlayerItem::Status::ReadyToPlay) {
    return TimeControlStatus::WaitingToPlayAtSpecifiedRate;
  }
  return TimeControlStatus::Playing;
}

void Player::setAutomaticallyWaitsToMinimizeStalling(bool waits) {
  assertMainThread();
  waitsToMinimizeStalling_ = waits;
  update();
}

MediaTime Player::currentTime() const { return item_ ? item_->currentTime() : MediaTime::zero(); }

void Player::retime(double time) {
  const double duration = item_->durationSeconds();
  const double limit = duration > 0 ? duration : std::numeric_limits<double>::max();
  const bool moving = effectivelyPlaying() && item_->status() == PlayerItem::Status::ReadyToPlay;
  item_->setTimeline(time, moving ? rate_ : 0.0, clock().monotonicNow(), limit);
  if (auto decoder = item_->decoder()) decoder->setPlayhead(time);
}

// The engine, run on every change and by a one-shot timer at the next moment something
// is due: renders sound up to now, calls observers whose tick came, and applies the end
// of the item and the stall rule; then sets the timer for the next such moment.
void Player::update() {
  if (timer_) timer_->invalidate();
  timer_.reset();
  if (!item_ || item_->status() != PlayerItem::Status::ReadyToPlay) return;
  const double t = item_->seconds(), duration = item_->durationSeconds();
  if (effectivelyPlaying()) renderAudio(t);
  item_->updateBuffering();
  fireObservers(t, false);
  if (rate_ <= 0) return;
  if (t >= duration - kEpsilon) return reachEnd(duration);
  const double loadedEnd = item_->loadedEnd();
  if (!waiting_ && loadedEnd < duration - kEpsilon && t >= loadedEnd - kEpsilon) return stall(loadedEnd);
  if (waiting_) {
    if (!item_->isPlaybackLikelyToKeepUp()) return;
    waiting_ = false;
    retime(t);
    observers_.notify("timeControlStatus");
    fireObservers(t, true);
  }
  double next = std::min(duration, audioRendered_ + kAudioStep);
  if (loadedEnd < duration) next = std::min(next, loadedEnd);
  for (const auto& o : timeObservers_) next = std::min(next, o->next);
  schedule(std::max(next, t + kEpsilon));
}

void Player::schedule(double time) {
  const double delay = (time - item_->seconds()) / rate_;
  std::weak_ptr<Player> weak = weak_from_this();
  timer_ = Timer::startOneShot(std::max(0.0, delay), [weak](Timer&) {
    if (auto self = weak.lock()) self->update();
  });
}

void Player::stall(double at) {
  renderAudio(at);
  if (waitsToMinimizeStalling_) {
    waiting_ = true;
    retime(at);
    observers_.notify("timeControlStatus");
  } else {
    setRateValue(0);
    retime(at);
  }
  fireObservers(at, true);
}

void Player::reachEnd(double duration) {
  renderAudio(duration);
  waiting_ = false;
  setRateValue(0);
  retime(duration);
  fireObservers(duration, true);
  if (std::exchange(endPosted_, true)) return;
  NotificationCenter::defaultCenter().post(kPlayerItemDidPlayToEndTimeNotification, item_);
}

void Player::seekToTime(MediaTime time, std::function<void(bool)> completion) {
  assertMainThread();
  if (!item_ || !time.isValid() || !std::isfinite(time.seconds())) {
    if (completion) DispatchQueue::main()->async([completion] { completion(false); });
    return;
  }
  const double duration = item_->durationSeconds();
  const double t = std::max(0.0, duration > 0 ? std::min(time.seconds(), duration) : time.seconds());
  if (effectivelyPlaying()) renderAudio(item_->seconds());
  if (auto decoder = item_->decoder()) decoder->seek(t);
  audioRendered_ = t;
  if (t < duration - kEpsilon) endPosted_ = false;
  const bool wasWaiting = std::exchange(waiting_, false);
  retime(t);
  if (wasWaiting) observers_.notify("timeControlStatus");
  item_->bytesChanged();
  fireObservers(t, true);
  update();
  if (completion) DispatchQueue::main()->async([completion] { completion(true); });
}

void Player::setVolume(float volume) {
  assertMainThread();
  if (!std::isfinite(volume)) return;
  if (item_ && effectivelyPlaying()) renderAudio(item_->seconds());
  volume_ = std::clamp(volume, 0.0f, 1.0f);
}

void Player::renderAudio(double upTo) {
  if (!item_ || upTo <= audioRendered_ + kEpsilon) return;
  const double from = std::exchange(audioRendered_, upTo);
  const MediaInfo* info = item_->asset()->mediaInfo();
  auto decoder = item_->decoder();
  if (!info || !info->audioSampleRate || !decoder) return;
  std::vector<float> samples = decoder->audio(from, upTo, true);
  const float mix = item_->audioMix() ? item_->audioMix()->volumeForTrack(item_->audioTrackID()) : 1.0f;
  const float gain = muted_ ? 0.0f : volume_ * mix;
  for (float& s : samples) s *= gain;
  audio_.append(samples, info->audioSampleRate);
}

void Player::fireObservers(double time, bool always) {
  const MediaTime now = MediaTime::makeWithSeconds(time, kTimescale);
  for (const auto& o : timeObservers_) {
    if (!always && time < o->next - kEpsilon) continue;
    o->next = (std::floor(time / o->interval + kEpsilon) + 1) * o->interval;
    std::weak_ptr<TimeObserver> weak = o;
    o->queue->async([weak, now] {
      auto observer = weak.lock();
      if (observer && !observer->removed) observer->block(now);
    });
  }
}

Player::TimeObserverToken Player::addPeriodicTimeObserver(MediaTime interval, std::shared_ptr<DispatchQueue> queue,
                                                          std::function<void(MediaTime)> block) {
  assertMainThread();
  const double seconds = interval.seconds();
  if (!(seconds > 0) || !block) return nullptr;
  auto observer = std::make_shared<TimeObserver>(
      TimeObserver{seconds, queue ? std::move(queue) : DispatchQueue::main(), std::move(block)});
  const double t = item_ ? item_->seconds() : 0;
  observer->next = (std::floor(t / seconds + kEpsilon) + 1) * seconds;
  timeObservers_.push_back(observer);
  update();
  return observer;
}

void Player::removeTimeObserver(const TimeObserverToken& token) {
  assertMainThread();
  for (auto it = timeObservers_.begin(); it != timeObservers_.end(); ++it) {
    if (it->get() == token.get()) {
      (*it)->removed = true;
      timeObservers_.erase(it);
      return;
    }
  }
}

KeyValueObservers::Token Player::addObserver(std::string keyPath, std::function<void()> callback) {
  assertMainThread();
  return observers_.add(std::move(keyPath), std::move(callback));
}

void Player::removeObserver(KeyValueObservers::Token token) {
  assertMainThread();
  observers_.remove(token);
}

}  // namespace platform
