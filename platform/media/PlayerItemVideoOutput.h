// Pulls decoded frames of the item it is added to, after the platform's player item
// video output: for an item time, whether a frame other than the last one copied is due,
// and that frame as an NV12 pixel buffer carrying its Y'CbCr matrix and range. Host times
// are readings of the platform clock's monotonic seconds.
//
// Any thread (a render thread pulls frames while the main thread plays). Under the
// virtual clock, a pull waits for the decoder to settle (see MediaDecoder.h).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/media/MediaTime.h"
#include "platform/media/PixelBuffer.h"

namespace platform {

class PlayerItem;

class PlayerItemVideoOutput {
 public:
  // `pixelFormat`: kPixelFormat420YpCbCr8BiPlanarVideoRange or ...FullRange (anything
  // else reads as video range). Frames come in that range, whatever their stream's.
  static std::shared_ptr<PlayerItemVideoOutput> create(std::uint32_t pixelFormat);

  std::uint32_t requestedPixelFormat() const { return pixelFormat_; }
  MediaTime itemTimeForHostTime(double hostTime) const;
  bool hasNewPixelBufferForItemTime(MediaTime itemTime);
  // The frame due at `itemTime` (nullptr when none); `displayTime` receives its time.
  std::shared_ptr<const PixelBuffer> copyPixelBufferForItemTime(MediaTime itemTime, MediaTime* displayTime = nullptr);

 private:
  friend class PlayerItem;
  explicit PlayerItemVideoOutput(std::uint32_t pixelFormat) : pixelFormat_(pixelFormat) {}
  void attach(std::weak_ptr<PlayerItem> item);

  const std::uint32_t pixelFormat_;
  mutable std::mutex mutex_;
  std::weak_ptr<PlayerItem> item_;
  std::shared_ptr<const PixelBuffer> lastDecoded_;  // the decoder's frame behind lastCopied_
  std::shared_ptr<const PixelBuffer> lastCopied_;
};

}  // namespace platform
