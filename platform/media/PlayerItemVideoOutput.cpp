#include "platform/media/PlayerItemVideoOutput.h"

#include "platform/media/MediaDecoder.h"
#include "platform/media/PlayerItem.h"

namespace platform {

std::shared_ptr<PlayerItemVideoOutput> PlayerItemVideoOutput::create(std::uint32_t pixelFormat) {
  return std::shared_ptr<PlayerItemVideoOutput>(new PlayerItemVideoOutput(pixelFormat));
}

void PlayerItemVideoOutput::attach(std::weak_ptr<PlayerItem> item) {
  std::lock_guard lock(mutex_);
  item_ = std::move(item);
  lastCopied_.reset();
}

MediaTime PlayerItemVideoOutput::itemTimeForHostTime(double hostTime) const {
  std::shared_ptr<PlayerItem> item;
  {
    std::lock_guard lock(mutex_);
    item = item_.lock();
  }
  if (!item) return MediaTime::invalid();
  return MediaTime::makeWithSeconds(item->timeAtClock(hostTime), 600000);
}

bool PlayerItemVideoOutput::hasNewPixelBufferForItemTime(MediaTime itemTime) {
  std::shared_ptr<PlayerItem> item;
  {
    std::lock_guard lock(mutex_);
    item = item_.lock();
  }
  if (!item || !itemTime.isValid() || !item->decoder()) return false;
  const auto frame = item->decoder()->frameAt(itemTime.seconds(), true);
  std::lock_guard lock(mutex_);
  return frame && frame->buffer != lastCopied_;
}

std::shared_ptr<const PixelBuffer> PlayerItemVideoOutput::copyPixelBufferForItemTime(MediaTime itemTime,
                                                                                    MediaTime* displayTime) {
  std::shared_ptr<PlayerItem> item;
  {
    std::lock_guard lock(mutex_);
    item = item_.lock();
  }
  if (!item || !itemTime.isValid() || !item->decoder()) return nullptr;
  const auto frame = item->decoder()->frameAt(itemTime.seconds(), true);
  if (!frame) return nullptr;
  if (displayTime) *displayTime = MediaTime::makeWithSeconds(frame->time, 600000);
  std::lock_guard lock(mutex_);
  lastCopied_ = frame->buffer;
  return frame->buffer;
}

}  // namespace platform
