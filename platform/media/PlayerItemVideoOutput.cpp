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
  lastDecoded_.reset();
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
  return frame && frame->buffer != lastDecoded_;
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
  const bool fullRange = pixelFormat_ == kPixelFormat420YpCbCr8BiPlanarFullRange;
  std::lock_guard lock(mutex_);
  if (frame->buffer != lastDecoded_) {
    lastDecoded_ = frame->buffer;
    // Converted once per frame, and only when the stream's range is not the one asked for.
    lastCopied_ = frame->buffer->isFullRange() == fullRange
                      ? frame->buffer
                      : std::make_shared<const PixelBuffer>(frame->buffer->inRange(fullRange));
  }
  return lastCopied_;
}

}  // namespace platform
